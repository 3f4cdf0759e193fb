#pragma once
// The program's windows and what they share. Every window but the main one
// exists once and is created on first reference; windows get this object
// through their constructors, so tests build them with scripted prompts and
// an application folder of their own.
#include "process/mdlDOSPipe.h"

#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>

class IPrompts;
class frmMain;
class frmProgress;
class frmWatermarkOptions;

class Forms
{
public:
    Forms(IPrompts &prompts, const QString &appFolder);
    ~Forms();
    Forms(const Forms &) = delete;
    Forms &operator=(const Forms &) = delete;

    IPrompts &prompts() const { return m_prompts; }
    // The folder that holds the program; no trailing "/".
    const QString &appFolder() const { return m_appFolder; }

    frmMain *main() const;
    void setMain(frmMain *window);

    // The progress window: created on first reference, kept between runs,
    // dropped by a confirmed cancel (unloadProgress).
    frmProgress &progress();
    bool progressLoaded() const { return !m_progress.isNull(); }
    void unloadProgress();
    // Shows the progress window modally for the command in
    // mdlMain::strCommandLine and returns when it is no longer shown, with
    // how the run ended.
    mdlDOSPipe::RunResult showProgressModal();

    // The watermark dialog: created (and loaded, not shown) on first
    // reference; its close box drops it.
    frmWatermarkOptions &watermarkOptions();
    bool watermarkOptionsLoaded() const { return !m_watermark.isNull(); }
    void unloadWatermarkOptions();

    // Start-up settings, set by main() for the real program and by tests.
    int splashMilliseconds = 2000;
    // Command-line arguments after the program name.
    QStringList arguments;
    // True when another instance of the program runs for this user.
    std::function<bool()> anotherInstanceRunning = [] { return false; };
    // Ends the program at once (no close handlers run).
    std::function<void()> endProgram;

private:
    IPrompts &m_prompts;
    QString m_appFolder;
    QPointer<frmMain> m_main;
    QPointer<frmProgress> m_progress;
    QPointer<frmWatermarkOptions> m_watermark;
};
