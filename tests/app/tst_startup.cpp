// Start-up, list loading, closing and the single instance of the program.
#include "app/frmMain.h"
#include "common/mdlMain.h"
#include "common/ui_controls.h"
#include "app/ui_forms.h"
#include "support/scriptedprompts.h"
#include "support/testappdir.h"
#include "support/testprogram.h"
#include "watermark/frmWatermarkOptions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

class TestStartup : public QObject
{
    Q_OBJECT

    using Program = TestProgram;

private slots:
    void init() { mdlMain::blnForceExit = false; }

    void startState()
    {
        Program p;
        QVERIFY(p.window->Form_Load());
        frmMain &w = *p.window;
        QVERIFY(w.isVisible());
        QCOMPARE(w.windowTitle(), QStringLiteral("Vidlark Web Video Encoder 4"));
        QCOMPARE(w.cmbVideoFrameRate->currentText(), QStringLiteral("25"));
        QCOMPARE(w.cmbVideoFrameRate->count(), 8);
        QCOMPARE(w.cmbVideoFrameRate->itemText(7), QStringLiteral("Auto"));
        QCOMPARE(w.cmbAudioSamplerate->currentText(), QStringLiteral("22050"));
        QCOMPARE(w.cmbAudioBitrate->currentText(), QStringLiteral("96"));
        QCOMPARE(w.cmbAudioBitrate->count(), 11);
        QVERIFY(w.optVideoWindowOriginal->isChecked());
        QVERIFY(!w.optVideoWindowResize->isChecked());
        QCOMPARE(ui::checkValue(w.chkFLV), 1);
        QCOMPARE(ui::checkValue(w.chkMp4), 1);
        QCOMPARE(ui::checkValue(w.chkWebm), 0);
        QCOMPARE(ui::checkValue(w.chkWatermark), 0);
        QCOMPARE(ui::checkValue(w.chkGrabStillImage), 0);
        QCOMPARE(ui::checkValue(w.chkLockLocation), 0);
        QCOMPARE(w.txtFrameMinute->text(), QStringLiteral("00"));
        QCOMPARE(w.txtFrameSecond->text(), QStringLiteral("30"));
        QCOMPARE(w.cmbVideoWindow->currentIndex(), 0);
        QCOMPARE(w.cmbVideoBitrate->currentIndex(), 4);
        QVERIFY(w.txtApp->isHidden());
        QVERIFY(!mdlMain::blnForceExit);
        // The watermark dialog is loaded but not shown.
        QVERIFY(p.forms.watermarkOptionsLoaded());
        QVERIFY(!p.forms.watermarkOptions().isVisible());
        // Fixed size: the window cannot be resized.
        QCOMPARE(w.minimumSize(), w.maximumSize());
        // Controls carry their tooltips and names for assistive technology.
        QCOMPARE(w.cmdInput->toolTip(), QStringLiteral(" Select your video file for encoding "));
        QCOMPARE(w.cmdWMOptions->toolTip(), QStringLiteral(" Watermark options  "));
        QCOMPARE(w.findChild<QWidget *>(QStringLiteral("imgFBLike"))->toolTip(),
                 QStringLiteral(" Please \"Like\" us on FaceBook "));
        QVERIFY(!w.findChild<QWidget *>(QStringLiteral("imgFBLike"))->accessibleName().isEmpty());
        QCOMPARE(w.txtOutFileFLV->accessibleName(), QStringLiteral("FLV File Name"));
        QCOMPARE(p.ended, 0);
        VERIFY_PROMPTS(p.prompts);
    }

    void listsAreReadAsWritten()
    {
        Program p;
        p.dir.writeFile(QStringLiteral("config/configvws.txt"),
                        "\r\n640x480 VGA\r\n\r\n\r\n 320x240 leading blank  \r\n1280x720\n");
        p.dir.writeFile(QStringLiteral("config/configvbr.txt"), "100\r\n200\r\n300\r\n400\r\n500\r\n600");
        QVERIFY(p.window->Form_Load());
        QCOMPARE(entries(p.window->cmbVideoWindow),
                 (QStringList{"640x480 VGA", " 320x240 leading blank  ", "1280x720"}));
        QCOMPARE(entries(p.window->cmbVideoBitrate), (QStringList{"100", "200", "300", "400", "500", "600"}));
        QCOMPARE(p.window->cmbVideoBitrate->currentText(), QStringLiteral("500"));
        VERIFY_PROMPTS(p.prompts);
    }

    void shortBitrateLists_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("selected");
        QTest::newRow("one") << QByteArray("700\r\n") << "700";
        QTest::newRow("two") << QByteArray("700\r\n800\r\n") << "700";
        QTest::newRow("four") << QByteArray("1\r\n2\r\n3\r\n\r\n4\r\n") << "1";
        QTest::newRow("five") << QByteArray("1\r\n2\r\n3\r\n4\r\n5\r\n") << "5";
    }
    void shortBitrateLists()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, selected);
        Program p;
        p.dir.writeFile(QStringLiteral("config/configvbr.txt"), file);
        QVERIFY(p.window->Form_Load());
        QCOMPARE(p.window->cmbVideoBitrate->currentText(), selected);
        QCOMPARE(p.ended, 0);
        VERIFY_PROMPTS(p.prompts);
    }

    void badListEndsTheProgram_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("remove");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing sizes") << "config/configvws.txt" << true << QByteArray()
                                       << "ERROR# 53 FILE NOT FOUND. PLEASE CONTACT SUPPORT.";
        QTest::newRow("missing rates") << "config/configvbr.txt" << true << QByteArray()
                                       << "ERROR# 53 FILE NOT FOUND. PLEASE CONTACT SUPPORT.";
        QTest::newRow("empty sizes") << "config/configvws.txt" << false << QByteArray("\r\n\r\n")
                                     << "ERROR# 380 INVALID PROPERTY VALUE. PLEASE CONTACT SUPPORT.";
        QTest::newRow("empty rates") << "config/configvbr.txt" << false << QByteArray()
                                     << "ERROR# 380 INVALID PROPERTY VALUE. PLEASE CONTACT SUPPORT.";
    }
    void badListEndsTheProgram()
    {
        QFETCH(QString, file);
        QFETCH(bool, remove);
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        Program p;
        if (remove)
            QVERIFY(QFile::remove(p.dir.file(file)));
        else
            p.dir.writeFile(file, content);
        p.prompts.expectMessage(message);
        QVERIFY(!p.window->Form_Load());
        QCOMPARE(p.ended, 1);
        QVERIFY(mdlMain::blnForceExit);
        // The failure report is an error box; no close question follows.
        QCOMPARE(p.prompts.records().size(), 1);
        QVERIFY(p.prompts.records().first().icon == MsgIcon::Critical);
        QCOMPARE(p.prompts.records().first().title, QStringLiteral("Error"));
        // Start-up went no further: the watermark dialog was never loaded.
        QVERIFY(!p.forms.watermarkOptionsLoaded());
        VERIFY_PROMPTS(p.prompts);
    }

    void closeQuestion()
    {
        Program p;
        QVERIFY(p.window->Form_Load());
        p.window->cmbVideoFrameRate->setCurrentIndex(7);
        // No: everything stays, whichever way the close was asked for.
        p.prompts.expectMessage(QStringLiteral("CLOSE SOFTWARE?"), mdlMain::vbNo);
        p.window->cmdClose_Click();
        p.prompts.expectMessage(QStringLiteral("CLOSE SOFTWARE?"), mdlMain::vbNo);
        p.window->mnuExit_Click();
        p.prompts.expectMessage(QStringLiteral("CLOSE SOFTWARE?"), mdlMain::vbNo);
        QVERIFY(!p.window->close());
        QVERIFY(p.window->isVisible());
        QCOMPARE(p.window->cmbVideoFrameRate->currentText(), QStringLiteral("Auto"));
        QCOMPARE(p.ended, 0);
        QCOMPARE(mdlMain::strMsgAnswer, QStringLiteral("7"));
        QVERIFY(p.prompts.records().first().icon == MsgIcon::Question);
        QCOMPARE(p.prompts.records().first().title, QStringLiteral("Confirm"));
        // Yes ends the program and drops the hidden windows.
        p.prompts.expectMessage(QStringLiteral("CLOSE SOFTWARE?"), mdlMain::vbYes);
        p.window->mnuExit_Click();
        QCOMPARE(p.ended, 1);
        QCOMPARE(mdlMain::strMsgAnswer, QStringLiteral("6"));
        QVERIFY(!p.forms.watermarkOptionsLoaded());
        VERIFY_PROMPTS(p.prompts);
    }

    void webLinks()
    {
        Program p;
        QVERIFY(p.window->Form_Load());
        p.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(p.window.get()));
        QTest::keyClick(p.window.get(), Qt::Key_F1);
        QTest::keyClick(p.window.get(), Qt::Key_F2);
        p.window->lblLink_Click();
        p.window->imgFBLike_Click();
        const QStringList urls = p.prompts.urls();
        QCOMPARE(urls.size(), 4);
        QCOMPARE(QSet<QString>(urls.begin(), urls.end()).size(), 4);
        for (const QString &url : urls)
            QVERIFY(url.startsWith(QLatin1String("https://")));
        VERIFY_PROMPTS(p.prompts);
    }

    void secondInstanceOfTheRealProgram()
    {
        QTemporaryDir runtime;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        const QString firstLog = runtime.path() + QStringLiteral("/first.log");
        const QString secondLog = runtime.path() + QStringLiteral("/second.log");

        QProcess first;
        env.insert(QStringLiteral("VIDLARK_PROMPT_LOG"), firstLog);
        first.setProcessEnvironment(env);
        first.start(programBinary(), {});
        QVERIFY(first.waitForStarted());
        // The first instance holds its lock once it runs.
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(runtime.path() + QStringLiteral("/vidlark-encoder.lock")), 10000);

        QProcess second;
        env.insert(QStringLiteral("VIDLARK_PROMPT_LOG"), secondLog);
        second.setProcessEnvironment(env);
        second.start(programBinary(), {});
        QVERIFY(second.waitForFinished(20000));
        QCOMPARE(second.exitCode(), 0);
        QFile log(secondLog);
        QVERIFY(log.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(log.readAll()),
                 QStringLiteral("message|critical|Error|THIS SOFTWARE IS ALREADY OPEN!\n"));

        // The first is untouched and asked nothing.
        QVERIFY(first.state() == QProcess::Running);
        QVERIFY(!QFile::exists(firstLog));
        first.terminate();
        first.waitForFinished(5000);
        if (first.state() != QProcess::NotRunning)
            first.kill();
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
