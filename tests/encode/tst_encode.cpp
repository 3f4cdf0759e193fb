// A whole encode request through the main window, with the fake tool as the
// encoder and as the faststart tool.
#include "app/frmMain.h"
#include "common/mdlMain.h"
#include "common/ui_controls.h"
#include "app/ui_forms.h"
#include "common/cmdline.h"
#include "process/frmProgress.h"
#include "support/faketool_log.h"
#include "support/scriptedprompts.h"
#include "support/testappdir.h"
#include "support/testprogram.h"
#include "watermark/frmWatermarkOptions.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using mdlMain::vbNo;
using mdlMain::vbYes;

namespace {

// The status line by which the encoder tells that it encoded video.
const QByteArray frames = "err:frame=\\s\\s\\s75\\sfps=0.0\\sq=0.0\\sLsize=\\s300kB\\r";

qint64 sizeOf(const QString &path)
{
    return QFileInfo(path).size();
}

} // namespace

class TestEncode : public QObject
{
    Q_OBJECT

    struct Program : TestProgram {
        QTemporaryDir work;
        QString log, source, out;

        Program() : TestProgram(TestAppDir::FakeEncoder)
        {
            dir.useFakeFaststart();
            dir.writeFile("config/configvbr.txt", "300\r\n400\r\n500\r\n600\r\n800\r\n");
            dir.writeFile("config/configx264v1.txt", "");
            dir.writeFile("config/configx264v2.txt", "");
            start();
            frmMain *w = window.get();
            log = work.filePath("tool.log");
            qputenv("FAKETOOL_LOG", QFile::encodeName(log));
            qputenv("FAKETOOL_SCRIPT_FFMPEG", frames + " write:600000");
            qputenv("FAKETOOL_SCRIPT_MA", "copy");
            QDir().mkpath(work.filePath("src"));
            QDir().mkpath(work.filePath("out"));
            source = work.filePath("src/clip.avi");
            writeFileBytes(source, QByteArray(1000, 's'));
            out = work.filePath("out") + "/";
            w->lblInput->setCaption(source);
            w->lblOutDir->setCaption(out);
            w->txtOutFileFLV->setText("clip.flv");
            w->txtOutFileMp4->setText("clip.mp4");
            w->txtOutFileWebm->setText("clip.webm");
        }
        ~Program()
        {
            qunsetenv("FAKETOOL_LOG");
            qunsetenv("FAKETOOL_SCRIPT_FFMPEG");
            qunsetenv("FAKETOOL_SCRIPT_MA");
        }
        QList<QStringList> runs() const { return readFakeToolLog(log); }
        QString tool(const QString &name) const { return dir.path() + "/" + name; }
        // Presses Cancel in the progress window once the run is under way.
        void cancelSoon(int answer = vbYes)
        {
            prompts.expectMessage("CANCEL ENCODING?", answer);
            QTimer::singleShot(400, [this] {
                if (forms.progressLoaded())
                    forms.progress().cmdCancel->click();
            });
        }
    };

private slots:
    void init()
    {
        mdlMain::blnCancelled = false;
        mdlMain::intEncodeKind = 0;
    }

    void noSourceOpensTheSourceDialog()
    {
        Program p;
        p.window->lblInput->setCaption(QString());
        p.window->lblOutDir->setCaption(QString());
        p.prompts.expectMessage("INPUT OR SOURCE FILE REQUIRED!");
        p.prompts.expectOpenFile(std::nullopt, "Source Video to Convert");
        p.window->cmdEncode_Click();
        QVERIFY(p.runs().isEmpty());
        VERIFY_PROMPTS(p.prompts);
    }

    void missingFolderOpensTheBrowser()
    {
        Program p;
        p.window->lblOutDir->setCaption(QString());
        p.prompts.expectMessage("OUTPUT FOLDER MISSING!");
        p.prompts.expectBrowseFolder(QString(), "Select Your Output Folder:");
        p.window->cmdEncode_Click();
        QVERIFY(p.runs().isEmpty());
        VERIFY_PROMPTS(p.prompts);
    }

    void noFormatWithStillImage()
    {
        Program p;
        p.window->show();
        ui::setCheckValue(p.window->chkFLV, 0);
        ui::setCheckValue(p.window->chkMp4, 0);
        ui::setCheckValue(p.window->chkGrabStillImage, 1);
        p.prompts.expectMessage("PLEASE SELECT AT LEAST ONE OUTPUT FORMAT!");
        p.window->cmdEncode_Click();
        QCOMPARE(p.window->focusWidget(), p.window->chkFLV);
        QVERIFY(p.runs().isEmpty());
        VERIFY_PROMPTS(p.prompts);
    }

    void mp4OnlyNeedsNoFlvName()
    {
        Program p;
        ui::setCheckValue(p.window->chkFLV, 0);
        p.window->txtOutFileFLV->clear();
        p.prompts.expectMessage(encode_question(p.out));
        p.window->cmdEncode_Click();
        QCOMPARE(p.runs().size(), 2); // the encoder and the faststart tool
        VERIFY_PROMPTS(p.prompts);
    }

    void twoExistingOutputsYesThenNo()
    {
        Program p;
        p.window->show();
        writeFileBytes(p.out + "clip.flv", QByteArray(10, 'x'));
        writeFileBytes(p.out + "clip.mp4", QByteArray(10, 'x'));
        p.prompts.expectMessage("clip.flv ALREADY EXISTS IN OUTPUT FOLDER. OVERWRITE?", vbYes);
        p.prompts.expectMessage("clip.mp4 ALREADY EXISTS IN OUTPUT FOLDER. OVERWRITE?", vbNo);
        p.prompts.expectMessage("CHANGE THE NAME OF THE OUTPUT MP4 FILE.");
        p.window->cmdEncode_Click();
        QCOMPARE(p.window->focusWidget(), p.window->txtOutFileMp4);
        QCOMPARE(p.window->txtOutFileMp4->selectedText(), QStringLiteral("clip.mp4"));
        QVERIFY(p.runs().isEmpty());
        QCOMPARE(sizeOf(p.out + "clip.flv"), 10);
        VERIFY_PROMPTS(p.prompts);
    }

    void stillImageTimes_data()
    {
        QTest::addColumn<QString>("minute");
        QTest::addColumn<QString>("second");
        QTest::addColumn<QString>("message");
        QTest::newRow("minute 60") << "60" << "30" << "INVALID INPUT FOR MINUTES. ENTER A VALUE FROM 0 TO 59!";
        QTest::newRow("second 60") << "00" << "60" << "INVALID INPUT FOR SECONDS. ENTER A VALUE FROM 0 TO 59!";
        QTest::newRow("empty minute") << "" << "30" << "ERROR# 13 TYPE MISMATCH. PLEASE CONTACT SUPPORT.";
        QTest::newRow("minute 32768") << "32768" << "30" << "ERROR# 6 OVERFLOW. PLEASE CONTACT SUPPORT.";
    }
    void stillImageTimes()
    {
        QFETCH(QString, minute);
        QFETCH(QString, second);
        QFETCH(QString, message);
        Program p;
        p.window->show();
        ui::setCheckValue(p.window->chkGrabStillImage, 1);
        // Typed keys are filtered; these texts come in as if pasted.
        p.window->txtFrameMinute->setMaxLength(5);
        p.window->txtFrameMinute->setText(minute);
        p.window->txtFrameSecond->setText(second);
        p.prompts.expectMessage(message);
        p.window->cmdEncode_Click();
        if (message.startsWith("INVALID INPUT FOR SECONDS"))
            QCOMPARE(p.window->focusWidget(), p.window->txtFrameSecond);
        QVERIFY(p.runs().isEmpty());
        VERIFY_PROMPTS(p.prompts);
    }

    void secondFiftyNinePasses()
    {
        Program p;
        ui::setCheckValue(p.window->chkMp4, 0);
        ui::setCheckValue(p.window->chkGrabStillImage, 1);
        p.window->txtFrameMinute->setText("5");
        p.window->txtFrameSecond->setText("59");
        p.prompts.expectMessage(encode_question(p.out));
        p.window->cmdEncode_Click();
        const auto runs = p.runs();
        QCOMPARE(runs.size(), 2);
        QVERIFY(runs.last().contains("00:5:59.000"));
        VERIFY_PROMPTS(p.prompts);
    }

    void exactCommandsInOrder()
    {
        Program p;
        ui::setCheckValue(p.window->chkWebm, 1);
        ui::setCheckValue(p.window->chkGrabStillImage, 1);
        p.prompts.expectMessage(encode_question(p.out), vbYes);
        p.window->cmdEncode_Click();
        const QString ffmpeg = p.tool("engine/ffmpeg");
        const QString src = p.source;
        const QList<QStringList> expected = {
            {ffmpeg, "-y", "-i", src, "-f", "flv", "-acodec", "aac", "-strict", "experimental", "-ab", "96k", "-ar",
             "22050", "-ac", "2", "-vcodec", "libx264", "-b:v", "800k", "-r", "25", "-minrate", "800k", "-maxrate",
             "800k", "-bufsize", "800k", "-coder", "1", "-flags", "+loop", "-cmp", "+chroma", "-partitions",
             "+parti4x4+parti8x8+partp8x8+partb8x8", p.out + "clip.flv"},
            {ffmpeg, "-y", "-i", src, "-f", "mp4", "-acodec", "aac", "-strict", "experimental", "-ar", "22050", "-ab",
             "96k", "-ac", "2", "-vcodec", "libx264", "-b:v", "800k", "-r", "25", "-minrate", "800k", "-maxrate",
             "800k", "-bufsize", "800k", "-coder", "0", "-flags", "+loop+mv4", "-cmp", "256", "-partitions",
             "+parti4x4+partp8x8+partb8x8", p.out + "clip.mp4"},
            {p.tool("ma"), p.out + "clip.mp4.temp", p.out + "clip.mp4"},
            {ffmpeg, "-y", "-i", src, "-f", "webm", "-acodec", "libvorbis", "-ac", "2", "-ab", "96k", "-ar", "22050",
             "-vcodec", "libvpx", "-b:v", "800k", "-quality", "good", "-cpu-used", "0", "-qmin", "10", "-qmax", "42",
             "-minrate", "800k", "-maxrate", "800k", "-bufsize", "800k", p.out + "clip.webm"},
            {ffmpeg, "-i", src, "-ss", "00:00:30.000", "-vframes", "1", p.out + "clip.jpg"},
        };
        const QList<QStringList> runs = p.runs();
        QCOMPARE(runs.size(), expected.size());
        for (int i = 0; i < runs.size(); ++i)
            QCOMPARE(runs.at(i), expected.at(i));
        // The MP4 went through the faststart tool and its ".temp" is gone.
        QCOMPARE(sizeOf(p.out + "clip.mp4"), 600000);
        QVERIFY(!QFile::exists(p.out + "clip.mp4.temp"));
        // The last video made is shown, not the still image.
        QCOMPARE(p.prompts.revealed(), QStringList{p.out + "clip.webm"});
        QVERIFY(p.window->txtApp->text().isEmpty());
        QCOMPARE(mdlMain::intEncodeKind, qint16(0));
        VERIFY_PROMPTS(p.prompts);
    }

    // A confirmed cancel ends the whole request: the partial output goes and
    // the WebM asked for too is not made.
    void cancelEndsTheRequest_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::newRow("FLV under way") << QByteArray("write:1000 sleep:20000");
        QTest::newRow("before any output") << QByteArray("sleep:20000");
    }
    void cancelEndsTheRequest()
    {
        QFETCH(QByteArray, script);
        Program p;
        ui::setCheckValue(p.window->chkMp4, 0);
        ui::setCheckValue(p.window->chkWebm, 1);
        qputenv("FAKETOOL_SCRIPT_FFMPEG", script);
        p.cancelSoon();
        p.prompts.expectMessage("ENCODING CANCELLED!");
        p.window->cmdEncode_Click();
        QVERIFY(!QFile::exists(p.out + "clip.flv"));
        QCOMPARE(p.runs().size(), 1);
        QVERIFY(!mdlMain::blnCancelled);
        VERIFY_PROMPTS(p.prompts);
    }

    // Each run is judged by what the encoder did: its exit status, the frames
    // it reported, its last error line; never by the size of its file.
    void verdicts_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<bool>("still");
        QTest::addColumn<QStringList>("notices");  // before the final question
        QTest::addColumn<QString>("revealed");     // "" = no final question
        QTest::addColumn<QList<qint64>>("sizes");  // FLV, MP4 afterwards; -1 = none
        QTest::addColumn<int>("runs");
        const QByteArray flv = "ifarg:.flv ", mp4 = "ifarg:.mp4 ", end = " endif ";
        QTest::newRow("status 1 after 700 kB, with its last error line")
            << flv + "write:700000 err:Error\\sclosing\\sfile\\sx.flv:\\sNo\\sspace\\sleft\\son\\sdevice\\n"
                     " err:Conversion\\sfailed!\\n exit:1" + end + mp4 + frames + " write:300000" + end
            << false << QStringList{"ENCODING FAILED! ERROR CLOSING FILE X.FLV: NO SPACE LEFT ON DEVICE."} << "clip.mp4"
            << QList<qint64>{-1, 300000} << 3;
        QTest::newRow("failed MP4 is not made streamable")
            << flv + frames + " write:300000" + end + mp4 + "write:700000 exit:1" + end << false
            << QStringList{"ENCODING FAILED! THE ENCODER STOPPED WITH STATUS 1."} << "clip.flv"
            << QList<qint64>{300000, -1} << 2;
        QTest::newRow("killed by a signal")
            << flv + frames + " write:700000 raise:9" + end + mp4 + frames + " write:600000" + end << false
            << QStringList{"ENCODING FAILED! THE ENCODER WAS STOPPED BY SIGNAL 9 (SIGKILL)."} << "clip.mp4"
            << QList<qint64>{-1, 600000} << 3;
        QTest::newRow("status 0 without frames") << QByteArray("write:700000") << false
            << QStringList{"ENCODING FAILED! BAD SOURCE FILE.", "ENCODING FAILED! BAD SOURCE FILE."} << ""
            << QList<qint64>{700000, 700000} << 3;
        QTest::newRow("every output failed") << QByteArray("write:700000 exit:1") << false
            << QStringList{"ENCODING FAILED! THE ENCODER STOPPED WITH STATUS 1.",
                           "ENCODING FAILED! THE ENCODER STOPPED WITH STATUS 1."}
            << "" << QList<qint64>{-1, -1} << 2;
        QTest::newRow("status unknown: the size rule")
            << flv + "write:300000 close sleep:1500" + end + mp4 + "write:700000 close sleep:1500" + end << false
            << QStringList{"ENCODING FAILED! BAD SOURCE FILE."} << "clip.mp4" << QList<qint64>{300000, 700000} << 3;
        QTest::newRow("still image past the end")
            << "ifarg:.jpg err:Output\\sfile\\sis\\sempty,\\snothing\\swas\\sencoded\\n endif "
               "ifarg:.flv " + frames + " write:600000 endif" << true
            << QStringList{"STILL IMAGE NOT GRABBED! THE VIDEO IS SHORTER THAN 00:30."} << "clip.flv"
            << QList<qint64>{600000, -1} << 1;
        QTest::newRow("still image declined")
            << "ifarg:.jpg err:File\\s'clip.jpg'\\salready\\sexists.\\sOverwrite?\\s[y/N]\\sNot\\soverwriting\\s-\\s"
               "exiting\\n exit:1 endif ifarg:.flv " + frames + " write:600000 endif" << true
            << QStringList{"STILL IMAGE NOT GRABBED! FILE 'CLIP.JPG' ALREADY EXISTS. OVERWRITE? [Y/N] NOT OVERWRITING - "
                           "EXITING."}
            << "clip.flv" << QList<qint64>{600000, -1} << 1;
    }
    void verdicts()
    {
        QFETCH(QByteArray, script);
        QFETCH(bool, still);
        QFETCH(QStringList, notices);
        QFETCH(QString, revealed);
        QFETCH(QList<qint64>, sizes);
        QFETCH(int, runs);
        Program p;
        if (still)
            ui::setCheckValue(p.window->chkMp4, 0);
        ui::setCheckValue(p.window->chkGrabStillImage, still ? 1 : 0);
        qputenv("FAKETOOL_SCRIPT_FFMPEG", script);
        for (const QString &notice : notices)
            p.prompts.expectMessage(notice);
        if (!revealed.isEmpty())
            p.prompts.expectMessage(encode_question(p.out), vbYes);
        p.window->cmdEncode_Click();
        QCOMPARE(p.prompts.revealed(), revealed.isEmpty() ? QStringList() : QStringList{p.out + revealed});
        QCOMPARE(QFileInfo::exists(p.out + "clip.flv") ? sizeOf(p.out + "clip.flv") : -1, sizes.at(0));
        QCOMPARE(QFileInfo::exists(p.out + "clip.mp4") ? sizeOf(p.out + "clip.mp4") : -1, sizes.at(1));
        QVERIFY(!QFileInfo::exists(p.out + "clip.mp4.temp"));
        QCOMPARE(p.runs().size(), runs + (still ? 1 : 0));
        VERIFY_PROMPTS(p.prompts);
    }

    void onlyWebmAndStillImage()
    {
        Program p;
        ui::setCheckValue(p.window->chkFLV, 0);
        ui::setCheckValue(p.window->chkMp4, 0);
        ui::setCheckValue(p.window->chkWebm, 1);
        ui::setCheckValue(p.window->chkGrabStillImage, 1);
        p.prompts.expectMessage(encode_question(p.out), vbYes);
        p.window->cmdEncode_Click();
        QCOMPARE(p.prompts.revealed(), QStringList{p.out + "clip.webm"});
        VERIFY_PROMPTS(p.prompts);
    }

    void noOutputIsUnsupported()
    {
        Program p;
        ui::setCheckValue(p.window->chkWebm, 1);
        qputenv("FAKETOOL_SCRIPT_FFMPEG", "err:Invalid\\sdata exit:1");
        p.prompts.expectMessage("UNSUPPORTED FILE!");
        p.window->cmdEncode_Click();
        QCOMPARE(p.runs().size(), 1);
        VERIFY_PROMPTS(p.prompts);
    }

    void oldOutputKeptWithYesIsNotTakenForNew()
    {
        Program p;
        ui::setCheckValue(p.window->chkMp4, 0);
        writeFileBytes(p.out + "clip.flv", QByteArray(900000, 'o'));
        qputenv("FAKETOOL_SCRIPT_FFMPEG", "exit:1");
        p.prompts.expectMessage("clip.flv ALREADY EXISTS IN OUTPUT FOLDER. OVERWRITE?", vbYes);
        p.prompts.expectMessage("UNSUPPORTED FILE!");
        p.window->cmdEncode_Click();
        QCOMPARE(sizeOf(p.out + "clip.flv"), 900000);
        VERIFY_PROMPTS(p.prompts);
    }

    void failedFaststartKeepsTheMp4_data()
    {
        QTest::addColumn<QByteArray>("ma");
        QTest::newRow("writes nothing") << QByteArray("out:last\\satom\\sin\\sfile\\swas\\snot\\sa\\smoov\\satom");
        QTest::newRow("fails half-way") << QByteArray("writeto:100:%1 exit:1");
        QTest::newRow("cannot start") << QByteArray();
        QTest::newRow("killed half-way") << QByteArray("writeto:100:%1 raise:9");
    }
    void failedFaststartKeepsTheMp4()
    {
        QFETCH(QByteArray, ma);
        Program p;
        ui::setCheckValue(p.window->chkFLV, 0);
        ma.replace("%1", QFile::encodeName(p.out + "clip.mp4"));
        if (ma.isEmpty())
            QFile::remove(p.tool("ma"));
        else
            qputenv("FAKETOOL_SCRIPT_MA", ma);
        // A ".temp" left by an interrupted run is no obstacle.
        writeFileBytes(p.out + "clip.mp4.temp", QByteArray(5, 'x'));
        if (ma.isEmpty())
            p.prompts.expectMessage("EXECUTEAPP FAILED AT CREATEPROCESS");
        p.prompts.expectMessage(encode_question(p.out), vbNo);
        p.window->cmdEncode_Click();
        QCOMPARE(sizeOf(p.out + "clip.mp4"), 600000);
        QVERIFY(!QFile::exists(p.out + "clip.mp4.temp"));
        VERIFY_PROMPTS(p.prompts);
    }

    void outputNamedLikeTheSourceIsRefused()
    {
        Program p;
        p.window->show();
        ui::setCheckValue(p.window->chkFLV, 0);
        p.window->lblOutDir->setCaption(p.work.filePath("src") + "/");
        p.window->txtOutFileMp4->setText("clip.avi");
        p.prompts.expectMessage("THE OUTPUT MP4 FILE WOULD REPLACE THE SOURCE FILE. CHANGE ITS NAME.");
        p.window->cmdEncode_Click();
        QCOMPARE(p.window->focusWidget(), p.window->txtOutFileMp4);
        QVERIFY(p.runs().isEmpty());
        QCOMPARE(sizeOf(p.source), 1000);
        VERIFY_PROMPTS(p.prompts);
    }

    void watermarkPictureCopyIsRemoved()
    {
        Program p;
        ui::setCheckValue(p.window->chkMp4, 0);
        frmWatermarkOptions &wm = p.forms.watermarkOptions();
        ui::setOption(wm.optImageWM, true);
        p.dir.writeFile("logo.png", "png");
        wm.lblWMImageName->setCaption("logo.png");
        p.prompts.expectMessage(encode_question(p.out), vbNo);
        p.window->cmdEncode_Click();
        QVERIFY(!QFile::exists(p.dir.file("logo.png")));

        // Never a folder or one of the program's own files.
        wm.lblWMImageName->setCaption("config");
        p.prompts.expectMessage("clip.flv ALREADY EXISTS IN OUTPUT FOLDER. OVERWRITE?", vbYes);
        p.prompts.expectMessage(encode_question(p.out), vbNo);
        p.window->cmdEncode_Click();
        QVERIFY(QFileInfo(p.dir.file("config/configvbr.txt")).isFile());
        VERIFY_PROMPTS(p.prompts);
    }

    void videoTagAfterARequest()
    {
        Program p;
        // Before any request has made a video.
        p.prompts.expectMessage("NO VIDEO MADE YET! ENCODE TO MP4 OR WEBM FIRST.");
        p.window->mnuCopyVideoTag->trigger();

        // FLV alone makes no video for the tag.
        ui::setCheckValue(p.window->chkMp4, 0);
        p.prompts.expectMessage(encode_question(p.out), vbNo);
        p.window->cmdEncode_Click();
        p.prompts.expectMessage("NO VIDEO MADE YET! ENCODE TO MP4 OR WEBM FIRST.");
        p.window->mnuCopyVideoTag_Click();

        // MP4, WebM and a still image; the size comes from the engine's
        // description of the made WebM.
        ui::setCheckValue(p.window->chkFLV, 0);
        ui::setCheckValue(p.window->chkMp4, 1);
        ui::setCheckValue(p.window->chkWebm, 1);
        ui::setCheckValue(p.window->chkGrabStillImage, 1);
        p.window->txtOutFileFLV->setText("poster.flv");
        qputenv("FAKETOOL_SCRIPT_FFMPEG",
                "ifarg:-hide_banner err:Stream\\s#0:0:\\sVideo:\\svp8,\\syuv420p,\\s480x360,\\sSAR\\s1:1\\n exit:1 endif "
                + frames + " write:600000");
        p.prompts.expectMessage(encode_question(p.out), vbNo);
        p.window->cmdEncode_Click();
        p.prompts.expectMessage("HTML5 VIDEO TAG COPIED TO THE CLIPBOARD.");
        p.window->mnuCopyVideoTag_Click();
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 QStringLiteral("<video controls width=\"480\" height=\"360\" poster=\"poster.jpg\">\n"
                                "  <source src=\"clip.webm\" type=\"video/webm\">\n"
                                "  <source src=\"clip.mp4\" type=\"video/mp4\">\n"
                                "  Your browser cannot play this video. <a href=\"clip.mp4\">Download it</a>.\n"
                                "</video>\n"));
        // The engine was asked about the WebM.
        QCOMPARE(p.runs().last().mid(1), (QStringList{"-hide_banner", "-i", p.out + "clip.webm"}));
        VERIFY_PROMPTS(p.prompts);
    }

    void imageWatermarkServesEveryRequest()
    {
        Program p;
        ui::setCheckValue(p.window->chkMp4, 0);
        frmWatermarkOptions &wm = p.forms.watermarkOptions();
        const QString picture = p.work.filePath("logo.png");
        writeFileBytes(picture, QByteArray(64, 'p'));
        ui::setOption(wm.optImageWM, true);
        wm.lblWMImagePath->setCaption(picture);
        wm.lblWMImageName->setCaption("logo.png");
        wm.txtWMString->setText(" -vf \"movie='logo.png'[watermark];[in][watermark] overlay=8:8 [out]\"");
        ui::setCheckValue(p.window->chkWatermark, 1);
        // An encoder that makes its output only when it finds the picture in
        // its working folder, as ffmpeg's movie source needs it.
        QFile::remove(p.tool("engine/ffmpeg"));
        p.dir.writeFile("engine/ffmpeg", "#!/bin/sh\nfor last; do :; done\n"
                                         "[ -f logo.png ] && head -c 600000 /dev/zero > \"$last\"\n"
                                         "printf 'frame=   75\\r' >&2\nexit 0\n");
        QFile(p.tool("engine/ffmpeg")).setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        const QString copy = p.dir.file("logo.png");
        QVERIFY(QFile::copy(picture, copy)); // as Save leaves it
        for (int request = 0; request < 2; ++request) {
            QFile::remove(p.out + "clip.flv");
            p.prompts.expectMessage(encode_question(p.out), vbNo);
            p.window->cmdEncode_Click();
            QCOMPARE(sizeOf(p.out + "clip.flv"), 600000);
            // Removed at the end of the request, put back by the next one.
            QVERIFY(!QFile::exists(copy));
        }
        // A picture that is gone stops the request with a clear message.
        QFile::remove(picture);
        QFile::remove(p.out + "clip.flv");
        p.prompts.expectMessage("WATERMARK IMAGE COULD NOT BE COPIED! FILE NOT FOUND.");
        p.window->cmdEncode_Click();
        QVERIFY(!QFile::exists(p.out + "clip.flv"));
        VERIFY_PROMPTS(p.prompts);
    }

    // A ticked box without a saved watermark never encodes without it.
    void tickedBoxWithoutSavedWatermark()
    {
        Program p;
        int shown = 0;
        const std::unique_ptr<QTimer> closer = closeModals(&shown);
        ui::setCheckValue(p.window->chkWatermark, 1); // opens the dialog; closed unsaved
        QCOMPARE(shown, 1);
        p.prompts.expectMessage("PLEASE SAVE THE WATERMARK OPTIONS BEFORE ENCODING!");
        p.window->cmdEncode_Click();
        QCOMPARE(shown, 2);
        QVERIFY(p.runs().isEmpty());
        VERIFY_PROMPTS(p.prompts);
    }

    // The watermark of a loaded profile is the one the encoder draws.
    void profileWatermarkReachesTheEncoder()
    {
        Program p;
        ui::setCheckValue(p.window->chkMp4, 0);
        frmWatermarkOptions &wm = p.forms.watermarkOptions();
        wm.txtWatermark->setText("From the profile");
        ui::setOption(wm.optBottomRight, true);
        wm.txtWMString->setText("saved"); // so ticking opens no dialog
        ui::setCheckValue(p.window->chkWatermark, 1);
        const QString profile = p.work.filePath("p.vlp");
        p.prompts.expectSaveFile(profile).expectMessage("PROFILE SAVED AS " + profile);
        p.window->mnuSaveProfile_Click();
        // Another watermark saved in this run gives way to the profile's.
        wm.txtWatermark->setText("Another");
        wm.cmdSave->click();
        p.window->LoadProfile(profile);
        p.prompts.expectMessage(encode_question(p.out), vbNo);
        p.window->cmdEncode_Click();
        const QStringList run = p.runs().value(0);
        const QStringList filter = cmdline::splitCommandLine(wm.txtWMString->text());
        QCOMPARE(run.mid(run.indexOf("-vf"), 2), filter);
        QVERIFY(filter.value(1).contains("text='From the profile'"));
        VERIFY_PROMPTS(p.prompts);
    }

private:
    // Closes every modal window that opens from now on, counting them.
    static std::unique_ptr<QTimer> closeModals(int *shown)
    {
        auto timer = std::make_unique<QTimer>();
        QObject::connect(timer.get(), &QTimer::timeout, [shown] {
            if (QWidget *modal = QApplication::activeModalWidget(); modal && modal->isVisible()) {
                ++*shown;
                modal->close();
            }
        });
        timer->start(20);
        return timer;
    }

    static QString encode_question(const QString &out)
    {
        return QStringLiteral("FILE(S) ENCODED - ") + out + QStringLiteral("\r\nDO YOU WANT TO OPEN THE OUTPUT FOLDER?");
    }
};

QTEST_MAIN(TestEncode)
#include "tst_encode.moc"
