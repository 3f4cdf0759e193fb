#pragma once
// The modal window in which every external tool runs: shows the tool's
// console output live and offers to cancel the run.
#include "process/mdlDOSPipe.h"
#include "process/progressparser.h"

#include <QDialog>
#include <QElapsedTimer>

class CaptionLabel;
class Forms;
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
    explicit frmProgress(Forms &forms, QWidget *parent = nullptr);
    ~frmProgress() override;

    // Shows the window modally and runs the command in
    // mdlMain::strCommandLine (Form_Activate); returns once the window is no
    // longer shown and the run is over, with how it ended. The caller then
    // reads mdlMain::blnCancelled.
    mdlDOSPipe::RunResult showModal();

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
    // The run: timer on, blnCancelled cleared, captions for the encoder
    // kinds 1 to 3, the tool run through the console runner, the "ffmpeg"
    // sweep, and the window hidden.
    void Form_Activate();
    // Empties the console box.
    void Timer1_Timer();
    // Asks "CANCEL ENCODING?"; on Yes ends the "ffmpeg" processes, sets
    // blnCancelled, stops the timer and unloads the window.
    void cmdCancel_Click();

signals:
    // Every piece of tool output as it arrives, after it has been appended.
    void outputReceived(const QByteArray &bytes, const QString &text);

protected:
    void closeEvent(QCloseEvent *event) override;
    bool event(QEvent *event) override;

public slots:
    // Esc presses Cancel; nothing else closes the window.
    void reject() override;

private:
    // Progress of the run from the encoder's own output.
    void startProgress(int kind);
    void updateProgress();
    ProgressParser m_parser;
    mdlDOSPipe::RunResult m_lastRun;
    TimeLeftEstimator m_estimator;
    QElapsedTimer m_runClock;
    QTimer *m_clockTimer = nullptr;
    bool m_showsTime = false;
    // After a confirmed cancel the window is gone, but a tool that was not
    // ended still runs: the caller waits for it, so no window takes input.
    void blockInputUntilRunEnds();
    QObject *m_inputBlock = nullptr;
    void appendOutput(const QString &text);

    void paintNow();

    Forms &m_forms;
    // Repaints during a run: at most one per display frame.
    QTimer *m_paintTimer = nullptr;
    QElapsedTimer m_lastPaint;
    bool m_running = false;
    bool m_deleteAfterRun = false;
    bool m_lastWasCR = false;
};
