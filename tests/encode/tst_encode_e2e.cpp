// Whole encode requests through the main window with Debian's ffmpeg and
// qt-faststart, checked with ffprobe.
#include "app/frmMain.h"
#include "app/mdlMain.h"
#include "app/ui_controls.h"
#include "app/ui_forms.h"
#include "support/scriptedprompts.h"
#include "support/testappdir.h"

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

QStringList topLevelAtoms(const QString &path)
{
    QFile f(path);
    QStringList atoms;
    if (!f.open(QIODevice::ReadOnly))
        return atoms;
    qint64 pos = 0;
    while (pos + 8 <= f.size()) {
        f.seek(pos);
        const QByteArray head = f.read(16);
        quint64 length = qFromBigEndian<quint32>(head.constData());
        if (length == 1 && head.size() == 16)
            length = qFromBigEndian<quint64>(head.constData() + 8);
        atoms << QString::fromLatin1(head.mid(4, 4));
        if (length < 8)
            break;
        pos += qint64(length);
    }
    return atoms;
}

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

    struct Program {
        ScriptedPrompts prompts;
        TestAppDir dir;
        Forms forms{prompts, dir.path()};
        std::unique_ptr<frmMain> w;
        Program()
        {
            dir.writeFile("config/configvbr.txt", "300\r\n600\r\n900\r\n1200\r\n1500\r\n");
            forms.splashMilliseconds = 1;
            forms.endProgram = [] {};
            w = std::make_unique<frmMain>(forms);
            w->Form_Load();
        }
        void select(const QString &source, const QString &out)
        {
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
        ui::setCheckValue(p.w->chkWebm, 1);
        ui::setCheckValue(p.w->chkGrabStillImage, 1);
        p.w->txtFrameSecond->setText("02");
        p.w->cmbVideoWindow->setCurrentIndex(1); // selects "Resize to (W x H)"
        QVERIFY(p.w->optVideoWindowResize->isChecked());
        const QString size = p.w->cmbVideoWindow->currentText().section(' ', 0, 0);
        p.prompts.expectMessage(question(out), mdlMain::vbYes);
        p.w->cmdEncode_Click();
        VERIFY_PROMPTS(p.prompts);

        QCOMPARE(probeStreams(out + "clip.flv"), (QStringList{"video:h264", "audio:aac"}));
        QCOMPARE(probeStreams(out + "clip.mp4"), (QStringList{"video:h264", "audio:aac"}));
        QCOMPARE(probeStreams(out + "clip.webm"), (QStringList{"video:vp8", "audio:vorbis"}));
        const QStringList atoms = topLevelAtoms(out + "clip.mp4");
        QVERIFY2(atoms.indexOf("moov") >= 0 && atoms.indexOf("moov") < atoms.indexOf("mdat"), qPrintable(atoms.join(',')));
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
        ui::setCheckValue(p.w->chkFLV, 0);
        p.prompts.expectMessage(question(out), mdlMain::vbNo);
        p.w->cmdEncode_Click();
        VERIFY_PROMPTS(p.prompts);
        // qt-faststart writes nothing for a file that is already streamable;
        // the MP4 must still be there and playable.
        QCOMPARE(probeStreams(out + "clip.mp4"), (QStringList{"video:h264", "audio:aac"}));
        QVERIFY(!QFile::exists(out + "clip.mp4.temp"));
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
        ui::setCheckValue(p.w->chkMp4, 0);
        p.prompts.expectMessage("clip.flv ALREADY EXISTS IN OUTPUT FOLDER. OVERWRITE?", mdlMain::vbYes);
        p.prompts.expectMessage("UNSUPPORTED FILE!");
        p.w->cmdEncode_Click();
        VERIFY_PROMPTS(p.prompts);
    }
};

QTEST_MAIN(TestEncodeEndToEnd)
#include "tst_encode_e2e.moc"
