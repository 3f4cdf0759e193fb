// What GNU parallel gains and what vidlark-encode costs. Eight generated
// 10-second clips: one vidlark-encode for all of them, one after the other,
// against "parallel -j 2 vidlark-encode ::: ..."; then one clip through
// vidlark-encode against its tool command lines started directly, with the
// same arguments and the same file steps (ratio of wall times; the aim is at
// most 1.02). Prints figures; it tests nothing.
//
// Usage: bench_cli [runs of the ratio, default 3]
#include "support/fixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <cstdlib>

namespace {

// Wall seconds of one program run; the exit status (-1 for a crash) in *status.
double timed(const QString &program, const QStringList &arguments, int *status = nullptr,
             const QString &folder = QString())
{
    QProcess p;
    p.setWorkingDirectory(folder);
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    p.start(program, arguments);
    p.waitForFinished(-1);
    if (status)
        *status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return double(clock.nsecsElapsed()) / 1e9;
}

// The same tool runs without vidlark-encode: ffmpeg as logged; the MP4
// renamed to its ".temp" name before the faststart tool and that removed
// after it, as the job does.
double replay(const QList<QStringList> &runs, const QString &folder)
{
    double seconds = 0;
    for (const QStringList &run : runs) {
        const bool faststart = run.first().endsWith(QLatin1String("/ma"));
        if (faststart) {
            QFile::remove(run.at(1));
            QFile::rename(run.at(2), run.at(1));
        }
        seconds += timed(run.first(), run.mid(1), nullptr, folder);
        if (faststart)
            QFile::remove(run.at(1));
    }
    return seconds;
}

void fail(const char *what)
{
    std::printf("bench_cli: %s\n", what);
    std::exit(1);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
    TestAppDir dir;
    const QString cli = dir.file(QStringLiteral("vidlark-encode"));
    if (!QFile::copy(encodeBinary(), cli)
        || !QFile(cli).setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner))
        fail("could not install vidlark-encode");
    QTemporaryDir work;
    QStringList clips;
    std::printf("making eight 10-second clips...\n");
    std::fflush(stdout);
    for (int i = 1; i <= 8; ++i) {
        clips << work.filePath(QStringLiteral("in/clip%1.avi").arg(i));
        QDir().mkpath(work.filePath(QStringLiteral("in")));
        if (!makeClip(clips.last(), 10))
            fail("could not make the clips");
    }

    // Eight sources, sequential and two at a time.
    int status = 0;
    const double sequential =
        timed(cli, QStringList{QStringLiteral("-o"), work.filePath(QStringLiteral("seq"))} + clips, &status);
    if (status != 0)
        fail("the sequential run failed");
    const double parallel =
        timed(QStringLiteral("parallel"),
              QStringList{QStringLiteral("-j"), QStringLiteral("2"), cli, QStringLiteral("-o"),
                          work.filePath(QStringLiteral("par")), QStringLiteral(":::")}
                  + clips,
              &status);
    if (status != 0)
        fail("the parallel run failed");
    std::printf("8 clips: sequential %.2f s, parallel -j 2 %.2f s (%.2fx faster, %d cores)\n", sequential,
                parallel, sequential / parallel, QThread::idealThreadCount());

    // The command lines the job builds for one clip, logged by stand-ins that
    // hand each run on to the real tool.
    const QString ffmpeg = QFileInfo(buildAppDir() + QStringLiteral("/engine/ffmpeg")).symLinkTarget();
    const QString ma = QFileInfo(buildAppDir() + QStringLiteral("/ma")).symLinkTarget();
    qputenv("FAKE_LOG", QFile::encodeName(work.filePath(QStringLiteral("tools.log"))));
    dir.setTool(QStringLiteral("engine/ffmpeg"), "exec '" + QFile::encodeName(ffmpeg) + "' \"$@\"\n");
    dir.setTool(QStringLiteral("ma"), "exec '" + QFile::encodeName(ma) + "' \"$@\"\n");
    const QStringList one{QStringLiteral("--overwrite"), QStringLiteral("-o"),
                          work.filePath(QStringLiteral("one")), clips.first()};
    timed(cli, one, &status);
    const QList<QStringList> logged = dir.toolLog();
    qunsetenv("FAKE_LOG");
    // From here on the real tools, as the application folder holds them.
    QFile::remove(dir.file(QStringLiteral("engine/ffmpeg")));
    QFile::remove(dir.file(QStringLiteral("ma")));
    if (status != 0 || logged.size() != 3 || !QFile::link(ffmpeg, dir.file(QStringLiteral("engine/ffmpeg")))
        || !QFile::link(ma, dir.file(QStringLiteral("ma"))))
        fail("could not log the command lines");

    double ours = 0, direct = 0;
    for (int i = 0; i < runs; ++i) {
        const double a = timed(cli, one, &status);
        const double b = replay(logged, work.path());
        if (status != 0)
            fail("vidlark-encode failed");
        ours += a;
        direct += b;
        std::printf("run %d: vidlark-encode %.2f s, tools started directly %.2f s\n", i + 1, a, b);
        std::fflush(stdout);
    }
    std::printf("ratio of wall times (vidlark-encode / direct): %.3f (aim: at most 1.02)\n", ours / direct);
    return 0;
}
