// Whole encode requests through the main window with Debian's ffmpeg and
// qt-faststart, checked with ffprobe.
#include "app/frmMain.h"
#include "common/mdlMain.h"
#include "common/ui_controls.h"
#include "app/ui_forms.h"
#include "support/scriptedprompts.h"
#include "support/testappdir.h"
#include "support/testprogram.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

namespace {

QString question(const QString &out)
{
    return QStringLiteral("FILE(S) ENCODED - ") + out + QStringLiteral("\r\nDO YOU WANT TO OPEN THE OUTPUT FOLDER?");
}

} // namespace

class TestEncodeEndToEnd : public QObject
{
    Q_OBJECT

    QTemporaryDir m_work;
    QString m_clip;

    struct Program : TestProgram {
        Program()
        {
            dir.writeFile("config/configvbr.txt", "300\r\n600\r\n900\r\n1200\r\n1500\r\n");
            start();
        }
        void select(const QString &source, const QString &out)
        {
            frmMain *w = window.get();
            w->lblInput->setCaption(source);
            w->lblOutDir->setCaption(out);
            w->txtOutFileFLV->setText("clip.flv");
            w->txtOutFileMp4->setText("clip.mp4");
            w->txtOutFileWebm->setText("clip.webm");
        }
    };

private slots:
    void initTestCase()
    {
        QVERIFY(m_work.isValid());
        // Picture and sound, long enough to exceed 512 KiB at 1500 kbit/s.
        m_clip = m_work.filePath("my source $clip.avi");
        // Noisy picture, so the encoders cannot undershoot the bitrate.
        QVERIFY(runFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25,noise=alls=60:allf=t", "-f", "lavfi",
                           "-i", "sine=frequency=440:sample_rate=44100", "-t", "5", "-c:v", "mpeg4", "-q:v", "2",
                           "-c:a", "pcm_s16le", m_clip}));
    }

    void allFormatsAndStillImage()
    {
        Program p;
        const QString out = m_work.filePath("all out") + "/";
        QDir().mkpath(out);
        p.select(m_clip, out);
        ui::setCheckValue(p.window->chkWebm, 1);
        ui::setCheckValue(p.window->chkGrabStillImage, 1);
        p.window->txtFrameSecond->setText("02");
        p.window->cmbVideoWindow->setCurrentIndex(1); // selects "Resize to (W x H)"
        QVERIFY(p.window->optVideoWindowResize->isChecked());
        const QString size = p.window->cmbVideoWindow->currentText().section(' ', 0, 0);
        p.prompts.expectMessage(question(out), mdlMain::vbYes);
        p.window->cmdEncode_Click();
        VERIFY_PROMPTS(p.prompts);

        QCOMPARE(probeStreams(out + "clip.flv"), (QStringList{"video:h264", "audio:aac"}));
        QCOMPARE(probeStreams(out + "clip.mp4"), (QStringList{"video:h264", "audio:aac"}));
        QCOMPARE(probeStreams(out + "clip.webm"), (QStringList{"video:vp8", "audio:vorbis"}));
        QVERIFY2(moovBeforeMdat(out + "clip.mp4"), qPrintable(mp4TopLevelAtoms(out + "clip.mp4").join(',')));
        QVERIFY(!QFile::exists(out + "clip.mp4.temp"));
        QVERIFY(QFile::exists(out + "clip.jpg"));
        QCOMPARE(probeValue(out + "clip.jpg", "stream=width") + "x" + probeValue(out + "clip.jpg", "stream=height"), size);
        QVERIFY(QFileInfo(out + "clip.flv").size() > 524288);
        QCOMPARE(p.prompts.revealed(), QStringList{out + "clip.webm"});
    }

    void optionFileAskingForFaststartKeepsTheMp4()
    {
        Program p;
        p.dir.writeFile("config/configx264v2.txt", "-movflags +faststart\r\n");
        const QString out = m_work.filePath("faststart") + "/";
        QDir().mkpath(out);
        p.select(m_clip, out);
        ui::setCheckValue(p.window->chkFLV, 0);
        p.prompts.expectMessage(question(out), mdlMain::vbNo);
        p.window->cmdEncode_Click();
        VERIFY_PROMPTS(p.prompts);
        // qt-faststart writes nothing for a file that is already streamable;
        // the MP4 must still be there and playable.
        QCOMPARE(probeStreams(out + "clip.mp4"), (QStringList{"video:h264", "audio:aac"}));
        QVERIFY(!QFile::exists(out + "clip.mp4.temp"));
    }

    // A short, small video is a video: judged by what the encoder did, not
    // by the size of its file.
    void shortClipAtLowBitrate_data()
    {
        QTest::addColumn<bool>("still");
        QTest::addColumn<QStringList>("notices");
        QTest::newRow("videos only") << false << QStringList();
        QTest::newRow("still image past the end")
            << true << QStringList{"STILL IMAGE NOT GRABBED! THE VIDEO IS SHORTER THAN 00:30."};
    }
    void shortClipAtLowBitrate()
    {
        QFETCH(bool, still);
        QFETCH(QStringList, notices);
        Program p;
        const QString out = m_work.filePath(still ? "short still" : "short") + "/";
        QDir().mkpath(out);
        const QString clip = m_work.filePath("short.avi");
        QVERIFY(makeClip(clip, 3.4, "160x120", false));
        p.select(clip, out);
        p.window->cmbVideoBitrate->setCurrentIndex(0); // 300 kbit/s
        ui::setCheckValue(p.window->chkWebm, 1);
        ui::setCheckValue(p.window->chkGrabStillImage, still ? 1 : 0);
        for (const QString &notice : notices)
            p.prompts.expectMessage(notice);
        p.prompts.expectMessage(question(out), mdlMain::vbYes);
        p.window->cmdEncode_Click();
        VERIFY_PROMPTS(p.prompts);
        for (const char *name : {"clip.flv", "clip.mp4", "clip.webm"}) {
            QVERIFY(QFileInfo(out + name).size() < 524288);
            QCOMPARE(probeStreams(out + name).value(0).section(':', 0, 0), QStringLiteral("video"));
        }
        QVERIFY(moovBeforeMdat(out + "clip.mp4"));
        QVERIFY(!QFile::exists(out + "clip.jpg"));
        QCOMPARE(p.prompts.revealed(), QStringList{out + "clip.webm"});
    }

    // An encoder that cannot write its whole file fails, and leaves no
    // broken file under the output name.
    void encoderStoppedHalfWay()
    {
        Program p;
        QFile::remove(p.dir.file("engine/ffmpeg"));
        p.dir.writeFile("engine/ffmpeg", "#!/bin/sh\nulimit -f 200\nexec ffmpeg \"$@\"\n");
        QFile(p.dir.file("engine/ffmpeg")).setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        const QString out = m_work.filePath("limited") + "/";
        QDir().mkpath(out);
        p.select(m_clip, out);
        ui::setCheckValue(p.window->chkMp4, 0);
        p.prompts.expectMessage(QString()); // checked below
        p.window->cmdEncode_Click();
        VERIFY_PROMPTS(p.prompts);
        QVERIFY(p.prompts.messages().first().startsWith("ENCODING FAILED! "));
        QVERIFY(!QFile::exists(out + "clip.flv"));
    }

    void unreadableSourceBehindAnOlderOutput()
    {
        Program p;
        const QString out = m_work.filePath("old") + "/";
        QDir().mkpath(out);
        const QString bad = m_work.filePath("garbage.avi");
        QFile g(bad);
        QVERIFY(g.open(QIODevice::WriteOnly));
        g.write(QByteArray(4096, '\x5a'));
        g.close();
        QVERIFY(QFile::copy(m_clip, out + "clip.flv")); // an older output
        p.select(bad, out);
        ui::setCheckValue(p.window->chkMp4, 0);
        p.prompts.expectMessage("clip.flv ALREADY EXISTS IN OUTPUT FOLDER. OVERWRITE?", mdlMain::vbYes);
        p.prompts.expectMessage("UNSUPPORTED FILE!");
        p.window->cmdEncode_Click();
        VERIFY_PROMPTS(p.prompts);
    }
};

QTEST_MAIN(TestEncodeEndToEnd)
#include "tst_encode_e2e.moc"
