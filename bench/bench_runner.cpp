// Console runner throughput and event-loop responsiveness.
//
// A tool writes a stream of ffmpeg-like status lines to stderr as fast as it
// can. The same tool is timed with stderr on /dev/null, then drained by the
// runner (a sink that only counts), then drained through the progress window
// (offscreen) as the program shows it; QProcess draining it with large reads
// gives a second reference. Meanwhile the worst time between two
// turns of the event loop and the worst lateness of a 10 ms timer are taken.
//
// Usage: bench_runner [megabytes, default 200]
#include "common/mdlMain.h"
#include "app/ui_forms.h"
#include "common/cmdline.h"
#include "process/frmProgress.h"
#include "process/mdlDOSPipe.h"
#include "support/scriptedprompts.h"
#include "support/testappdir.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>

#include <cstdio>

namespace {

const char *kLine = "frame=\\s\\s120\\sfps=\\s60\\sq=28.0\\ssize=\\s\\s\\s\\s\\s512kB\\stime=00:00:04.80\\s"
                    "bitrate=\\s873.8kbits/s\\sspeed=2.4x\\s\\s\\s\\s\\r";

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
        awake = QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::awake, [this] {
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
};

double mbPerSecond(qint64 bytes, qint64 ns)
{
    return double(bytes) / (1024.0 * 1024.0) / (double(ns) / 1e9);
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const qint64 megabytes = argc > 1 ? QByteArray(argv[1]).toLongLong() : 200;
    const qint64 bytes = megabytes * 1024 * 1024;
    const QString actions = QStringLiteral("errn:%1:%2").arg(bytes).arg(QLatin1String(kLine));
    const QString command = cmdline::quoteArgument(fakeToolBinary()) + QLatin1Char(' ') + actions;
    std::printf("bench_runner: %lld MB of status lines on stderr\n", (long long)megabytes);

    // 1. The tool alone, stderr on /dev/null.
    QElapsedTimer clock;
    QProcess alone;
    alone.setStandardErrorFile(QProcess::nullDevice());
    alone.setStandardOutputFile(QProcess::nullDevice());
    clock.start();
    alone.start(fakeToolBinary(), {actions});
    alone.waitForFinished(-1);
    const qint64 aloneNs = clock.nsecsElapsed();
    std::printf("  tool to /dev/null:        %8.0f MB/s  (%.2f s)\n", mbPerSecond(bytes, aloneNs), aloneNs / 1e9);

    // 1b. The same tool drained by QProcess (large reads, no turn per read).
    QProcess drained;
    drained.setProcessChannelMode(QProcess::MergedChannels);
    qint64 drainedBytes = 0;
    clock.restart();
    drained.start(fakeToolBinary(), {actions});
    while (drained.waitForReadyRead(-1) || drained.bytesAvailable() > 0)
        drainedBytes += drained.readAll().size();
    drained.waitForFinished(-1);
    const qint64 drainedNs = clock.nsecsElapsed();
    std::printf("  tool drained by QProcess: %8.0f MB/s  (%.2f s)\n", mbPerSecond(drainedBytes, drainedNs),
                drainedNs / 1e9);

    // 2. The runner with a sink that only counts.
    ScriptedPrompts prompts;
    qint64 received = 0, chunks = 0;
    Watch watch;
    watch.start();
    clock.restart();
    mdlDOSPipe::ExecuteApp(command, prompts, QDir::tempPath(), [&](const QString &, const QByteArray &b, const ProgressParser &) {
        received += b.size();
        ++chunks;
    });
    const qint64 runnerNs = clock.nsecsElapsed();
    watch.stop();
    std::printf("  runner, counting sink:    %8.0f MB/s  (%.2f s, %.2fx the time of the tool alone), %lld bytes in %lld reads\n",
                mbPerSecond(received, runnerNs), runnerNs / 1e9, double(runnerNs) / double(aloneNs),
                (long long)received, (long long)chunks);
    std::printf("    event loop: %lld turns, worst gap between turns %.2f ms, worst 10 ms timer lateness %.2f ms\n",
                (long long)watch.turns, watch.worstTurnGap / 1000.0, watch.worstTimerLate / 1000.0);

    // 3. Through the progress window, as the program shows it. Every piece
    // goes into the console box and the window is repainted once a frame,
    // so a tenth of the stream is enough to see its pace.
    const qint64 windowBytes = qMax<qint64>(bytes / 10, 1024 * 1024);
    const QString windowCommand = cmdline::quoteArgument(fakeToolBinary())
                                  + QStringLiteral(" errn:%1:%2").arg(windowBytes).arg(QLatin1String(kLine));
    Forms forms(prompts, QDir::tempPath());
    qint64 shown = 0;
    QObject::connect(&forms.progress(), &frmProgress::outputReceived,
                     [&](const QByteArray &b, const QString &) { shown += b.size(); });
    mdlMain::strCommandLine = windowCommand;
    mdlMain::intEncodeKind = 0;
    Watch windowWatch;
    windowWatch.start();
    clock.restart();
    forms.showProgressModal();
    const qint64 windowNs = clock.nsecsElapsed();
    windowWatch.stop();
    std::printf("  progress window (%lld MB):  %8.1f MB/s  (%.2f s)\n", (long long)(windowBytes / (1024 * 1024)),
                mbPerSecond(shown, windowNs), windowNs / 1e9);
    std::printf("    event loop: %lld turns, worst gap between turns %.2f ms, worst 10 ms timer lateness %.2f ms\n",
                (long long)windowWatch.turns, windowWatch.worstTurnGap / 1000.0, windowWatch.worstTimerLate / 1000.0);

    // 4. Idle responsiveness: a tool silent for 2 s.
    Watch idle;
    idle.start();
    mdlDOSPipe::ExecuteApp(cmdline::quoteArgument(fakeToolBinary()) + QStringLiteral(" sleep:2000"), prompts,
                           QDir::tempPath(), {});
    idle.stop();
    std::printf("  silent tool (2 s):        worst gap between turns %.2f ms, worst 10 ms timer lateness %.2f ms\n",
                idle.worstTurnGap / 1000.0, idle.worstTimerLate / 1000.0);
    return 0;
}
