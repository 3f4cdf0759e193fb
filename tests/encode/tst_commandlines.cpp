// The encoder command lines, byte for byte: every blank, the doubled blanks
// where pieces meet, the quoting of paths and the failures of the builders.
#include "common/errors.h"
#include "encode/commandlines.h"
#include "common/cmdline.h"
#include "support/testappdir.h"
#include "support/testprogram.h"

#include <QFile>
#include <QTest>

using namespace commandlines;

namespace {

EncodeValues sample()
{
    EncodeValues v;
    v.appFolder = QStringLiteral("/opt/vidlark");
    v.appFolderShort = QStringLiteral("/opt/vidlark");
    v.sourcePath = QStringLiteral("/home/ann/clips/holiday.2012.avi");
    v.outputFolder = QStringLiteral("/home/ann/out/");
    v.flvName = QStringLiteral("holiday.flv");
    v.mp4Name = QStringLiteral("holiday.mp4");
    v.webmName = QStringLiteral("holiday.webm");
    v.originalWindowSize = false;
    v.windowSize = QStringLiteral("640x480 4:3 VGA");
    v.videoBitrate = QStringLiteral("500");
    v.frameRate = QStringLiteral("25");
    v.audioBitrate = QStringLiteral("96");
    v.sampleRate = QStringLiteral("22050");
    v.frameMinute = QStringLiteral("00");
    v.frameSecond = QStringLiteral("30");
    return v;
}

const QString wmFilter = QStringLiteral(" -vf \"drawtext=fontfile=arial.ttf:text='(c) Ann':x=10:y=10\"");


} // namespace

class TestCommandLines : public QObject
{
    Q_OBJECT

private slots:
    // The five commands with resize, a frame rate and extra options.
    void fullCommands()
    {
        const EncodeValues v = sample();
        const OptionPieces p = optionPieces(v);
        QCOMPARE(flvCommand(v, p, QStringLiteral(" a  b")),
                 QStringLiteral("/opt/vidlark/engine/ffmpeg  -y -i  \"/home/ann/clips/holiday.2012.avi\" -f flv "
                                "-acodec aac -strict experimental -ab 96k -ar 22050 -ac 2  -vcodec libx264 -b:v 500k "
                                "-s 640x480 -r 25 -minrate 500k -maxrate 500k -bufsize 500k -coder 1 -flags +loop "
                                "-cmp +chroma -partitions +parti4x4+parti8x8+partp8x8+partb8x8  a  b "
                                "\"/home/ann/out/holiday.flv\""));
        QCOMPARE(mp4Command(v, p, QStringLiteral(" -threads 2")),
                 QStringLiteral("/opt/vidlark/engine/ffmpeg  -y -i  \"/home/ann/clips/holiday.2012.avi\" -f mp4 "
                                "-acodec aac -strict experimental -ar 22050 -ab 96k  -ac 2  -vcodec libx264 -b:v 500k "
                                "-s 640x480 -r 25 -minrate 500k -maxrate 500k -bufsize 500k -coder 0 -flags +loop+mv4 "
                                "-cmp 256 -partitions +parti4x4+partp8x8+partb8x8  -threads 2 "
                                "\"/home/ann/out/holiday.mp4\""));
        QCOMPARE(faststartCommand(v),
                 QStringLiteral("/opt/vidlark/ma \"/home/ann/out/holiday.mp4.temp\" \"/home/ann/out/holiday.mp4\""));
        QCOMPARE(webmCommand(v, p),
                 QStringLiteral("/opt/vidlark/engine/ffmpeg  -y -i  \"/home/ann/clips/holiday.2012.avi\"  -f webm "
                                "-acodec libvorbis  -ac 2  -ab 96k -ar 22050 -vcodec libvpx -b:v 500k -s 640x480 "
                                "-quality good -cpu-used 0 -qmin 10 -qmax 42 -minrate 500k -maxrate 500k -bufsize 500k "
                                "\"/home/ann/out/holiday.webm\""));
        QCOMPARE(stillImageCommand(v, p),
                 QStringLiteral("/opt/vidlark/engine/ffmpeg -i \"/home/ann/clips/holiday.2012.avi\" -s 640x480 "
                                "-ss 00:00:30.000 -vframes 1 \"/home/ann/out/holiday.jpg\""));
    }

    // Original size and "Auto": no -s and no -r anywhere; the bitrate text
    // meets the rate limits directly; empty extras give two blanks before
    // the output's quote.
    void originalSizeAutoRateEmptyExtras()
    {
        EncodeValues v = sample();
        v.originalWindowSize = true;
        v.windowSize.clear(); // not read while keeping the size
        v.frameRate = QStringLiteral("Auto");
        const OptionPieces p = optionPieces(v);
        QVERIFY(p.sizeOption.isEmpty());
        QVERIFY(p.frameRateOption.isEmpty());
        QCOMPARE(flvCommand(v, p, QString()),
                 QStringLiteral("/opt/vidlark/engine/ffmpeg  -y -i  \"/home/ann/clips/holiday.2012.avi\" -f flv "
                                "-acodec aac -strict experimental -ab 96k -ar 22050 -ac 2  -vcodec libx264 -b:v 500k "
                                "-minrate 500k -maxrate 500k -bufsize 500k -coder 1 -flags +loop -cmp +chroma "
                                "-partitions +parti4x4+parti8x8+partp8x8+partb8x8  \"/home/ann/out/holiday.flv\""));
        QCOMPARE(mp4Command(v, p, QString()),
                 QStringLiteral("/opt/vidlark/engine/ffmpeg  -y -i  \"/home/ann/clips/holiday.2012.avi\" -f mp4 "
                                "-acodec aac -strict experimental -ar 22050 -ab 96k  -ac 2  -vcodec libx264 -b:v 500k "
                                "-minrate 500k -maxrate 500k -bufsize 500k -coder 0 -flags +loop+mv4 -cmp 256 "
                                "-partitions +parti4x4+partp8x8+partb8x8  \"/home/ann/out/holiday.mp4\""));
        QCOMPARE(webmCommand(v, p),
                 QStringLiteral("/opt/vidlark/engine/ffmpeg  -y -i  \"/home/ann/clips/holiday.2012.avi\"  -f webm "
                                "-acodec libvorbis  -ac 2  -ab 96k -ar 22050 -vcodec libvpx -b:v 500k -quality good "
                                "-cpu-used 0 -qmin 10 -qmax 42 -minrate 500k -maxrate 500k -bufsize 500k "
                                "\"/home/ann/out/holiday.webm\""));
        QCOMPARE(stillImageCommand(v, p),
                 QStringLiteral("/opt/vidlark/engine/ffmpeg -i \"/home/ann/clips/holiday.2012.avi\" -ss 00:00:30.000 "
                                "-vframes 1 \"/home/ann/out/holiday.jpg\""));
    }

    void pieces_data()
    {
        QTest::addColumn<QString>("frameRate");
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("sizeOption");
        QTest::addColumn<QString>("rateOption");
        QTest::newRow("Auto is no rate") << "Auto" << "320x240 4:3 Small" << " -s 320x240" << "";
        QTest::newRow("auto is a rate") << "auto" << "320x240" << " -s 320x240" << " -r auto";
        QTest::newRow("AUTO is a rate") << "AUTO" << "320x240" << " -s 320x240" << " -r AUTO";
        QTest::newRow("decimal rate") << "29.97" << "1280x720 16:9 HD 720p" << " -s 1280x720" << " -r 29.97";
        QTest::newRow("leading blank") << "25" << " 320x240 small" << " -s " << " -r 25";
        QTest::newRow("two blanks") << "25" << "320x240  small" << " -s 320x240" << " -r 25";
    }
    void pieces()
    {
        QFETCH(QString, frameRate);
        QFETCH(QString, window);
        EncodeValues v = sample();
        v.frameRate = frameRate;
        v.windowSize = window;
        const OptionPieces p = optionPieces(v);
        QTEST(p.sizeOption, "sizeOption");
        QTEST(p.frameRateOption, "rateOption");
        // Whatever the rate, WebM never carries it; FLV and MP4 carry it
        // right after the size option.
        QVERIFY(!webmCommand(v, p).contains(QStringLiteral(" -r ")));
        const QString sizeAndRate = p.sizeOption + p.frameRateOption + QStringLiteral(" -minrate 500k");
        QVERIFY(flvCommand(v, p, QString()).contains(QStringLiteral("-b:v 500k") + sizeAndRate));
        QVERIFY(mp4Command(v, p, QString()).contains(QStringLiteral("-b:v 500k") + sizeAndRate));
        QVERIFY(webmCommand(v, p).contains(QStringLiteral("-b:v 500k") + p.sizeOption + QStringLiteral(" -quality")));
    }

    void stillImage_data()
    {
        QTest::addColumn<QString>("flvName");
        QTest::addColumn<QString>("minute");
        QTest::addColumn<QString>("second");
        QTest::addColumn<QString>("imagePath");
        QTest::addColumn<QString>("time");
        QTest::newRow("clip.flv") << "clip.flv" << "00" << "30" << "/home/ann/out/clip.jpg" << "00:00:30.000";
        QTest::newRow("movie.video") << "movie.video" << "1" << "5" << "/home/ann/out/movie.v.jpg" << "00:1:5.000";
        QTest::newRow("as typed") << "clip.flv" << "5" << "7" << "/home/ann/out/clip.jpg" << "00:5:7.000";
        QTest::newRow("four characters") << "clip" << "59" << "59" << "/home/ann/out/.jpg" << "00:59:59.000";
    }
    void stillImage()
    {
        QFETCH(QString, flvName);
        QFETCH(QString, imagePath);
        QFETCH(QString, time);
        EncodeValues v = sample();
        v.flvName = flvName;
        QFETCH(QString, minute);
        QFETCH(QString, second);
        v.frameMinute = minute;
        v.frameSecond = second;
        QCOMPARE(stillImagePath(v), imagePath);
        const QString command = stillImageCommand(v, optionPieces(v));
        QVERIFY2(command.endsWith(QStringLiteral(" -s 640x480 -ss ") + time + QStringLiteral(" -vframes 1 \"")
                                  + imagePath + QLatin1Char('"')),
                 qPrintable(command));
    }

    // Watermarking appends the filter text after the extra options of FLV
    // and MP4 and alone in WebM; without it the filter text is left out.
    void watermarkFilter()
    {
        TestAppDir dir;
        dir.writeFile(QStringLiteral("config/configx264v1.txt"), "-level 30\n");
        dir.writeFile(QStringLiteral("config/configx264v2.txt"), "-threads 1\r\n-refs 2\r\n");
        EncodeValues v = sample();
        v.appFolder = dir.path();
        v.watermarkFilter = wmFilter;

        v.watermark = false;
        QCOMPARE(extraOptions(v, OptionFile::Flv), QStringLiteral(" -level 30"));
        QCOMPARE(extraOptions(v, OptionFile::Mp4), QStringLiteral(" -threads 1 -refs 2"));
        QVERIFY(!webmCommand(v, optionPieces(v)).contains(QStringLiteral(" -vf ")));

        v.watermark = true;
        QCOMPARE(extraOptions(v, OptionFile::Flv), QStringLiteral(" -level 30") + wmFilter);
        QCOMPARE(extraOptions(v, OptionFile::Mp4), QStringLiteral(" -threads 1 -refs 2") + wmFilter);
        const OptionPieces p = optionPieces(v);
        QVERIFY(flvCommand(v, p, extraOptions(v, OptionFile::Flv))
                    .endsWith(QStringLiteral("partb8x8  -level 30") + wmFilter + QStringLiteral(" \"/home/ann/out/holiday.flv\"")));
        QVERIFY(webmCommand(v, p).endsWith(QStringLiteral("-bufsize 500k") + wmFilter
                                           + QStringLiteral(" \"/home/ann/out/holiday.webm\"")));
        // The still image takes no watermark.
        QVERIFY(!stillImageCommand(v, p).contains(QStringLiteral(" -vf ")));
    }

    void optionFileLines_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("extra");
        QTest::newRow("a, empty, b") << QByteArray("a\n\nb\n") << " a  b";
        QTest::newRow("a, empty, b with CR LF") << QByteArray("a\r\n\r\nb\r\n") << " a  b";
        QTest::newRow("no final line end") << QByteArray("a\n\nb") << " a  b";
        QTest::newRow("empty file") << QByteArray() << "";
        QTest::newRow("one empty line") << QByteArray("\n") << " ";
        QTest::newRow("blanks kept") << QByteArray("  -x 1  \n") << "   -x 1  ";
        QTest::newRow("several options a line") << QByteArray("-bf 3 -refs 4\n-g 250\n") << " -bf 3 -refs 4 -g 250";
    }
    void optionFileLines()
    {
        QFETCH(QByteArray, content);
        TestAppDir dir;
        dir.writeFile(QStringLiteral("config/configx264v1.txt"), content);
        QCOMPARE(optionFilePath(dir.path(), OptionFile::Flv), dir.path() + QStringLiteral("/config/configx264v1.txt"));
        QCOMPARE(optionFilePath(dir.path(), OptionFile::Mp4), dir.path() + QStringLiteral("/config/configx264v2.txt"));
        QTEST(readOptionFile(dir.file(QStringLiteral("config/configx264v1.txt"))), "extra");
    }

    // The shipped option files exist (both must) and the empty ones give the
    // two blanks before the output path.
    void shippedOptionFiles()
    {
        TestAppDir dir;
        EncodeValues v = sample();
        v.appFolder = dir.path();
        const OptionPieces p = optionPieces(v);
        const QString flv = flvCommand(v, p, extraOptions(v, OptionFile::Flv));
        const QString mp4 = mp4Command(v, p, extraOptions(v, OptionFile::Mp4));
        QVERIFY(QFile::exists(dir.file(QStringLiteral("config/configx264v1.txt"))));
        QVERIFY(QFile::exists(dir.file(QStringLiteral("config/configx264v2.txt"))));
        QVERIFY(flv.startsWith(QStringLiteral("/opt/vidlark/engine/ffmpeg  -y -i  ")));
        QVERIFY(mp4.startsWith(QStringLiteral("/opt/vidlark/engine/ffmpeg  -y -i  ")));
    }

    // Failures end the request with the general error numbers.
    void failures()
    {
        TestAppDir dir;
        EncodeValues v = sample();
        v.appFolder = dir.path();
        QFile::remove(dir.file(QStringLiteral("config/configx264v2.txt")));
        QCOMPARE(runtimeErrorOf([&] { extraOptions(v, OptionFile::Mp4); }), rt::FileNotFound);
        QCOMPARE(runtimeErrorOf([&] { extraOptions(v, OptionFile::Flv); }), 0);
        // The option file is read by the full folder, not the short one.
        v.appFolderShort = QStringLiteral("/nowhere");
        QCOMPARE(runtimeErrorOf([&] { extraOptions(v, OptionFile::Flv); }), 0);

        v.windowSize.clear();
        QCOMPARE(runtimeErrorOf([&] { optionPieces(v); }), rt::InvalidProcedureCall);
        v.originalWindowSize = true;
        QCOMPARE(runtimeErrorOf([&] { optionPieces(v); }), 0);

        for (const QString &name : {QString(), QStringLiteral("a"), QStringLiteral("abc")}) {
            v.flvName = name;
            QCOMPARE(runtimeErrorOf([&] { stillImagePath(v); }), rt::InvalidProcedureCall);
            QCOMPARE(runtimeErrorOf([&] { stillImageCommand(v, optionPieces(v)); }), rt::InvalidProcedureCall);
        }
        // A short FLV name only matters for the still image.
        QCOMPARE(runtimeErrorOf([&] { flvCommand(v, optionPieces(v), QString()); }), 0);
    }

    // No arithmetic on bitrates: the text goes in four times unchanged.
    void bitrateTextUsedAsIs()
    {
        EncodeValues v = sample();
        v.videoBitrate = QStringLiteral("1500");
        v.audioBitrate = QStringLiteral("128");
        v.sampleRate = QStringLiteral("44100");
        const OptionPieces p = optionPieces(v);
        for (const QString &c : {flvCommand(v, p, QString()), mp4Command(v, p, QString()), webmCommand(v, p)}) {
            QCOMPARE(c.count(QStringLiteral(" 1500k")), 4);
            QCOMPARE(c.count(QStringLiteral(" -ab 128k")), 1);
            QCOMPARE(c.count(QStringLiteral(" -ar 44100")), 1);
        }
    }

    // Paths that need care still reach the encoder as single, unchanged
    // arguments; the application folder is quoted only when it must be.
    void pathsSplitBack_data()
    {
        QTest::addColumn<QString>("appFolder");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("outFolder");
        QTest::newRow("plain") << "/opt/vidlark" << "/v/clip.avi" << "/v/";
        QTest::newRow("blanks") << "/opt/my apps/vidlark" << "/v/my clip.avi" << "/out dir/";
        QTest::newRow("quotes and dollar") << "/opt/\"q\"/x" << "/v/a \"b\" $HOME `x`.avi" << "/o$USER/\"x\"/";
        QTest::newRow("backslashes") << "/opt/a\\b" << "/v/tail\\" << "/o\\ \\\"/";
        QTest::newRow("tab") << "/opt/a\tb" << "/v/a\tb.avi" << "/o/";
    }
    void pathsSplitBack()
    {
        QFETCH(QString, appFolder);
        QFETCH(QString, source);
        QFETCH(QString, outFolder);
        EncodeValues v = sample();
        v.appFolderShort = appFolder;
        v.sourcePath = source;
        v.outputFolder = outFolder;
        const OptionPieces p = optionPieces(v);
        const QString ffmpeg = appFolder + QStringLiteral("/engine/ffmpeg");

        QStringList args = cmdline::splitCommandLine(flvCommand(v, p, QStringLiteral(" -x  y")));
        QCOMPARE(args.first(), ffmpeg);
        QCOMPARE(args.at(3), source);
        QCOMPARE(args.mid(args.size() - 3), (QStringList{QStringLiteral("-x"), QStringLiteral("y"),
                                                          outFolder + QStringLiteral("holiday.flv")}));
        const QList<std::pair<QString, QString>> commands{{mp4Command(v, p, QString()), "holiday.mp4"},
                                                          {webmCommand(v, p), "holiday.webm"}};
        for (const auto &[command, output] : commands) {
            args = cmdline::splitCommandLine(command);
            QCOMPARE(args.first(), ffmpeg);
            QCOMPARE(args.at(3), source);
            QCOMPARE(args.last(), outFolder + output);
        }
        args = cmdline::splitCommandLine(stillImageCommand(v, p));
        QCOMPARE(args.mid(0, 3), (QStringList{ffmpeg, QStringLiteral("-i"), source}));
        QCOMPARE(args.last(), outFolder + QStringLiteral("holiday.jpg"));
        args = cmdline::splitCommandLine(faststartCommand(v));
        QCOMPARE(args, (QStringList{appFolder + QStringLiteral("/ma"), outFolder + QStringLiteral("holiday.mp4.temp"),
                                    outFolder + QStringLiteral("holiday.mp4")}));

        if (QTest::currentDataTag() == QLatin1String("blanks"))
            QCOMPARE(toolPath(appFolder, QStringLiteral("ma")), QStringLiteral("\"/opt/my apps/vidlark\"/ma"));
    }
};

QTEST_GUILESS_MAIN(TestCommandLines)
#include "tst_commandlines.moc"
