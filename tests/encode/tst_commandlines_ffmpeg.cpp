// The command lines against the real tools: each command is split the way
// the runner splits it, started without a shell from the application folder,
// and its output checked with ffprobe.
#include "common/mdlMain.h"
#include "encode/outputnames.h"
#include "encode/commandlines.h"
#include "common/cmdline.h"
#include "support/testappdir.h"
#include "support/testprogram.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace commandlines;

namespace {

// Runs one command text as the runner does: first argument the program, the
// rest its arguments, the application folder as working directory.
bool runCommand(const QString &command, const QString &workingDirectory, QString *output)
{
    QStringList args = cmdline::splitCommandLine(command);
    if (args.isEmpty())
        return false;
    QProcess p;
    p.setWorkingDirectory(workingDirectory);
    p.setProcessChannelMode(QProcess::MergedChannels);
    const QString program = args.takeFirst();
    p.start(program, args);
    p.closeWriteChannel();
    const bool finished = p.waitForFinished(600000);
    *output = QStringLiteral("%1 %2\n").arg(program, args.join(QLatin1Char('|'))) + QString::fromLocal8Bit(p.readAll());
    return finished && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

#define RUN(command, folder)                                                                       \
    do {                                                                                           \
        QString out_;                                                                              \
        QVERIFY2(runCommand((command), (folder), &out_), qPrintable(out_.right(3000)));           \
    } while (0)

// A copy of the application folder, links kept as links.
void copyFolder(const QString &from, const QString &to)
{
    QDir().mkpath(to);
    QDirIterator it(from, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        const QString target = to + QLatin1Char('/') + info.fileName();
        if (info.isSymLink())
            QFile::link(info.symLinkTarget(), target);
        else if (info.isDir())
            copyFolder(info.filePath(), target);
        else
            QFile::copy(info.filePath(), target);
    }
}

// The values as the main window would hold them after choosing this source
// and output folder.
EncodeValues valuesFor(const QString &appFolder, const QString &source, const QString &outputFolder)
{
    EncodeValues v;
    v.appFolder = appFolder;
    v.appFolderShort = mdlMain::GetShortPath(appFolder);
    v.sourcePath = source;
    v.outputFolder = outputFolder;
    const QString base = selection::baseName(selection::nameParts(selection::fileTitle(source)));
    v.flvName = base + QStringLiteral(".flv");
    v.mp4Name = base + QStringLiteral(".mp4");
    v.webmName = base + QStringLiteral(".webm");
    v.videoBitrate = QStringLiteral("300");
    v.audioBitrate = QStringLiteral("64");
    v.sampleRate = QStringLiteral("22050");
    v.frameRate = QStringLiteral("Auto");
    v.frameMinute = QStringLiteral("00");
    v.frameSecond = QStringLiteral("01");
    return v;
}


} // namespace

class TestCommandLinesFfmpeg : public QObject
{
    Q_OBJECT

private slots:
    // Every output kind with resize, a frame rate, option files and a filter
    // text, from a source whose path holds blanks, quotes and "$".
    void everyFormat()
    {
        TestAppDir dir;
        QTemporaryDir tmp;
        QDir().mkpath(tmp.path() + QStringLiteral("/my clips"));
        QDir().mkpath(tmp.path() + QStringLiteral("/out $PWD \"x\""));
        const QString source = tmp.path() + QStringLiteral("/my clips/a \"quoted\" $HOME clip.v1.avi");
        QVERIFY(makeClip(source, 3));
        dir.writeFile(QStringLiteral("config/configx264v1.txt"), "-g 30\n\n-bf 2\n");
        dir.writeFile(QStringLiteral("config/configx264v2.txt"), "-profile:v baseline\r\n");

        EncodeValues v = valuesFor(dir.path(), source, tmp.path() + QStringLiteral("/out $PWD \"x\"/"));
        QCOMPARE(v.flvName, QStringLiteral("a \"quoted\" $HOME clip.flv"));
        v.originalWindowSize = false;
        v.windowSize = QStringLiteral("160x120 4:3 Tiny");
        v.frameRate = QStringLiteral("15");
        v.watermark = true;
        v.watermarkFilter = QStringLiteral(" -vf \"drawbox=x=0:y=0:w=16:h=16:color=red:t=fill\"");
        const OptionPieces p = optionPieces(v);

        RUN(flvCommand(v, p, extraOptions(v, OptionFile::Flv)), dir.path());
        const QString flv = flvOutputPath(v);
        QCOMPARE(probeStreams(flv), (QStringList{QStringLiteral("video:h264"), QStringLiteral("audio:aac")}));
        QCOMPARE(probeValue(flv, QStringLiteral("stream=width,height"), QStringLiteral("v:0")),
                 QStringLiteral("160\n120"));
        QCOMPARE(probeValue(flv, QStringLiteral("stream=r_frame_rate"), QStringLiteral("v:0")), QStringLiteral("15/1"));
        QCOMPARE(probeValue(flv, QStringLiteral("stream=sample_rate"), QStringLiteral("a:0")), QStringLiteral("22050"));

        RUN(mp4Command(v, p, extraOptions(v, OptionFile::Mp4)), dir.path());
        const QString mp4 = mp4OutputPath(v);
        QCOMPARE(probeStreams(mp4), (QStringList{QStringLiteral("video:h264"), QStringLiteral("audio:aac")}));
        // The option file's line reached the encoder.
        QCOMPARE(probeValue(mp4, QStringLiteral("stream=profile"), QStringLiteral("v:0")),
                 QStringLiteral("Constrained Baseline"));
        QCOMPARE(probeValue(mp4, QStringLiteral("stream=channels"), QStringLiteral("a:0")), QStringLiteral("2"));

        // The faststart tool rewrites the renamed MP4 under its own name.
        QVERIFY(!moovBeforeMdat(mp4));
        QVERIFY(QFile::rename(mp4, mp4TempPath(v)));
        RUN(faststartCommand(v), dir.path());
        QVERIFY(moovBeforeMdat(mp4));
        QCOMPARE(probeStreams(mp4), (QStringList{QStringLiteral("video:h264"), QStringLiteral("audio:aac")}));

        RUN(webmCommand(v, p), dir.path());
        const QString webm = webmOutputPath(v);
        QCOMPARE(probeStreams(webm), (QStringList{QStringLiteral("video:vp8"), QStringLiteral("audio:vorbis")}));
        QCOMPARE(probeValue(webm, QStringLiteral("stream=width,height"), QStringLiteral("v:0")),
                 QStringLiteral("160\n120"));

        RUN(stillImageCommand(v, p), dir.path());
        const QString image = stillImagePath(v);
        QCOMPARE(QFileInfo(image).fileName(), QStringLiteral("a \"quoted\" $HOME clip.jpg"));
        QCOMPARE(probeStreams(image), QStringList{QStringLiteral("video:mjpeg")});
        QCOMPARE(probeValue(image, QStringLiteral("stream=width,height")), QStringLiteral("160\n120"));

        // The source is untouched.
        QCOMPARE(probeValue(source, QStringLiteral("stream=width"), QStringLiteral("v:0")), QStringLiteral("320"));
    }

    // A program installed under a folder with a blank still runs its tools.
    void applicationFolderWithBlank()
    {
        QTemporaryDir tmp(QDir::tempPath() + QStringLiteral("/vidlark app XXXXXX"));
        QVERIFY(tmp.isValid());
        const QString appFolder = tmp.path() + QStringLiteral("/Web Video Encoder");
        copyFolder(buildAppDir(), appFolder);
        QVERIFY(QFileInfo(appFolder + QStringLiteral("/engine/ffmpeg")).isExecutable());
        const QString source = tmp.path() + QStringLiteral("/clip.avi");
        QVERIFY(makeClip(source, 3));

        EncodeValues v = valuesFor(appFolder, source, tmp.path() + QLatin1Char('/'));
        v.originalWindowSize = true;
        v.mp4Name = QStringLiteral("clip out.mp4");
        const OptionPieces p = optionPieces(v);
        const QString still = stillImageCommand(v, p);
        QVERIFY2(still.startsWith(QLatin1Char('"') + appFolder + QStringLiteral("\"/engine/ffmpeg -i ")), qPrintable(still));

        RUN(still, appFolder);
        QCOMPARE(probeValue(stillImagePath(v), QStringLiteral("stream=width,height")), QStringLiteral("320\n240"));

        RUN(mp4Command(v, p, extraOptions(v, OptionFile::Mp4)), appFolder);
        QVERIFY(QFile::rename(mp4OutputPath(v), mp4TempPath(v)));
        RUN(faststartCommand(v), appFolder);
        QVERIFY(moovBeforeMdat(mp4OutputPath(v)));
        QCOMPARE(probeStreams(mp4OutputPath(v)),
                 (QStringList{QStringLiteral("video:h264"), QStringLiteral("audio:aac")}));
        QCOMPARE(probeValue(mp4OutputPath(v), QStringLiteral("stream=width"), QStringLiteral("v:0")),
                 QStringLiteral("320"));
    }
};

QTEST_GUILESS_MAIN(TestCommandLinesFfmpeg)
#include "tst_commandlines_ffmpeg.moc"
