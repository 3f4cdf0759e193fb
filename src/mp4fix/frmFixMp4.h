#pragma once
// "Make Mp4 Streamable": rewrites a chosen MP4 beside itself with its index
// (the moov atom) at the front, through the faststart tool.
#include <QDialog>

class QGroupBox;
class QLineEdit;
class QPushButton;
class CaptionLabel;
class Forms;
namespace mp4fix {
struct FixNames;
}

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
    // Copies S to W under the wait cursor; an empty text on success,
    // otherwise why not. Tests look in here to see the cursor.
    virtual QString copySourceToWork(const mp4fix::FixNames &names);

private:
    Forms &m_forms;
};
