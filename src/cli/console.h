#pragma once
// What vidlark-encode says while it works: error lines on standard error;
// progress and results on standard output, as text or as JSON lines; and
// the prompts and the tool runner the encode job talks through.
#include "cli/options.h"
#include "common/prompts.h"
#include "process/progressparser.h"
#include "process/toolrunner.h"

#include <QObject>
#include <QString>

#include <cstdio>

namespace cli {

class Console
{
public:
    Console(const Options &options, std::FILE *out, std::FILE *err, bool terminal);

    // The source the next lines are about.
    void setSource(const QString &source) { m_source = source; }
    const QString &source() const { return m_source; }

    // An error line: "vidlark-encode: clip.avi: TEXT".
    void error(const QString &text);
    void runStarted(const ToolRun &run);
    // How far a run has come; lines are written a few times a second.
    void progress(const ToolRun &run, const ProgressFigures &figures);
    // status: "made", "failed", "refused" or "cancelled".
    void result(const QString &format, const QString &status, const QString &path, const QString &reason,
                const QString &codec = QString());
    void tag(const QString &html);
    // The last line; counts of the results by status.
    void summary(int sources, int exitStatus);

private:
    void line(std::FILE *stream, const QString &text);
    void write(std::FILE *stream, const QByteArray &bytes);
    void endProgressLine();

    const Options &m_options;
    std::FILE *m_out;
    std::FILE *m_err;
    bool m_terminal;
    QString m_source;
    double m_lastProgress = -1;
    bool m_progressShown = false;
    bool m_outLost = false;
    int m_made = 0, m_failed = 0, m_refused = 0, m_cancelled = 0;
};

// The prompts of a run without a window: every message is an error line,
// every question is answered No, every dialog cancelled.
class ConsolePrompts : public IPrompts
{
public:
    explicit ConsolePrompts(Console &console) : m_console(console) {}
    int message(MsgIcon icon, const QString &title, const QString &text, MsgButtons buttons) override;
    std::optional<QString> openFile(const QString &, const QString &, bool) override { return std::nullopt; }
    std::optional<QString> saveFile(const QString &, const QString &, bool) override { return std::nullopt; }
    QString browseForFolder(const QString &) override { return QString(); }
    quint32 chooseColor(quint32 startColor) override { return startColor; }
    void openUrl(const QString &) override {}
    void showInFileManager(const QString &) override {}

private:
    Console &m_console;
};

// Ctrl-C, SIGTERM and SIGHUP: the running tool and everything it started
// are ended (only this program's own processes), and no later run starts.
// SIGPIPE is ignored meanwhile: a standard output that is closed (a reader
// that went away) is noticed by the console and raised as an interrupt.
class Interrupts : public QObject
{
public:
    Interrupts();
    ~Interrupts() override;
    static bool received();
    static void raise();
};

// The text with its control characters shown as "\xNN", for a terminal or
// a log that must not act on them.
QString escapeControls(const QString &text);

// Runs the tools in a folder of this invocation's own, showing progress; a
// tool that cannot be started is told through the prompts (an error line).
class ConsoleRunner : public IToolRunner
{
public:
    ConsoleRunner(IPrompts &prompts, Console &console, const QString &workingFolder);
    mdlDOSPipe::RunResult run(const ToolRun &run) override;

private:
    IPrompts &m_prompts;
    Console &m_console;
    QString m_workingFolder;
};

} // namespace cli
