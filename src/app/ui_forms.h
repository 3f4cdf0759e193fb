#pragma once
// The program's windows and what they share: the prompts, the application
// folder and the settings they edit. Every window but the main one exists
// once and is created on first reference; the windows get what they need
// through their constructors, so tests build them with scripted prompts and
// an application folder of their own.
#include "common/ui_windowholder.h"
#include "settings/encodesettings.h"
#include "watermark/frmWatermarkOptions.h"

#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class IPrompts;
class frmMain;
class ProgressWindowRunner;

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
    // The settings of the main window and the watermark dialog.
    encodesettings::Settings &settings() { return m_settings; }

    frmMain *main() const;
    void setMain(frmMain *window);

    // The progress window, through which every tool runs: created on first
    // run, kept between runs, dropped by a confirmed cancel.
    ProgressWindowRunner &progress() { return *m_progress; }

    // The watermark dialog: created (and loaded, not shown) on first
    // reference; its close box drops it.
    frmWatermarkOptions &watermarkOptions();
    bool watermarkOptionsLoaded() const { return m_watermark.loaded(); }
    void unloadWatermarkOptions() { m_watermark.unload(); }

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
    encodesettings::Settings m_settings;
    QPointer<frmMain> m_main;
    std::unique_ptr<ProgressWindowRunner> m_progress;
    ui::WindowHolder<frmWatermarkOptions, &frmWatermarkOptions::dropped> m_watermark;
};
