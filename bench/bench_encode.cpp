// How much the program's own run path adds to an encode: the same FLV
// command run through the progress window and started directly, alternating,
// on a 30-second 720p clip. Prints the ratio of wall times and the program's
// peak memory. Run with: make bench (or build/bench/bench_encode [runs]).
#include "app/frmMain.h"
#include "app/loggingprompts.h"
#include "common/mdlMain.h"
#include "app/ui_forms.h"
#include "encode/commandlines.h"
#include "common/cmdline.h"
#include "support/testappdir.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

static long peakRssKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 3;

    QTemporaryDir work;
    TestAppDir dir;
    const QString clip = work.filePath("clip720.avi");
    std::printf("making a 30-second 720p clip...\n");
    std::fflush(stdout);
    if (!runFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=1280x720:rate=25", "-f", "lavfi", "-i",
                    "sine=frequency=440:sample_rate=44100", "-t", "30", "-c:v", "mpeg4", "-q:v", "3", "-c:a",
                    "pcm_s16le", clip})) {
        std::printf("could not make the clip\n");
        return 1;
    }

    commandlines::EncodeValues v;
    v.appFolder = dir.path();
    v.appFolderShort = mdlMain::GetShortPath(dir.path());
    v.sourcePath = clip;
    v.outputFolder = work.path() + QLatin1Char('/');
    v.flvName = QStringLiteral("out.flv");
    v.videoBitrate = QStringLiteral("1500");
    v.frameRate = QStringLiteral("25");
    v.audioBitrate = QStringLiteral("96");
    v.sampleRate = QStringLiteral("22050");
    const auto pieces = commandlines::optionPieces(v);
    const QString command = commandlines::flvCommand(
        v, pieces, commandlines::extraOptions(v, commandlines::OptionFile::Flv));
    const QStringList args = cmdline::splitCommandLine(command);

    LoggingPrompts prompts(work.filePath(QStringLiteral("prompts.log")), mdlMain::vbNo);
    Forms forms(prompts, dir.path());
    forms.splashMilliseconds = 1;
    forms.endProgram = [] {};
    frmMain window(forms);
    window.Form_Load();

    const long baseline = peakRssKiB();
    double ours = 0, direct = 0;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        mdlMain::strCommandLine = command;
        mdlMain::intEncodeKind = 1;
        forms.showProgressModal();
        mdlMain::intEncodeKind = 0;
        const double a = t.elapsed() / 1000.0;
        ours += a;

        t.restart();
        QProcess p;
        p.setWorkingDirectory(dir.path());
        p.setStandardOutputFile(QProcess::nullDevice());
        p.setStandardErrorFile(QProcess::nullDevice());
        p.start(args.first(), args.mid(1));
        p.waitForFinished(-1);
        const double b = t.elapsed() / 1000.0;
        direct += b;
        std::printf("run %d: through the program %.2f s, direct %.2f s\n", i + 1, a, b);
        std::fflush(stdout);
    }
    std::printf("ratio of wall times (program / direct): %.3f\n", ours / direct);
    std::printf("peak memory of the program: %ld KiB (%ld KiB before the runs)\n", peakRssKiB(), baseline);
    return 0;
}
