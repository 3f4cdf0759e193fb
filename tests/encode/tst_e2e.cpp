// Whole requests through the main window with Debian's ffmpeg and
// qt-faststart, checked with ffprobe.
#include "common/ui_controls.h"
#include "encode/videotag.h"
#include "support/program.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTest>

class TestEndToEnd : public QObject
{
    Q_OBJECT

    QTemporaryDir m_work;
    QString m_clip;  // 4 s, noisy picture and sound, 320x240
    QString m_short; // 3.4 s, 160x120, no sound
    QString m_cut;   // m_clip as an MP4, index first, cut off after 30 % of its bytes

    struct Program : TestProgram {
        QString out;
        Program(const QString &source, const QString &outDir, const QString &formats)
        {
            start();
            out = outDir + "/";
            QDir().mkpath(out);
            window->lblInput->setCaption(source);
            window->lblOutDir->setCaption(out);
            window->txtOutFileFLV->setText("clip.flv");
            window->txtOutFileMp4->setText("clip.mp4");
            window->txtOutFileWebm->setText("clip.webm");
            ui::setCheckValue(window->chkFLV, formats.contains("flv"));
            ui::setCheckValue(window->chkMp4, formats.contains("mp4"));
            ui::setCheckValue(window->chkWebm, formats.contains("webm"));
            ui::setCheckValue(window->chkGrabStillImage, formats.contains("still"));
            window->cmbWebmCodec->setCurrentIndex(formats.contains("vp9")       ? 1
                                                      : formats.contains("av1") ? 2
                                                                                : 0);
        }
        void encode(const QStringList &notices, bool question = true)
        {
            for (const QString &notice : notices)
                prompts.expectMessage(notice);
            if (question)
                prompts.expectMessage(
                    "FILE(S) ENCODED - " + out + "\r\nDO YOU WANT TO OPEN THE OUTPUT FOLDER?", vbYes);
            window->cmdEncode_Click();
        }
    };

private slots:
    void initTestCase()
    {
        m_clip = m_work.filePath("my source $clip.avi");
        m_short = m_work.filePath("short.avi");
        QVERIFY(makeClip(m_clip, 4));
        QVERIFY(makeClip(m_short, 3.4, "160x120", false));
        m_cut = m_work.filePath("cut.mp4");
        QVERIFY(runFfmpeg({"-i", m_clip, "-c:a", "aac", "-movflags", "+faststart", m_cut}));
        QVERIFY(QFile::resize(m_cut, QFileInfo(m_cut).size() * 3 / 10));
    }

    // One request per output kind on the same clip, and the codecs its tag names (a pattern).
    void eachKind_data()
    {
        QTest::addColumn<QString>("formats");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("streams");
        QTest::addColumn<QString>("codecs");
        QTest::newRow("flv") << "flv"
                             << "clip.flv" << QStringList{"video:h264", "audio:aac"} << "";
        QTest::newRow("mp4, streamable")
            << "mp4"
            << "clip.mp4" << QStringList{"video:h264", "audio:aac"} << "avc1\\.640015, mp4a\\.40\\.2";
        QTest::newRow("webm and a resized still image")
            << "webm still"
            << "clip.webm" << QStringList{"video:vp8", "audio:vorbis"} << "vp8, vorbis";
        QTest::newRow("webm vp9") << "webm vp9"
                                  << "clip.webm" << QStringList{"video:vp9", "audio:opus"}
                                  << "vp09\\.00\\.21\\.08, opus";
        QTest::newRow("webm av1") << "webm av1"
                                  << "clip.webm" << QStringList{"video:av1", "audio:opus"}
                                  << "av01\\.0\\.0[01]M\\.08, opus";
    }
    void eachKind()
    {
        QFETCH(QString, formats);
        QFETCH(QString, file);
        QFETCH(QStringList, streams);
        QFETCH(QString, codecs);
        Program p(m_clip, m_work.filePath(QTest::currentDataTag()), formats);
        p.window->txtFrameSecond->setText("02");
        p.window->cmbVideoWindow->setCurrentIndex(1); // resizes
        p.encode({});
        QCOMPARE(probeStreams(p.out + file), streams);
        QCOMPARE(p.prompts.texts(ScriptedPrompts::Kind::ShowInFileManager), QStringList{p.out + file});
        if (file.endsWith(".mp4")) {
            QVERIFY(moovBeforeMdat(p.out + file));
            QVERIFY(!QFile::exists(p.out + file + ".temp"));
        }
        // Opus at 48 kHz whatever the setting; as long as the source.
        if (streams.contains("audio:opus"))
            QCOMPARE(probeFields(p.out + file, "stream=sample_rate"), QStringList{"48000"});
        QCOMPARE(qRound(probeFields(p.out + file, "format=duration").value(0).toDouble()), 4);
        videotag::Made made;
        (file.endsWith(".mp4") ? made.mp4 : made.webm) = p.out + file;
        if (!codecs.isEmpty())
            videotag::describe(p.dir.path(), made);
        QVERIFY2(QRegularExpression("^" + codecs + "$").match(made.webmCodecs + made.mp4Codecs).hasMatch(),
                 qPrintable(made.webmCodecs + made.mp4Codecs));
        VERIFY_PROMPTS(p.prompts);
    }

    // The stream: every rendition's playlist named in the master with what it holds, key frames at the
    // same times in each.
    void stream()
    {
        const QString clip = m_work.filePath("hd.mkv");
        QVERIFY(makeClip(clip, 8, "1280x720"));
        Program p(clip, m_work.filePath("stream"), "");
        p.window->txtOutFileHls->setText("clip-hls");
        ui::setCheckValue(p.window->chkHls, true);
        p.encode({});
        const QString dir = p.out + "clip-hls/", master = fileBytes(dir + "master.m3u8");
        QStringList keys;
        for (const QString height : {"720", "480", "360"}) {
            const QString variant = "BANDWIDTH=\\d+,AVERAGE-BANDWIDTH=\\d+,RESOLUTION=\\d+x" + height
                + ",CODECS=\"avc1\\.(6400|4d40)[0-9a-f]{2},mp4a\\.40\\.2\",FRAME-RATE=25\\.000\n" + height
                + "p\\.m3u8";
            QVERIFY2(QRegularExpression(variant).match(master).hasMatch(),
                     qPrintable(variant + "\n" + master));
            const QStringList packets =
                probeFields(dir + height + "p.m3u8", "packet=stream_index,pts_time,flags");
            keys << packets.filter(QRegularExpression("^0,.*K")).join(' ');
        }
        QCOMPARE(keys.at(0).count('K'), 4);
        videotag::Made made; // its tag's size: the first rendition's
        made.hls = dir.chopped(1);
        videotag::describe(p.dir.path(), made);
        QCOMPARE(made.size, QSize(1280, 720));
        QCOMPARE(keys.at(1), keys.at(0));
        QCOMPARE(keys.at(2), keys.at(0));
        VERIFY_PROMPTS(p.prompts);
    }

    // A caption file becomes WebVTT beside the video; one that does not convert fails alone.
    void captions_data()
    {
        QTest::addColumn<QByteArray>("captions");
        QTest::addColumn<QString>("notice");
        QTest::newRow("srt") << QByteArray("1\r\n00:00:00,500 --> 00:00:02,000\r\nHello, <i>you</i>\r\n")
                             << "";
        QTest::newRow("broken") << QByteArray("\x01\x02 nothing to read") << "^CAPTIONS NOT CONVERTED! .+";
    }
    void captions()
    {
        QFETCH(QByteArray, captions);
        QFETCH(QString, notice);
        Program p(m_clip, m_work.filePath(QTest::currentDataTag()), "flv");
        const QString srt = m_work.filePath(QTest::currentDataTag() + QStringLiteral(".de.srt"));
        QVERIFY(writeFileBytes(srt, captions));
        p.forms.settings().chooseCaptions(srt);
        p.encode(notice.isEmpty() ? QStringList() : QStringList{QString()});
        if (!notice.isEmpty())
            QVERIFY2(QRegularExpression(notice).match(p.prompts.messages().value(0)).hasMatch(),
                     qPrintable(p.prompts.messages().value(0)));
        QCOMPARE(probeStreams(p.out + "clip.flv"), (QStringList{"video:h264", "audio:aac"}));
        QCOMPARE(fileBytes(p.out + "my source $clip.vtt"),
                 notice.isEmpty() ? QByteArray("WEBVTT\n\n00:00.500 --> 00:02.000\nHello, <i>you</i>\n")
                                  : "");
        VERIFY_PROMPTS(p.prompts);
    }

    // A short, small video is a video; a still image past its end says so.
    // A short clip: its small videos are made; the still image lies past its end.
    void shortClip()
    {
        Program p(m_short, m_work.filePath("short"), "flv mp4 webm still");
        p.window->cmbVideoBitrate->setCurrentIndex(0);
        p.encode({"STILL IMAGE NOT GRABBED! THE VIDEO IS SHORTER THAN 00:30."});
        for (const char *name : {"clip.flv", "clip.mp4", "clip.webm"}) {
            QVERIFY(QFileInfo(p.out + name).size() < 524288);
            QCOMPARE(probeStreams(p.out + name).value(0).section(':', 0, 0), QStringLiteral("video"));
        }
        QVERIFY(moovBeforeMdat(p.out + "clip.mp4"));
        VERIFY_PROMPTS(p.prompts);
    }

    // An encoder that cannot write its whole file fails, and leaves no broken
    // file under the output name.
    void encoderStoppedHalfWay()
    {
        Program p(m_clip, m_work.filePath("limited"), "flv");
        p.dir.setTool("engine/ffmpeg", "ulimit -f 100\nexec ffmpeg \"$@\"\n");
        p.encode({QString()}, false);
        QVERIFY(p.prompts.messages().value(0).startsWith("ENCODING FAILED! "));
        QVERIFY(!QFile::exists(p.out + "clip.flv"));
        VERIFY_PROMPTS(p.prompts);
    }

    // Outputs read back: a source cut off (the encoder ends well, early)
    // gives a short output that is kept; a faststart step that ends well but
    // leaves the index last gets the encoded MP4 back.
    void readBack_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<bool>("cut");
        QTest::addColumn<QString>("notice"); // a pattern
        const QString early = "^ENCODING FAILED! BAD SOURCE FILE. THE SOURCE ENDS AT 0:0[0-3]\\.\\d OF ITS "
                              "0:04\\.0\\.$";
        QTest::newRow("source cut off, flv") << "flv" << true << early;
        QTest::newRow("source cut off, mp4") << "mp4" << true << early;
        QTest::newRow("faststart leaves the index last") << "mp4" << false << "^MP4 NOT MADE STREAMABLE! ";
    }
    void readBack()
    {
        QFETCH(QString, format);
        QFETCH(bool, cut);
        QFETCH(QString, notice);
        Program p(cut ? m_cut : m_clip, m_work.filePath(QTest::currentDataTag()), format);
        if (!cut)
            p.dir.setTool("ma", fake::copies);
        p.encode({QString()}, false);
        const QString said = p.prompts.messages().value(0);
        QVERIFY2(QRegularExpression(notice).match(said).hasMatch(), qPrintable(said));
        const QString file = "clip." + format;
        QCOMPARE(probeStreams(p.out + file), (QStringList{"video:h264", "audio:aac"}));
        if (format == "mp4")
            QCOMPARE(moovBeforeMdat(p.out + file), cut);
        QCOMPARE(QDir(p.out).entryList(QDir::Files), QStringList{file}); // no ".temp"
        VERIFY_PROMPTS(p.prompts);
    }

    // An MP4 already streamable leaves the faststart tool nothing to do: it
    // stays as the encoder made it.
    void alreadyStreamableMp4IsKept()
    {
        Program p(m_short, m_work.filePath("faststart"), "mp4");
        p.dir.writeFile("config/configx264v2.txt", "-movflags +faststart\r\n");
        p.encode({});
        QCOMPARE(probeStreams(p.out + "clip.mp4"), QStringList{"video:h264"});
        QVERIFY(moovBeforeMdat(p.out + "clip.mp4"));
        VERIFY_PROMPTS(p.prompts);
    }
};

QTEST_MAIN(TestEndToEnd)
#include "tst_e2e.moc"
