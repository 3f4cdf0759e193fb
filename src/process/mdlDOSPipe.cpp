#include "process/mdlDOSPipe.h"

#include "common/prompts.h"
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
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
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

// Everything posix_spawn needs, released on every path.
struct SpawnSetup {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    bool actionsReady = false;
    bool attributesReady = false;
    ~SpawnSetup()
    {
        if (actionsReady)
            posix_spawn_file_actions_destroy(&actions);
        if (attributesReady)
            posix_spawnattr_destroy(&attributes);
    }
};

// Starts the tool with its output on writeEnd. Returns its pid, or 0.
pid_t startTool(const QStringList &arguments, const QString &workingFolder, int writeEnd)
{
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

    SpawnSetup s;
    if (posix_spawn_file_actions_init(&s.actions) != 0)
        return 0;
    s.actionsReady = true;
    if (posix_spawnattr_init(&s.attributes) != 0)
        return 0;
    s.attributesReady = true;

    bool ok = posix_spawn_file_actions_adddup2(&s.actions, writeEnd, STDOUT_FILENO) == 0
              && posix_spawn_file_actions_adddup2(&s.actions, writeEnd, STDERR_FILENO) == 0
              && posix_spawn_file_actions_addopen(&s.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0) == 0
              && posix_spawn_file_actions_addclosefrom_np(&s.actions, STDERR_FILENO + 1) == 0;
    if (ok && !folder.isEmpty())
        ok = posix_spawn_file_actions_addchdir_np(&s.actions, folder.constData()) == 0;

    // Own process group; no blocked signals; the signals a caller may have
    // set aside come back to their defaults.
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (int sig : {SIGPIPE, SIGINT, SIGQUIT, SIGHUP, SIGTERM, SIGCHLD, SIGUSR1, SIGUSR2, SIGALRM,
                    SIGTSTP, SIGTTIN, SIGTTOU, SIGXFSZ})
        sigaddset(&defaults, sig);
    ok = ok && posix_spawnattr_setflags(&s.attributes,
                                        POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF)
                   == 0
         && posix_spawnattr_setpgroup(&s.attributes, 0) == 0
         && posix_spawnattr_setsigmask(&s.attributes, &none) == 0
         && posix_spawnattr_setsigdefault(&s.attributes, &defaults) == 0;
    if (!ok)
        return 0;

    pid_t pid = 0;
    // posix_spawn reports a program that cannot be executed (missing, not
    // executable, no such folder) as its own failure.
    if (posix_spawn(&pid, program.constData(), &s.actions, &s.attributes, argv.data(), environ) != 0)
        return 0;
    return pid;
}

} // namespace

RunResult ExecuteApp(const QString &commandLine, IPrompts &prompts, const QString &workingFolder,
                     const ChunkSink &sink)
{
    RunResult result;
    reapLeftovers();

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        prompts.error(QStringLiteral("EXECUTEAPP FAILED AT CREATEPIPE"));
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
        prompts.error(QStringLiteral("EXECUTEAPP FAILED AT CREATEPROCESS"));
        return result;
    }
    result.started = true;
    mdlKillProcess::addToolGroup(pid);

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
        break;
    }
    ::close(readEnd);
    result.report.finish();

    // A tool that closed its output by exiting is collectable at once, or
    // nearly: give it a short moment to tell its exit code.
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        if (tryReap(pid, &result) != Reap::Running)
            break;
        if (waited.elapsed() >= kExitGraceMs) {
            g_unreaped.push_back(pid);
            armReaper();
            break;
        }
        ::poll(nullptr, 0, waited.elapsed() < 20 ? 1 : 5);
        turnEventLoop();
    }
    return result;
}

} // namespace mdlDOSPipe
