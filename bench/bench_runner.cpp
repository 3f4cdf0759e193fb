// Console runner throughput and event-loop responsiveness.
//
// A small shell tool writes a stream of ffmpeg-like status lines to stderr as
// fast as it can. The same tool is timed with stderr on /dev/null, then
// drained by the runner (a sink that only counts), then drained through the
// progress window (offscreen) as the program shows it; QProcess draining it
// with large reads gives a second reference. Meanwhile the worst time
// between two turns of the event loop and the worst lateness of a 10 ms
// timer are taken.
//
// Usage: bench_runner [megabytes, default 200]
#include "common/cmdline.h"
#include "process/frmProgress.h"
#include "process/mdlDOSPipe.h"
#include "support/fixture.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

const char *kLine =
    "frame=  120 fps= 60 q=28.0 size=     512kB time=00:00:04.80 bitrate= 873.8kbits/s speed=2.4x    ";

struct Watch {
    qint64 worstTurnGap = 0;
    qint64 worstTimerLate = 0;
    qint64 turns = 0;
    QElapsedTimer turnClock;
    QElapsedTimer tickClock;
    QTimer timer;
    QMetaObject::Connection awake;

    void start()
    {
        turnClock.start();
        tickClock.start();
        awake =
            QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::awake, [this] {
                ++turns;
                worstTurnGap = qMax(worstTurnGap, turnClock.nsecsElapsed() / 1000);
                turnClock.restart();
            });
        timer.setTimerType(Qt::PreciseTimer);
        timer.setInterval(10);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            worstTimerLate = qMax(worstTimerLate, tickClock.nsecsElapsed() / 1000 - 10000);
            tickClock.restart();
        });
        timer.start();
    }
    void stop()
    {
        timer.stop();
        QObject::disconnect(awake);
    }
    void print() const
    {
        std::printf("    event loop: %lld turns, worst gap between turns %.2f ms, worst 10 ms timer lateness "
                    "%.2f ms\n",
                    (long long)turns, worstTurnGap / 1000.0, worstTimerLate / 1000.0);
    }
};

double mbPerSecond(qint64 bytes, qint64 ns)
{
    return double(bytes) / (1024.0 * 1024.0) / (double(ns) / 1e9);
}

// The stream's tool: $1 bytes of status lines, each ended by CR, on stderr.
struct Tool {
    QTemporaryDir work;
    QString script = work.filePath(QStringLiteral("status-lines.sh"));
    Tool()
    {
        writeFileBytes(script, QByteArray("yes '") + kLine + "' | tr '\\n' '\\r' | head -c \"$1\" >&2\n");
    }
    QString command(qint64 size) const
    {
        return QStringLiteral("/bin/sh ") + cmdline::quoteArgument(script) + QLatin1Char(' ')
            + QString::number(size);
    }
};

// 1. The tool alone, stderr on /dev/null; then drained by QProcess (large
// reads, no turn per read). Returns the time of the tool alone.
qint64 toolAlone(const Tool &tool, qint64 bytes)
{
    QElapsedTimer clock;
    QProcess alone;
    alone.setStandardErrorFile(QProcess::nullDevice());
    alone.setStandardOutputFile(QProcess::nullDevice());
    clock.start();
    alone.start(QStringLiteral("/bin/sh"), {tool.script, QString::number(bytes)});
    alone.waitForFinished(-1);
    const qint64 aloneNs = clock.nsecsElapsed();
    std::printf("  tool to /dev/null:        %8.0f MB/s  (%.2f s)\n", mbPerSecond(bytes, aloneNs),
                aloneNs / 1e9);

    QProcess drained;
    drained.setProcessChannelMode(QProcess::MergedChannels);
    qint64 drainedBytes = 0;
    clock.restart();
    drained.start(QStringLiteral("/bin/sh"), {tool.script, QString::number(bytes)});
    while (drained.waitForReadyRead(-1) || drained.bytesAvailable() > 0)
        drainedBytes += drained.readAll().size();
    drained.waitForFinished(-1);
    const qint64 drainedNs = clock.nsecsElapsed();
    std::printf("  tool drained by QProcess: %8.0f MB/s  (%.2f s)\n", mbPerSecond(drainedBytes, drainedNs),
                drainedNs / 1e9);
    return aloneNs;
}

// 2. The runner with a sink that only counts.
void runnerAlone(const Tool &tool, qint64 bytes, qint64 aloneNs)
{
    qint64 received = 0, chunks = 0;
    Watch watch;
    watch.start();
    QElapsedTimer clock;
    clock.start();
    const mdlDOSPipe::RunResult run =
        mdlDOSPipe::ExecuteApp(tool.command(bytes), tool.work.path(),
                               [&](const QString &, const QByteArray &b, const ProgressParser &) {
                                   received += b.size();
                                   ++chunks;
                               });
    const qint64 runnerNs = clock.nsecsElapsed();
    watch.stop();
    std::printf(
        "  runner, counting sink:    %8.0f MB/s  (%.2f s, %.2fx the time of the tool alone), %lld bytes in "
        "%lld reads, exit status %d\n",
        mbPerSecond(received, runnerNs), runnerNs / 1e9, double(runnerNs) / double(aloneNs),
        (long long)received, (long long)chunks, run.exitCode.value_or(-1));
    watch.print();
}

// 3. Through the progress window, as the program shows it. Every piece goes
// into the console box and the window is repainted once a frame, so a tenth
// of the stream is enough to see its pace.
void throughTheWindow(const Tool &tool, qint64 bytes)
{
    const qint64 windowBytes = qMax<qint64>(bytes / 10, 1024 * 1024);
    ScriptedPrompts prompts;
    ProgressWindowRunner window(prompts, tool.work.path());
    qint64 shown = 0;
    QObject::connect(&window.window(), &frmProgress::outputReceived,
                     [&](const QByteArray &b, const QString &) { shown += b.size(); });
    Watch windowWatch;
    windowWatch.start();
    QElapsedTimer clock;
    clock.start();
    window.run(
        ToolRun{tool.command(windowBytes), ToolRun::Tool, QString(), QString(), QStringLiteral("bench")});
    const qint64 windowNs = clock.nsecsElapsed();
    windowWatch.stop();
    std::printf("  progress window (%lld MB):  %8.1f MB/s  (%.2f s)\n",
                (long long)(windowBytes / (1024 * 1024)), mbPerSecond(shown, windowNs), windowNs / 1e9);
    windowWatch.print();
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const qint64 megabytes = argc > 1 ? QByteArray(argv[1]).toLongLong() : 200;
    const qint64 bytes = megabytes * 1024 * 1024;
    std::printf("bench_runner: %lld MB of status lines on stderr\n", (long long)megabytes);

    const Tool tool;
    runnerAlone(tool, bytes, toolAlone(tool, bytes));
    throughTheWindow(tool, bytes);

    // 4. Idle responsiveness: a tool silent for 2 s.
    Watch idle;
    idle.start();
    mdlDOSPipe::ExecuteApp(QStringLiteral("/bin/sleep 2"), tool.work.path(), {});
    idle.stop();
    std::printf(
        "  silent tool (2 s):        worst gap between turns %.2f ms, worst 10 ms timer lateness %.2f ms\n",
        idle.worstTurnGap / 1000.0, idle.worstTimerLate / 1000.0);
    return 0;
}
