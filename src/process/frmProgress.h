#pragma once
// The modal window in which every external tool runs: shows the tool's
// console output live and offers to cancel the run.
#include "common/ui_windowholder.h"
#include "process/progressparser.h"
#include "process/toolrunner.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>

class CaptionLabel;
class IPrompts;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTimer;

class frmProgress : public QDialog
{
    Q_OBJECT
public:
    // The tools run in appFolder.
    frmProgress(IPrompts &prompts, const QString &appFolder, QWidget *parent = nullptr);
    ~frmProgress() override;

    // Shows the window modally and runs the tool; returns once the window is
    // no longer shown and the run is over, with how it ended (cancelled
    // after a confirmed cancel). A tool that could not be started has shown
    // its error box.
    mdlDOSPipe::RunResult showModal(const ToolRun &run);

    // --- Controls ---
    QTimer *Timer1 = nullptr;
    QGroupBox *Frame1 = nullptr;
    CaptionLabel *lblEncodingFrom = nullptr;
    CaptionLabel *lblEncodingTo = nullptr;
    QPlainTextEdit *txtDOS = nullptr;
    // Below the console box: how far the encoder has come, and the time.
    QProgressBar *prgEncoding = nullptr;
    QLabel *lblTimeLeft = nullptr;
    QPushButton *cmdCancel = nullptr;

    // --- Handlers ---
    // Empties the console box.
    void Timer1_Timer();
    // Asks "CANCEL ENCODING?"; on Yes ends the "ffmpeg" processes, marks the
    // run cancelled, stops the timer and unloads the window.
    void cmdCancel_Click();

signals:
    // Every piece of tool output as it arrives, after it has been appended.
    void outputReceived(const QByteArray &bytes, const QString &text);
    // A confirmed cancel unloads the window; its holder lets go of it.
    void unloaded();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool event(QEvent *event) override;

public slots:
    // Esc presses Cancel; nothing else closes the window.
    void reject() override;

private:
    // The run: timer on, captions for the encoder kinds, the tool run
    // through the console runner, its start failure shown, the "ffmpeg"
    // sweep, and the window hidden.
    void runTool(const ToolRun &run);
    // Progress of the run from the encoder's own output.
    void startProgress(bool encoder);
    void updateProgress();
    ProgressParser m_parser;
    RunProgress m_progress;
    QTimer *m_clockTimer = nullptr;
    bool m_showsTime = false;
    // The run shown, and in the end how it went.
    mdlDOSPipe::RunResult m_result;
    // After a confirmed cancel the window is gone, but a tool that was not
    // ended still runs: the caller waits for it, so no window takes input.
    void blockInputUntilRunEnds();
    QObject *m_inputBlock = nullptr;
    void appendOutput(const QString &text);

    void paintNow();

    IPrompts &m_prompts;
    QString m_appFolder;
    // Repaints during a run: at most one per display frame.
    QTimer *m_paintTimer = nullptr;
    QElapsedTimer m_lastPaint;
    bool m_running = false;
    bool m_deleteAfterRun = false;
    bool m_lastWasCR = false;
};

// The progress window as the encode job and the fixer use it: one window,
// created on first use, kept between runs, dropped by a confirmed cancel.
class ProgressWindowRunner : public IToolRunner
{
public:
    ProgressWindowRunner(IPrompts &prompts, const QString &appFolder);

    frmProgress &window();
    bool loaded() const { return m_window.loaded(); }
    void unload() { m_window.unload(); }

    mdlDOSPipe::RunResult run(const ToolRun &run) override;

private:
    IPrompts &m_prompts;
    QString m_appFolder;
    ui::WindowHolder<frmProgress, &frmProgress::unloaded> m_window;
};
