// The encoder command lines, piece by piece and blank by blank; the output
// names a source gives; the HTML5 video tag.
#include "common/errors.h"
#include "encode/commandlines.h"
#include "encode/hls.h"
#include "encode/outputnames.h"
#include "encode/videotag.h"
#include "support/fixture.h"

#include <QTest>

#include <numeric>

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
        const QString head =
            "APP/engine/ffmpeg  -y -i  \"/v/my clip.avi\"  -f webm -acodec libopus  -ac 2  -ab 96k -ar "
            "48000 -vcodec ";
        QTest::newRow("vp9 standard: tiles by the source's width") << "vp9 width=1280"
                                                                   << "webm"
                                                                   << head
                + "libvpx-vp9 -crf 33 -b:v 500k -deadline good -cpu-used 4 -row-mt 1 -tile-columns 2 "
                  "\"/out/clip.webm\"";
        QTest::newRow("vp9 fixed bitrate: tiles by the window size") << "vp9 bitrate resize"
                                                                     << "webm"
                                                                     << head + "libvpx-vp9 -b:v 500k" + x264
                + " -s 640x480 -deadline good -cpu-used 4 -row-mt 1 -tile-columns 1 \"/out/clip.webm\"";
        QTest::newRow("av1 small, watermarked")
            << "av1 small watermark"
            << "webm"
            << head + "libsvtav1 -crf 40 -svtav1-params mbr=500 -preset 8 -vf \"x\" \"/out/clip.webm\"";
        QTest::newRow("av1 fixed bitrate: an average")
            << "av1 bitrate"
            << "webm" << head + "libsvtav1 -b:v 500k -preset 8 \"/out/clip.webm\"";
        QTest::newRow("captions")
            << ""
            << "captions"
            << "APP/engine/ffmpeg  -y -i  \"/v/my clip.en.srt\" -f webvtt \"/out/clip.vtt\"";
        QTest::newRow("stream: split once, watermarked, key frames aligned")
            << "width=1280 resize frameRate=12 watermark=[in]drawtext=text=a [out]"
            << "hls"
            << "APP/engine/ffmpeg  -y -i  \"/v/my clip.avi\" -filter_complex "
               "\"[0:v]drawtext=text=a [marked];[marked]split=3[s0][s1][s2];[s0]scale=-2:720[v0];"
               "[s1]scale=-2:480[v1];[s2]scale=-2:360[v2]\" -map [v0] -map [v1] -map [v2] -map 0:a:0 -map "
               "0:a:0 "
               "-map 0:a:0 -c:a aac -ac 2 -c:v libx264 -preset fast -pix_fmt yuv420p -sc_threshold 0 "
               "-force_key_frames \"expr:gte(t,n_forced*2)\" -b:v:0 2800k -maxrate:v:0 2996k -bufsize:v:0 "
               "4200k "
               "-profile:v:0 high -level:v:0 3.1 -b:a:0 128k -b:v:1 1400k -maxrate:v:1 1498k -bufsize:v:1 "
               "2100k "
               "-profile:v:1 main -level:v:1 3.0 -b:a:1 96k -b:v:2 800k -maxrate:v:2 856k -bufsize:v:2 1200k "
               "-profile:v:2 main -level:v:2 3.0 -b:a:2 64k -f hls -hls_time 6 -hls_playlist_type vod "
               "-hls_segment_type fmp4 -hls_flags independent_segments -hls_fmp4_init_filename %v_init.mp4 "
               "-hls_segment_filename \"/out/clip-hls/%v_%03d.m4s\" -master_pl_name master.m3u8 "
               "-var_stream_map "
               "\"v:0,a:0,name:720p v:1,a:1,name:480p v:2,a:2,name:360p\" \"/out/clip-hls/%v.m3u8\"";
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
            else if (s.startsWith("watermark="))
                r.watermark = 1, r.watermarkFilter = " -vf \"" + settings.section("watermark=", 1) + "\"";
            else if (s == "vp9" || s == "av1")
                r.webmCodec = s == "vp9" ? encode::WebmCodec::Vp9 : encode::WebmCodec::Av1;
            else if (s == "bitrate" || s == "small")
                r.quality = s == "small" ? encode::Quality::Small : encode::Quality::Bitrate;
        }
        r.captions = "/v/my clip.en.srt", r.captionsName = "clip.vtt", r.hlsName = "clip-hls";
        const SourceFacts facts{QSize(settings.section("width=", 1).section(' ', 0, 0).toInt(), 720), true,
                                25};
        const OptionPieces p = optionPieces(r);
        const QString built = kind == "flv" ? flvCommand(r, p)
            : kind == "mp4"                 ? mp4Command(r, p)
            : kind == "webm"                ? webmCommand(r, p, facts)
            : kind == "still"               ? stillImageCommand(r, p)
            : kind == "captions"            ? captionsCommand(r)
            : kind == "hls"                 ? hls::command(r, hls::ladder(facts.size, true, 25))
                                            : faststartCommand(r);
        QCOMPARE(QString(built).replace(m_app.path(), "APP"), command);
    }

    // The rungs at or below the source's height; one at its own size under 360 lines; sound only with
    // sound; level by size and frame rate.
    void ladder_data()
    {
        QTest::addColumn<QSize>("source");
        QTest::addColumn<double>("rate");
        QTest::addColumn<QString>("ladder");
        const QString sd = " 480p=854x480/1400/96/main/3.0 360p=640x360/800/64/main/3.0";
        QTest::newRow("240, silent") << QSize(320, 240) << 0.0 << " 240p=320x240/800/0/main/3.0";
        QTest::newRow("360") << QSize(640, 360) << 25.0 << " 360p=640x360/800/64/main/3.0";
        QTest::newRow("576, silent") << QSize(720, 576) << 25.0
                                     << " 480p=600x480/1400/0/main/3.0 360p=450x360/800/0/main/3.0";
        QTest::newRow("720, 30 fps")
            << QSize(1280, 720) << 30.0
            << " 720p=1280x720/2800/128/high/3.1 480p=854x480/1400/96/main/3.1 360p=640x360/800/64/main/3.0";
        QTest::newRow("1080") << QSize(1920, 1080) << 25.0
                              << " 1080p=1920x1080/5000/128/high/4.0 720p=1280x720/2800/128/high/3.1" + sd;
        QTest::newRow("2160, 60 fps") << QSize(3840, 2160) << 60.0
                                      << " 1080p=1920x1080/5000/128/high/4.2 720p=1280x720/2800/128/high/3.2 "
                                         "480p=854x480/1400/96/main/3.1 360p=640x360/800/64/main/3.1";
    }
    void ladder()
    {
        QFETCH(QSize, source);
        QFETCH(double, rate);
        QFETCH(QString, ladder);
        const bool sound = !QString(QTest::currentDataTag()).contains("silent");
        QString got;
        const QList<hls::Rendition> rungs = hls::ladder(source, sound, rate);
        // A lone rendition's init segment is named outright: the encoder leaves "%v" as it is there.
        if (rungs.size() == 1)
            QVERIFY(hls::command(request(), rungs)
                        .contains(" -hls_fmp4_init_filename " + rungs.first().name + "_init.mp4 "));
        for (const hls::Rendition &r : rungs)
            got += QStringLiteral(" %1=%2x%3/%4/%5/%6/%7")
                       .arg(r.name)
                       .arg(r.size.width())
                       .arg(r.size.height())
                       .arg(r.videoKbps)
                       .arg(r.audioKbps)
                       .arg(r.profile, r.level);
        QCOMPARE(got, ladder);
    }

    // A playlist that is not whole is named as such.
    void mediaPlaylist_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("read");
        const QByteArray head = "#EXTM3U\n#EXT-X-MAP:URI=\"a_init.mp4\"\n#EXTINF:6.0,\na_000.m4s\n";
        QTest::newRow("whole") << head + "#EXTINF:2.5,\na_001.m4s\n#EXT-X-ENDLIST\n"
                               << "a_000.m4s a_001.m4s 8.5";
        QTest::newRow("cut off") << head << "IS NOT COMPLETE.";
        QTest::newRow("no duration") << head + "a_001.m4s\n#EXT-X-ENDLIST\n"
                                     << "HAS A SEGMENT WITHOUT A DURATION.";
        QTest::newRow("no playlist") << QByteArray("a_000.m4s\n") << "IS NO PLAYLIST.";
    }
    void mediaPlaylist()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, read);
        const hls::MediaPlaylist list = hls::readMediaPlaylist(text);
        QCOMPARE(list.error.isEmpty() ? list.segments.join(' ') + ' '
                         + QString::number(std::accumulate(list.durations.begin(), list.durations.end(), 0.0))
                                      : list.error,
                 read);
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
