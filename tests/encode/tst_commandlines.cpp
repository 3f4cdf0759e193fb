// The encoder command lines, piece by piece and blank by blank; the output
// names a source gives; the HTML5 video tag.
#include "common/errors.h"
#include "encode/commandlines.h"
#include "encode/outputnames.h"
#include "encode/videotag.h"
#include "support/fixture.h"

#include <QTest>

using namespace commandlines;

class TestCommandLines : public QObject
{
    Q_OBJECT

    TestAppDir m_app;

    Request request() const { return sampleRequest(m_app.path(), "/v/my clip.avi", "/out/"); }

private slots:
    void commands_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("command");
        const QString x264 = " -minrate 500k -maxrate 500k -bufsize 500k";
        QTest::newRow("flv")
            << ""
            << "flv"
            << "APP/engine/ffmpeg  -y -i  \"/v/my clip.avi\" -f flv -acodec aac -strict experimental -ab 96k"
               " -ar 22050 -ac 2  -vcodec libx264 -b:v 500k -r 25"
                + x264
                + " -coder 1 -flags +loop -cmp +chroma -partitions"
                  " +parti4x4+parti8x8+partp8x8+partb8x8  \"/out/clip.flv\"";
        QTest::newRow("mp4") << ""
                             << "mp4"
                             << "APP/engine/ffmpeg  -y -i  \"/v/my clip.avi\" -f mp4 -acodec aac -strict "
                                "experimental -ar 22050"
                                " -ab 96k  -ac 2  -vcodec libx264 -b:v 500k -r 25"
                + x264
                + " -coder 0 -flags +loop+mv4 -cmp 256 -partitions +parti4x4+partp8x8+partb8x8  "
                  "\"/out/clip.mp4\"";
        QTest::newRow("faststart") << ""
                                   << "faststart"
                                   << "APP/ma \"/out/clip.mp4.temp\" \"/out/clip.mp4\"";
        QTest::newRow("webm, never a frame rate")
            << ""
            << "webm"
            << "APP/engine/ffmpeg  -y -i  \"/v/my clip.avi\"  -f webm -acodec libvorbis  -ac 2  -ab 96k -ar "
               "22050 -vcodec "
               "libvpx -b:v 500k -quality good -cpu-used 0 -qmin 10 -qmax 42"
                + x264 + " \"/out/clip.webm\"";
        QTest::newRow("still image, time as typed")
            << "minute=5 second=7"
            << "still"
            << "APP/engine/ffmpeg -i \"/v/my clip.avi\" -ss 00:5:7.000 -vframes 1 \"/out/clip.jpg\"";
        QTest::newRow("still image resized, named after the FLV name")
            << "resize flvName=movie.video"
            << "still"
            << "APP/engine/ffmpeg -i \"/v/my clip.avi\" -s 640x480 -ss 00:00:30.000 -vframes 1 "
               "\"/out/movie.v.jpg\"";
        QTest::newRow("resize, Auto, option lines and a watermark")
            << "resize frameRate=Auto options watermark"
            << "flv"
            << "APP/engine/ffmpeg  -y -i  \"/v/my clip.avi\" -f flv -acodec aac -strict experimental -ab 96k "
               "-ar 22050 -ac 2 "
               " -vcodec libx264 -b:v 500k -s 640x480"
                + x264
                + " -coder 1 -flags +loop -cmp +chroma -partitions +parti4x4+parti8x8+partp8x8+partb8x8  a  "
                  "b -vf "
                  "\"x\" \"/out/clip.flv\"";
        QTest::newRow("a window size starting with a blank")
            << "resize windowSize= 1x1"
            << "still"
            << "APP/engine/ffmpeg -i \"/v/my clip.avi\" -s  -ss 00:00:30.000"
               " -vframes 1 \"/out/clip.jpg\"";
    }
    void commands()
    {
        QFETCH(QString, settings);
        QFETCH(QString, kind);
        QFETCH(QString, command);
        Request r = request();
        m_app.writeFile("config/configx264v1.txt", settings.contains("options") ? "a\r\n\r\nb\r\n" : "");
        for (const QString &s : settings.split(' ', Qt::SkipEmptyParts)) {
            const QString value = s.section('=', 1);
            if (s == "resize")
                r.originalWindowSize = false, r.windowSize = "640x480 4:3 VGA";
            else if (s == "watermark")
                r.watermark = 1, r.watermarkFilter = " -vf \"x\"";
            else if (s.startsWith("minute="))
                r.minute = value;
            else if (s.startsWith("second="))
                r.second = value;
            else if (s.startsWith("frameRate="))
                r.frameRate = value;
            else if (s.startsWith("flvName="))
                r.flvName = value;
            else if (s.startsWith("windowSize="))
                r.windowSize = " 1x1";
        }
        const OptionPieces p = optionPieces(r);
        const QString built = kind == "flv" ? flvCommand(r, p)
            : kind == "mp4"                 ? mp4Command(r, p)
            : kind == "webm"                ? webmCommand(r, p)
            : kind == "still"               ? stillImageCommand(r, p)
                                            : faststartCommand(r);
        QCOMPARE(QString(built).replace(m_app.path(), "APP"), command);
    }

    // The folder goes into the command as it is, quoted only when it must.
    void folderWithABlank()
    {
        Request r = request();
        QTemporaryDir parent;
        r.appFolder = parent.filePath("my apps");
        QDir().mkpath(r.appFolder);
        QCOMPARE(faststartCommand(r).section(' ', 0, 1), "\"" + r.appFolder + "\"/ma");
    }

    void outputNames_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("names"); // folderPart|fileTitle|baseName|FLV name
        QTest::newRow("plain") << "/v/clip.avi"
                               << "/o/"
                               << "/v/|clip.avi|clip|clip.flv";
        QTest::newRow("a name that is the source") << "/v/clip.flv"
                                                   << "/v/"
                                                   << "/v/|clip.flv|clip|conv_clip.flv";
        QTest::newRow("the same in another case") << "/v/Clip.FLV"
                                                  << "/v/"
                                                  << "/v/|Clip.FLV|Clip|conv_Clip.flv";
    }
    void outputNames()
    {
        QFETCH(QString, source);
        QFETCH(QString, folder);
        QFETCH(QString, names);
        using namespace outputnames;
        const QString base = baseName(nameParts(fileTitle(source)));
        QCOMPARE(QStringList(
                     {folderPart(source), fileTitle(source), base, outputName(folder, base + ".flv", source)})
                     .join('|'),
                 names);
        QCOMPARE(runtimeErrorOf([] { baseName(nameParts(QString())); }), rt::SubscriptOutOfRange);
    }

    // Another name of the source (a link) is the source too.
    void outputReachingTheSourceThroughALink()
    {
        QTemporaryDir dir;
        writeFileBytes(dir.filePath("clip.flv"), "x");
        QFile::link(dir.filePath("clip.flv"), dir.filePath("other.flv"));
        QCOMPARE(outputnames::outputName(dir.path() + "/", "other.flv", dir.filePath("clip.flv")),
                 "conv_other.flv");
        QCOMPARE(outputnames::outputName(dir.path() + "/", "new.flv", dir.filePath("clip.flv")), "new.flv");
    }

    void videoTag_data()
    {
        QTest::addColumn<QString>("webm");
        QTest::addColumn<QString>("mp4");
        QTest::addColumn<QString>("still");
        QTest::addColumn<QString>("tag");
        QTest::newRow("everything")
            << "/o/a b.webm"
            << "/o/sub/a&b.mp4"
            << "/o/a.jpg"
            << "<video controls preload=\"metadata\" playsinline width=\"320\" height=\"240\" "
               "poster=\"a.jpg\">\n"
               "  <source src=\"a%20b.webm\" type='video/webm; codecs=\"vp8, vorbis\"'>\n"
               "  <source src=\"sub/a&amp;b.mp4\" type=\"video/mp4\">\n"
               "  <track kind=\"captions\" src=\"a.vtt\" label=\"Captions\" srclang=\"pt-BR\" default>\n"
               "  Your browser cannot play this video. <a href=\"sub/a&amp;b.mp4\">Download it</a>.\n"
               "</video>\n";
    }
    void videoTag()
    {
        QFETCH(QString, webm);
        QFETCH(QString, mp4);
        QFETCH(QString, still);
        QFETCH(QString, tag);
        videotag::Made made;
        made.outDir = "/o/";
        made.webm = webm;
        made.mp4 = mp4;
        made.stillImage = still;
        made.captions = "/o/a.vtt";
        made.captionsLanguage = "pt-BR";
        made.size =
            videotag::videoSizeFromProbe("  Stream #0:0: Video: vp8, yuv420p(tv), 320x240, SAR 1:1 DAR 4:3");
        made.webmCodecs = "vp8, vorbis";
        QVERIFY(videotag::hasVideo(made));
        QCOMPARE(videotag::html5VideoTag(made), tag);
        QVERIFY(!videotag::videoSizeFromProbe("Stream #0:1: Audio: aac, 44100 Hz").isValid());
    }
};

QTEST_MAIN(TestCommandLines)
#include "tst_commandlines.moc"
