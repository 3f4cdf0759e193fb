// Whole requests through the main window with Debian's ffmpeg and
// qt-faststart, checked with ffprobe.
#include "common/ui_controls.h"
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

    // One request per output kind on the same clip.
    void eachKind_data()
    {
        QTest::addColumn<QString>("formats");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("streams");
        QTest::newRow("flv") << "flv"
                             << "clip.flv" << QStringList{"video:h264", "audio:aac"};
        QTest::newRow("mp4, streamable") << "mp4"
                                         << "clip.mp4" << QStringList{"video:h264", "audio:aac"};
        QTest::newRow("webm and a resized still image")
            << "webm still"
            << "clip.webm" << QStringList{"video:vp8", "audio:vorbis"};
    }
    void eachKind()
    {
        QFETCH(QString, formats);
        QFETCH(QString, file);
        QFETCH(QStringList, streams);
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
