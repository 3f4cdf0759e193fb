// The HTML5 video element for each combination of outputs.
#include "encode/videotag.h"

#include <QFile>
#include <QTest>

using namespace videotag;

class TestVideoTag : public QObject
{
    Q_OBJECT
private slots:
    void combinations()
    {
        Made m;
        m.outDir = "/site/videos/";
        m.size = QSize(640, 360);
        QVERIFY(!hasVideo(m));

        m.mp4 = "/site/videos/clip.mp4";
        QVERIFY(hasVideo(m));
        QCOMPARE(html5VideoTag(m),
                 QStringLiteral("<video controls width=\"640\" height=\"360\">\n"
                                "  <source src=\"clip.mp4\" type=\"video/mp4\">\n"
                                "  Your browser cannot play this video. <a href=\"clip.mp4\">Download it</a>.\n"
                                "</video>\n"));

        m.webm = "/site/videos/clip.webm";
        m.stillImage = "/site/videos/clip.jpg";
        QCOMPARE(html5VideoTag(m),
                 QStringLiteral("<video controls width=\"640\" height=\"360\" poster=\"clip.jpg\">\n"
                                "  <source src=\"clip.webm\" type=\"video/webm\">\n"
                                "  <source src=\"clip.mp4\" type=\"video/mp4\">\n"
                                "  Your browser cannot play this video. <a href=\"clip.mp4\">Download it</a>.\n"
                                "</video>\n"));

        m.mp4.clear();
        m.stillImage.clear();
        const QString webmOnly = html5VideoTag(m);
        QVERIFY(webmOnly.contains("<source src=\"clip.webm\" type=\"video/webm\">"));
        QVERIFY(!webmOnly.contains("video/mp4"));
        QVERIFY(!webmOnly.contains("poster"));
        QVERIFY(webmOnly.contains("<a href=\"clip.webm\">"));
    }

    void namesAreEscaped()
    {
        Made m;
        m.outDir = "/v/";
        m.mp4 = "/v/my \"best\" <clip> & more.mp4";
        const QString tag = html5VideoTag(m);
        QVERIFY2(tag.contains("src=\"my%20%22best%22%20%3Cclip%3E%20&amp;%20more.mp4\""), qPrintable(tag));
        QVERIFY(!tag.contains("width=")); // size unknown
    }

    void sizeFromEncoderOutput()
    {
        QFile f(QStringLiteral(VIDLARK_SOURCE_DIR "/tests/process/data/ffmpeg-flv-with-audio.txt"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(videoSizeFromProbe(QString::fromUtf8(f.readAll())), QSize(640, 360));
        QCOMPARE(videoSizeFromProbe("  Stream #0:0(und): Video: h264 (High) (avc1 / 0x31637661), yuv420p(progressive), "
                                    "1280x720 [SAR 1:1 DAR 16:9], 800 kb/s, 25 fps"),
                 QSize(1280, 720));
        QCOMPARE(videoSizeFromProbe("  Stream #0:0: Audio: aac, 22050 Hz, stereo"), QSize());
    }
};

QTEST_GUILESS_MAIN(TestVideoTag)
#include "tst_videotag.moc"
