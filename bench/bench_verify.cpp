// What reading every output back costs. A generated 30-second 1280x720 clip
// with sound is encoded to a streamable MP4 by the encode job, its tools run
// by the console runner as vidlark-encode runs them, once in an application
// folder without engine/ffprobe (the exit status alone decides) and once with
// it (the MP4 is read back twice: after the encoder and after the faststart
// step). Prints both wall times and their ratio (the aim is at most 1.02), the
// ratio of the processor time the job and its tools used, and the time of the
// ffprobe runs alone. Prints figures; it tests nothing.
//
// Usage: bench_verify [pairs of runs, default 1; later pairs swap the order]
#include "encode/encodejob.h"
#include "process/mdlDOSPipe.h"
#include "support/fixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>

namespace {

// Runs each tool as vidlark-encode does and keeps the wall time per label
// ("mp4", "faststart", "verify").
class TimedRunner : public IToolRunner
{
public:
    mdlDOSPipe::RunResult run(const ToolRun &tool) override
    {
        QElapsedTimer clock;
        clock.start();
        mdlDOSPipe::RunResult result = mdlDOSPipe::ExecuteApp(tool.commandLine, QString(), {});
        seconds[tool.label] += double(clock.nsecsElapsed()) / 1e9;
        ++runs[tool.label];
        return result;
    }
    QMap<QString, double> seconds;
    QMap<QString, int> runs;
};

// Processor seconds used so far by this program and the tools it waited for.
double processorSeconds()
{
    double seconds = 0;
    for (const int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage usage{};
        getrusage(who, &usage);
        seconds += double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
            + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    }
    return seconds;
}

void fail(const char *what)
{
    std::printf("bench_verify: %s\n", what);
    std::exit(1);
}

struct Timing {
    double wall = 0;   // the whole job
    double cpu = 0;    // its processor time
    double verify = 0; // its ffprobe runs
    int verifyRuns = 0;
};

// One MP4-only request through the job in `app`, into a folder of its own.
Timing encodeOnce(const TestAppDir &app, const QString &clip, const QString &outDir)
{
    QDir().mkpath(outDir);
    encode::Request request = sampleRequest(app.path(), clip, outDir + QLatin1Char('/'));
    request.flv = 0;
    request.askToOpenFolder = false;
    ScriptedPrompts prompts;
    TimedRunner runner;
    const double cpu = processorSeconds();
    QElapsedTimer clock;
    clock.start();
    const encode::JobResult result = encode::runEncodeJob(request, prompts, runner);
    Timing t{double(clock.nsecsElapsed()) / 1e9, processorSeconds() - cpu,
             runner.seconds.value(QStringLiteral("verify")), runner.runs.value(QStringLiteral("verify"))};
    if (!result.allMade() || result.outputs.size() != 1 || !prompts.records().isEmpty())
        fail("the encode job did not make the MP4");
    QDir(outDir).removeRecursively();
    return t;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int pairs = argc > 1 ? std::max(1, atoi(argv[1])) : 1;
    TestAppDir with, without;
    QFile::remove(without.file(QStringLiteral("engine/ffprobe")));
    if (!QFileInfo(with.file(QStringLiteral("engine/ffprobe"))).isExecutable()
        || QFileInfo::exists(without.file(QStringLiteral("engine/ffprobe"))))
        fail("could not lay out the application folders");

    QTemporaryDir work;
    const QString clip = work.filePath(QStringLiteral("clip.avi"));
    std::printf("making a 30-second 1280x720 clip...\n");
    std::fflush(stdout);
    if (!runFfmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                    QStringLiteral("testsrc2=size=1280x720:rate=25"), QStringLiteral("-f"),
                    QStringLiteral("lavfi"), QStringLiteral("-i"),
                    QStringLiteral("sine=frequency=440:sample_rate=44100"), QStringLiteral("-t"),
                    QStringLiteral("30"), QStringLiteral("-c:v"), QStringLiteral("mpeg4"),
                    QStringLiteral("-q:v"), QStringLiteral("3"), QStringLiteral("-c:a"),
                    QStringLiteral("pcm_s16le"), clip}))
        fail("could not make the clip");

    Timing plain, verified;
    for (int i = 0; i < pairs; ++i) {
        Timing a, b;
        const QString out = work.filePath(QStringLiteral("out%1").arg(i));
        if (i % 2 == 0) {
            a = encodeOnce(without, clip, out);
            b = encodeOnce(with, clip, out);
        } else {
            b = encodeOnce(with, clip, out);
            a = encodeOnce(without, clip, out);
        }
        std::printf("pair %d: without ffprobe %.2f s, with ffprobe %.2f s (%d ffprobe runs, %.3f s)\n", i + 1,
                    a.wall, b.wall, b.verifyRuns, b.verify);
        std::fflush(stdout);
        plain.wall += a.wall;
        verified.wall += b.wall;
        plain.cpu += a.cpu;
        verified.cpu += b.cpu;
        verified.verify += b.verify;
        verified.verifyRuns += b.verifyRuns;
    }
    std::printf("MP4 of a 30 s 1280x720 clip, %d pair(s): without verification %.2f s, with %.2f s\n", pairs,
                plain.wall, verified.wall);
    std::printf("ratio of wall times (with / without): %.3f (aim: at most 1.02)\n",
                verified.wall / plain.wall);
    std::printf("ratio of processor times (with / without): %.3f (%.2f s / %.2f s)\n",
                verified.cpu / plain.cpu, verified.cpu, plain.cpu);
    // The same cost from the ffprobe runs alone, which the noise of the
    // encoder's own time does not blur.
    std::printf("ffprobe runs alone: %d in %.3f s; (without + them) / without: %.3f\n", verified.verifyRuns,
                verified.verify, (plain.wall + verified.verify) / plain.wall);
    return 0;
}
