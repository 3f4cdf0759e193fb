#include "cli/console.h"

#include "process/mdlKillProcess.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSocketNotifier>

#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace cli {

namespace {

// Progress lines at most this often (seconds).
constexpr double terminalPace = 0.2;
constexpr double jsonPace = 0.5;

QString fileName(const QString &path)
{
    return QFileInfo(path).fileName();
}

double rounded(double value, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    return std::round(value * scale) / scale;
}

} // namespace

Console::Console(const Options &options, std::FILE *out, std::FILE *err, bool terminal)
    : m_options(options), m_out(out), m_err(err), m_terminal(terminal)
{
}

QString escapeControls(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7f && u <= 0x9f))
            out += QStringLiteral("\\x%1").arg(uint(u), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

void Console::write(std::FILE *stream, const QByteArray &bytes)
{
    if (stream == m_out && m_outLost)
        return;
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
    // Nobody reads what comes next: the run ends as if interrupted.
    if (stream == m_out && std::ferror(stream)) {
        m_outLost = true;
        Interrupts::raise();
    }
}

void Console::line(std::FILE *stream, const QString &text)
{
    write(stream, (m_options.json && stream == m_out ? text : escapeControls(text)).toUtf8() + '\n');
}

void Console::endProgressLine()
{
    if (m_progressShown) {
        write(m_err, "\n");
        m_progressShown = false;
    }
}

void Console::error(const QString &text)
{
    endProgressLine();
    QString where = QStringLiteral("vidlark-encode: ");
    if (!m_source.isEmpty())
        where += fileName(m_source) + QStringLiteral(": ");
    line(m_err, where + text);
}

void Console::runStarted(const ToolRun &run)
{
    m_lastProgress = -1;
    if (m_options.quiet || m_options.json)
        return;
    if (!m_terminal)
        line(m_out,
             fileName(m_source) + QStringLiteral(": ") + run.label + QStringLiteral(" started: ")
                 + run.output);
}

void Console::progress(const ToolRun &run, const ProgressFigures &figures)
{
    if (m_options.quiet || (!m_options.json && !m_terminal) || !run.isEncoder())
        return;
    const double pace = m_options.json ? jsonPace : terminalPace;
    if (m_lastProgress >= 0 && figures.elapsed - m_lastProgress < pace)
        return;
    m_lastProgress = figures.elapsed;
    if (m_options.json) {
        QJsonObject o{{QStringLiteral("event"), QStringLiteral("progress")},
                      {QStringLiteral("source"), m_source},
                      {QStringLiteral("format"), run.label},
                      {QStringLiteral("elapsed_s"), rounded(figures.elapsed, 1)}};
        if (figures.fraction)
            o.insert(QStringLiteral("percent"), rounded(*figures.fraction * 100, 1));
        if (figures.left)
            o.insert(QStringLiteral("eta_s"), qint64(std::llround(*figures.left)));
        if (figures.speed)
            o.insert(QStringLiteral("speed"), rounded(*figures.speed, 1));
        line(m_out, QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact)));
        return;
    }
    QString text = fileName(m_source) + QStringLiteral(" \u2192 ") + run.label + QStringLiteral("  ");
    if (figures.fraction)
        text += QString::number(*figures.fraction * 100, 'f', 0) + QStringLiteral("%  ");
    text += progressLine(figures);
    write(m_err, "\r\x1b[K" + escapeControls(text).toUtf8());
    m_progressShown = true;
}

void Console::result(const QString &format, const QString &status, const QString &path, const QString &reason,
                     const QString &codec)
{
    endProgressLine();
    if (status == QLatin1String("made"))
        ++m_made;
    else if (status == QLatin1String("refused"))
        ++m_refused;
    else if (status == QLatin1String("cancelled"))
        ++m_cancelled;
    else
        ++m_failed;
    if (m_options.json) {
        QJsonObject o{{QStringLiteral("event"), QStringLiteral("result")},
                      {QStringLiteral("source"), m_source},
                      {QStringLiteral("format"), format},
                      {QStringLiteral("status"), status},
                      {QStringLiteral("path"), path}};
        if (!codec.isEmpty())
            o.insert(QStringLiteral("codec"), codec);
        if (!reason.isEmpty())
            o.insert(QStringLiteral("reason"), reason);
        line(m_out, QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact)));
        return;
    }
    if (m_options.quiet)
        return;
    QString text = fileName(m_source) + QStringLiteral(": ") + format + QLatin1Char(' ') + status;
    if (!path.isEmpty())
        text += QLatin1Char(' ') + path;
    if (!reason.isEmpty())
        text += QStringLiteral(" (") + reason + QLatin1Char(')');
    line(m_out, text);
}

void Console::tag(const QString &html)
{
    if (m_options.json) {
        const QJsonObject o{{QStringLiteral("event"), QStringLiteral("tag")},
                            {QStringLiteral("source"), m_source},
                            {QStringLiteral("html"), html}};
        line(m_out, QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact)));
        return;
    }
    write(m_out, html.toUtf8());
}

void Console::summary(int sources, int exitStatus)
{
    endProgressLine();
    if (m_options.json) {
        const QJsonObject o{{QStringLiteral("event"), QStringLiteral("summary")},
                            {QStringLiteral("sources"), sources},
                            {QStringLiteral("made"), m_made},
                            {QStringLiteral("failed"), m_failed},
                            {QStringLiteral("refused"), m_refused},
                            {QStringLiteral("cancelled"), m_cancelled},
                            {QStringLiteral("exit"), exitStatus}};
        line(m_out, QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact)));
        return;
    }
    if (!m_options.quiet)
        line(m_out,
             QStringLiteral("%1 made, %2 failed, %3 refused, %4 cancelled")
                 .arg(m_made)
                 .arg(m_failed)
                 .arg(m_refused)
                 .arg(m_cancelled));
}

int ConsolePrompts::message(MsgIcon, const QString &, const QString &text, MsgButtons buttons)
{
    if (buttons == MsgButtons::YesNo)
        return vbNo;
    m_console.error(text);
    return vbOK;
}

namespace {

volatile std::sig_atomic_t g_interrupted = 0;
int g_wakeUp[2] = {-1, -1};

void onSignal(int)
{
    g_interrupted = 1;
    const char byte = 1;
    if (g_wakeUp[1] >= 0) {
        [[maybe_unused]] const ssize_t ignored = ::write(g_wakeUp[1], &byte, 1);
    }
}

} // namespace

Interrupts::Interrupts()
{
    if (::pipe2(g_wakeUp, O_CLOEXEC | O_NONBLOCK) != 0)
        g_wakeUp[0] = g_wakeUp[1] = -1;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(sig, &action, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
    if (g_wakeUp[0] < 0)
        return;
    // The runner turns the event loop while a tool runs: the tool is ended
    // there, and the runner sees its output end.
    auto *notifier = new QSocketNotifier(g_wakeUp[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [] {
        char drain[64];
        while (::read(g_wakeUp[0], drain, sizeof drain) > 0) {}
        mdlKillProcess::KillProcess(QString());
    });
}

Interrupts::~Interrupts()
{
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE})
        ::signal(sig, SIG_DFL);
    for (int &fd : g_wakeUp) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

bool Interrupts::received()
{
    return g_interrupted != 0;
}

void Interrupts::raise()
{
    onSignal(0);
}

ConsoleRunner::ConsoleRunner(IPrompts &prompts, Console &console, const QString &workingFolder)
    : m_prompts(prompts), m_console(console), m_workingFolder(workingFolder)
{
}

mdlDOSPipe::RunResult ConsoleRunner::run(const ToolRun &run)
{
    mdlDOSPipe::RunResult result;
    if (Interrupts::received()) {
        result.cancelled = true;
        return result;
    }
    m_console.runStarted(run);
    RunProgress progress;
    progress.start();
    result = mdlDOSPipe::ExecuteApp(run.commandLine, m_workingFolder,
                                    [&](const QString &, const QByteArray &, const ProgressParser &report) {
                                        m_console.progress(run, progress.update(report));
                                    });
    if (result.startFailure != mdlDOSPipe::StartFailure::None)
        m_prompts.error(mdlDOSPipe::startFailureText(result.startFailure));
    result.cancelled = Interrupts::received();
    return result;
}

} // namespace cli
