#pragma once
// "Make Mp4 Streamable": rewrites a chosen MP4 beside itself with its index
// (the moov atom) at the front, through the faststart tool.
#include <QDialog>

class QGroupBox;
class QPushButton;
class CaptionLabel;
class IPrompts;
class IToolRunner;
namespace mp4fix {
struct FixNames;
struct Outcome;
} // namespace mp4fix

class frmFixMp4 : public QDialog
{
    Q_OBJECT
public:
    // The faststart tool of appFolder runs through `runner` (the progress
    // window in the program).
    frmFixMp4(IPrompts &prompts, const QString &appFolder, IToolRunner &runner, QWidget *parent = nullptr);

    QGroupBox *Frame1 = nullptr;
    QPushButton *cmdInput = nullptr;
    CaptionLabel *lblMp4Path = nullptr;
    QPushButton *cmdMakeStreamable = nullptr;
    QPushButton *cmdExit = nullptr;

    void cmdInput_Click();
    void cmdMakeStreamable_Click();
    void cmdExit_Click();

protected:
    // A file dropped on the window becomes the file to fix.
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    // What the run made, as the user is told.
    void present(const mp4fix::Outcome &outcome, const mp4fix::FixNames &names);

    IPrompts &m_prompts;
    QString m_appFolder;
    IToolRunner &m_runner;
};
