#pragma once
// "Make Mp4 Streamable": rewrites a chosen MP4 beside itself with its index
// (the moov atom) at the front, through the faststart tool.
#include <QDialog>

class QGroupBox;
class QLineEdit;
class QPushButton;
class CaptionLabel;
class Forms;

class frmFixMp4 : public QDialog
{
    Q_OBJECT
public:
    explicit frmFixMp4(Forms &forms, QWidget *parent = nullptr);

    QGroupBox *Frame1 = nullptr;
    QPushButton *cmdInput = nullptr;
    CaptionLabel *lblMp4Path = nullptr;
    QPushButton *cmdMakeStreamable = nullptr;
    QPushButton *cmdExit = nullptr;
    QLineEdit *txtApp = nullptr;

    void cmdInput_Click();
    void cmdMakeStreamable_Click();
    void cmdExit_Click();

protected:
    // A file dropped on the window becomes the file to fix.
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    Forms &m_forms;
};
