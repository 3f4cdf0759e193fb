#include "process/mdlDOSPipe.h"

#include "common/cmdline.h"
#include "process/mdlKillProcess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace mdlDOSPipe {

namespace {

constexpr int kReadSize = 256;
constexpr int kIdleTurnMs = 10;
constexpr int kExitGraceMs = 500;
constexpr int kReapIntervalMs = 1000;

// Tools whose output ended before they did; reaped as soon as they exit.
std::vector<pid_t> g_unreaped;
bool g_reaperArmed = false;

void turnEventLoop()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}

enum class Reap { Running, Exited, Gone };

// Collects the tool if it has ended, and says how: its exit code when it
// exited by itself, the signal that ended it otherwise.
Reap tryReap(pid_t pid, RunResult *result)
{
    for (;;) {
        int status = 0;
        const pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid) {
            if (result && WIFEXITED(status))
                result->exitCode = WEXITSTATUS(status);
            else if (result && WIFSIGNALED(status))
                result->signal = WTERMSIG(status);
            return Reap::Exited;
        }
        if (r == 0)
            return Reap::Running;
        if (errno == EINTR)
            continue;
        return Reap::Gone; // already collected elsewhere, or children are not kept
    }
}

void reapLeftovers();

void armReaper()
{
    if (g_reaperArmed || g_unreaped.empty() || !QCoreApplication::instance())
        return;
    g_reaperArmed = true;
    QTimer::singleShot(kReapIntervalMs, QCoreApplication::instance(), [] {
        g_reaperArmed = false;
        reapLeftovers();
    });
}

void reapLeftovers()
{
    std::erase_if(g_unreaped, [](pid_t pid) { return tryReap(pid, nullptr) != Reap::Running; });
    armReaper();
}

QByteArray resolveProgram(const QString &program)
{
    if (program.isEmpty())
        return QByteArray();
    if (program.contains(QLatin1Char('/')))
        return QFile::encodeName(QFileInfo(program).absoluteFilePath());
    return QFile::encodeName(QStandardPaths::findExecutable(program));
}

constexpr int kResetSignals[] = {SIGPIPE, SIGINT,  SIGQUIT, SIGHUP,  SIGTERM, SIGCHLD, SIGUSR1,
                                 SIGUSR2, SIGALRM, SIGTSTP, SIGTTIN, SIGTTOU, SIGXFSZ};

// Closes every descriptor from `from` to `to`; one by one up to `lastOpenable`
// where the kernel cannot close a range.
void closeRange(int from, unsigned to, int lastOpenable)
{
    if (from < 0 || unsigned(from) > to || ::close_range(unsigned(from), to, 0) == 0)
        return;
    for (int fd = from; fd <= lastOpenable && unsigned(fd) <= to; ++fd)
        ::close(fd);
}

// The child between fork and exec: async-signal-safe calls only. Tells the
// parent why it could not start the tool through errorEnd, then exits.
[[noreturn]] void execTool(const char *program, char *const *argv, char *const *envp, const char *folder,
                           int writeEnd, int errorEnd, pid_t parent, int lastOpenable)
{
    const auto fail = [errorEnd] {
        const int error = errno;
        [[maybe_unused]] const ssize_t n = ::write(errorEnd, &error, sizeof error);
        ::_exit(127);
    };
    // The tool ends with this program, even when it is killed. The death
    // signal comes when the thread that forked ends: the runner runs on the
    // main thread, whose end is the program's. If we were orphaned before
    // the signal was armed, stop here.
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0)
        fail();
    if (::getppid() != parent)
        ::_exit(127);
    if (::setpgid(0, 0) != 0)
        fail();

    // stdin from /dev/null, stdout and stderr on the pipe, nothing else.
    if (writeEnd <= STDERR_FILENO && (writeEnd = ::fcntl(writeEnd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1)) < 0)
        fail();
    const int null = ::open("/dev/null", O_RDONLY);
    if (null < 0 || (null != STDIN_FILENO && ::dup2(null, STDIN_FILENO) < 0))
        fail();
    if (::dup2(writeEnd, STDOUT_FILENO) < 0 || ::dup2(writeEnd, STDERR_FILENO) < 0)
        fail();
    // errorEnd is closed by the exec itself (close-on-exec).
    closeRange(STDERR_FILENO + 1, unsigned(errorEnd - 1), lastOpenable);
    closeRange(errorEnd + 1, ~0U, lastOpenable);

    if (*folder && ::chdir(folder) != 0)
        fail();

    // The signals a caller may have set aside (an ignored SIGPIPE) come back
    // to their defaults, and nothing stays blocked.
    struct sigaction defaults = {};
    defaults.sa_handler = SIG_DFL;
    sigemptyset(&defaults.sa_mask);
    for (int sig : kResetSignals)
        ::sigaction(sig, &defaults, nullptr);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);

    ::execve(program, argv, envp);
    fail();
    ::_exit(127);
}

// The child reports a failure before exec as its errno on this pipe; a
// successful exec closes it empty. Kept off 0-2, which the child replaces.
bool makeReportPipe(int report[2])
{
    if (::pipe2(report, O_CLOEXEC) != 0)
        return false;
    for (int i = 0; i < 2; ++i) {
        if (report[i] > STDERR_FILENO)
            continue;
        const int moved = ::fcntl(report[i], F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
        ::close(report[i]);
        report[i] = moved;
    }
    if (report[0] >= 0 && report[1] >= 0)
        return true;
    for (int i = 0; i < 2; ++i)
        if (report[i] >= 0)
            ::close(report[i]);
    return false;
}

// Starts the tool with its output on writeEnd. Returns its pid, or 0 when it
// could not be started (no such program, not executable, no such folder).
pid_t startTool(const QStringList &arguments, const QString &workingFolder, int writeEnd)
{
    // Everything the child needs is made here: after the fork it may only
    // make async-signal-safe calls.
    const QByteArray program = resolveProgram(arguments.constFirst());
    if (program.isEmpty())
        return 0;
    std::vector<QByteArray> encoded;
    encoded.reserve(size_t(arguments.size()));
    for (const QString &a : arguments)
        encoded.push_back(QFile::encodeName(a));
    std::vector<char *> argv;
    for (QByteArray &a : encoded)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const QByteArray folder = QFile::encodeName(workingFolder);
    char *const *envp = environ;
    const pid_t parent = ::getpid();
    const long openMax = ::sysconf(_SC_OPEN_MAX);
    const int lastOpenable = openMax > 0 && openMax <= (1 << 20) ? int(openMax) - 1 : (1 << 20) - 1;

    int report[2];
    if (!makeReportPipe(report))
        return 0;

    // No handler of ours may run in the child before its signals are reset.
    sigset_t all, saved;
    sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, &saved);
    const pid_t pid = ::fork();
    if (pid == 0)
        execTool(program.constData(), argv.data(), envp, folder.constData(), writeEnd, report[1], parent,
                 lastOpenable);
    ::pthread_sigmask(SIG_SETMASK, &saved, nullptr);
    ::close(report[1]);
    if (pid < 0) {
        ::close(report[0]);
        return 0;
    }

    int childError = 0;
    ssize_t n;
    do
        n = ::read(report[0], &childError, sizeof childError);
    while (n < 0 && errno == EINTR);
    ::close(report[0]);
    if (n <= 0)
        return pid;
    // The child did not get to the tool: collect it at once.
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {}
    return 0;
}

// Hands the output to the sink until it ends (every writer has closed the
// pipe), turning the event loop after every piece and while the tool is
// silent.
void drain(int readEnd, RunResult &result, const ChunkSink &sink)
{
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    ::fcntl(readEnd, F_SETFL, ::fcntl(readEnd, F_GETFL) | O_NONBLOCK);
    char buffer[kReadSize];
    for (;;) {
        const ssize_t n = ::read(readEnd, buffer, kReadSize);
        if (n > 0) {
            const QByteArray bytes(buffer, qsizetype(n));
            const QString text = decoder.decode(bytes);
            result.report.feed(bytes);
            if (sink)
                sink(text, bytes, result.report);
            turnEventLoop();
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN) {
            // Nothing to read: wait a little for output, turning the event
            // loop between waits so the window lives while the tool is silent.
            pollfd p{readEnd, POLLIN, 0};
            const int ready = ::poll(&p, 1, kIdleTurnMs);
            if (ready == 0)
                turnEventLoop();
            if (ready >= 0 || errno == EINTR)
                continue;
        }
        // End of output (or a read error, which ends the run the same way).
        turnEventLoop();
        return;
    }
}

// A tool that closed its output by exiting is collectable at once, or
// nearly: give it a short moment to tell its exit code; one still running
// then is reaped later.
void collect(pid_t pid, RunResult &result)
{
    QElapsedTimer waited;
    waited.start();
    while (tryReap(pid, &result) == Reap::Running) {
        if (waited.elapsed() >= kExitGraceMs) {
            g_unreaped.push_back(pid);
            armReaper();
            return;
        }
        ::poll(nullptr, 0, waited.elapsed() < 20 ? 1 : 5);
        turnEventLoop();
    }
}

} // namespace

RunResult ExecuteApp(const QString &commandLine, const QString &workingFolder, const ChunkSink &sink)
{
    RunResult result;
    reapLeftovers();

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        result.startFailure = StartFailure::Pipe;
        return result;
    }
    const int readEnd = fds[0];
    const int writeEnd = fds[1];

    const QStringList arguments = cmdline::splitCommandLine(commandLine);
    const pid_t pid = arguments.isEmpty() ? 0 : startTool(arguments, workingFolder, writeEnd);
    // Our copy of the write end goes at once, so the output ends when the
    // tool and whatever inherited it have closed theirs.
    ::close(writeEnd);
    if (pid <= 0) {
        ::close(readEnd);
        result.startFailure = StartFailure::Process;
        return result;
    }
    result.started = true;
    mdlKillProcess::addToolGroup(pid);

    drain(readEnd, result, sink);
    ::close(readEnd);
    result.report.finish();
    collect(pid, result);
    return result;
}

QString startFailureText(StartFailure failure)
{
    switch (failure) {
    case StartFailure::Pipe: return QStringLiteral("EXECUTEAPP FAILED AT CREATEPIPE");
    case StartFailure::Process: return QStringLiteral("EXECUTEAPP FAILED AT CREATEPROCESS");
    case StartFailure::None: break;
    }
    return QString();
}

QString failureReason(const RunResult &run, const QString &tool)
{
    const QString the = QStringLiteral("THE ") + tool;
    if (run.signal) {
        const char *abbreviation = sigabbrev_np(*run.signal);
        const QString name = abbreviation
            ? QStringLiteral(" (SIG") + QLatin1String(abbreviation) + QLatin1Char(')')
            : QString();
        return the + QStringLiteral(" WAS STOPPED BY SIGNAL ") + QString::number(*run.signal) + name
            + QLatin1Char('.');
    }
    if (const QString line = run.report.lastErrorLine(); !line.isEmpty())
        return errorSentence(line);
    if (run.exitCode)
        return the + QStringLiteral(" STOPPED WITH STATUS ") + QString::number(*run.exitCode)
            + QLatin1Char('.');
    if (!run.started)
        return the + QStringLiteral(" COULD NOT BE STARTED.");
    return the + QStringLiteral(" COULD NOT BE WAITED FOR.");
}

} // namespace mdlDOSPipe
