// A profile named on the command line, applied at the end of start-up: in
// the window under test, and through the real program binary.
#include "app/frmMain.h"
#include "common/mdlMain.h"
#include "common/ui_controls.h"
#include "app/ui_forms.h"
#include "settings/profile.h"
#include "support/scriptedprompts.h"
#include "support/testappdir.h"
#include "support/testprogram.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

// FLV off, MP4 on, WebM on, keep the window size, first size, fifth
// bitrate, frame rate "Auto": a short profile, lines 0 to 8.
QByteArray shortProfile()
{
    QByteArray out;
    for (const char *line : {"vdlkenc", "0", "1", "1", "True", "False", "0", "4", "7"})
        out += profile::EncryptText(line, profile::cipherKey) + "\r\n";
    return out;
}

QString readText(const QString &path)
{
    return QString::fromUtf8(fileBytes(path));
}

struct Program : TestProgram {
    explicit Program(const QStringList &arguments) { forms.arguments = arguments; }
    bool profileApplied() const
    {
        return ui::checkValue(window->chkFLV) == 0 && ui::checkValue(window->chkWebm) == 1
            && window->cmbVideoFrameRate->currentText() == QLatin1String("Auto");
    }
};

// The real program, started unattended: prompts go to a log, the settings
// are dumped once start-up is complete.
class RealProgram
{
public:
    explicit RealProgram(const QString &argument)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path()); // its own single-instance lock
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("VIDLARK_PROMPT_LOG"), promptLog());
        env.insert(QStringLiteral("VIDLARK_DUMP_SETTINGS"), dump());
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(programBinary(), {argument});
    }
    ~RealProgram()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    QString promptLog() const { return m_runtime.filePath(QStringLiteral("prompts.log")); }
    QString dump() const { return m_runtime.filePath(QStringLiteral("settings.txt")); }
    bool running() const { return m_process.state() == QProcess::Running; }
    QStringList settings() const { return readText(dump()).split(QLatin1Char('\n')); }

private:
    QTemporaryDir m_runtime;
    QProcess m_process;
};

} // namespace

class TestCommandLine : public QObject
{
    Q_OBJECT
private slots:
    void init() { mdlMain::blnForceExit = false; }

    // The bare form, as a shell passes a quoted path, is the real program's
    // test below; here the quoted form, a second argument that is not part
    // of the path, and no argument at all.
    void argumentInTheWindow()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("my profile.vlp"));
        QVERIFY(writeFileBytes(path, shortProfile()));
        Program p({QLatin1Char('"') + path + QLatin1Char('"'), QStringLiteral("extra")});
        QVERIFY(p.window->Form_Load());
        QVERIFY(p.profileApplied());
        QCOMPARE(p.window->strCommandArg, path);
        QCOMPARE(p.ended, 0);
        VERIFY_PROMPTS(p.prompts);

        Program none({});
        QVERIFY(none.window->Form_Load());
        QVERIFY(!none.profileApplied());
        QCOMPARE(none.window->strCommandArg, QString());
        VERIFY_PROMPTS(none.prompts);
    }

    // A path that names no file gives the general error report, after the
    // splash has closed, and the program stays open.
    void argumentsThatNameNoProfile_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("taken");
        QTest::addColumn<QString>("message");
        const QString notFound = QStringLiteral("ERROR# 53 FILE NOT FOUND. PLEASE CONTACT SUPPORT.");
        QTest::newRow("one character") << "x" << "x" << notFound;
        QTest::newRow("one double quote") << "\"" << "\"" << notFound;
        QTest::newRow("opening quote only") << "\"/nowhere/p.vlp" << "\"/nowhere/p.vlp"
                                            << QStringLiteral("ERROR# 76 PATH NOT FOUND. PLEASE CONTACT SUPPORT.");
        QTest::newRow("two quotes") << "\"\"" << "" << notFound;
    }
    void argumentsThatNameNoProfile()
    {
        QFETCH(QString, argument);
        QFETCH(QString, taken);
        QFETCH(QString, message);
        Program p({argument});
        bool splashGone = false;
        p.prompts.expectMessage(message).onNext([&splashGone] {
            splashGone = QApplication::activeModalWidget() == nullptr;
        });
        QVERIFY(p.window->Form_Load());
        QVERIFY(splashGone);
        QCOMPARE(p.window->strCommandArg, taken);
        QVERIFY(p.window->isVisible());
        QCOMPARE(p.ended, 0);
        QVERIFY(!mdlMain::blnForceExit);
        VERIFY_PROMPTS(p.prompts);
    }

    void argumentThatIsNoProfile()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("notes.txt"));
        QVERIFY(writeFileBytes(path, "just some notes\r\n"));
        Program p({path});
        p.prompts.expectMessage(QStringLiteral("NOT A VALID VIDLARK WEB VIDEO ENCODER PROFILE!"));
        QVERIFY(p.window->Form_Load());
        QCOMPARE(p.ended, 0);
        VERIFY_PROMPTS(p.prompts);
    }

    // The real binary, with the path bare (as a shell passes a quoted path)
    // and with the quotes a launcher may pass through.
    void realProgram_data()
    {
        QTest::addColumn<bool>("quoted");
        QTest::newRow("bare") << false;
        QTest::newRow("quoted") << true;
    }
    void realProgram()
    {
        QFETCH(bool, quoted);
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("web clips.vlp"));
        QVERIFY(writeFileBytes(path, shortProfile()));
        RealProgram program(quoted ? QLatin1Char('"') + path + QLatin1Char('"') : path);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(program.dump()), 30000);
        const QStringList settings = program.settings();
        QVERIFY2(settings.size() >= 29, qPrintable(settings.join(QLatin1Char('|'))));
        QCOMPARE(settings.at(0), QStringLiteral("0=vdlkenc"));
        QCOMPARE(settings.at(1), QStringLiteral("1=0"));  // FLV off
        QCOMPARE(settings.at(3), QStringLiteral("3=1"));  // WebM on
        QCOMPARE(settings.at(8), QStringLiteral("8=7"));  // frame rate "Auto"
        QCOMPARE(settings.at(27), QStringLiteral("27=8")); // untouched: audio bitrate "96"
        QVERIFY(!QFile::exists(program.promptLog()));
        QVERIFY(program.running());
    }

    void realProgramWithAMissingProfile()
    {
        QTemporaryDir folder;
        RealProgram program(folder.filePath(QStringLiteral("gone.vlp")));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(program.dump()), 30000);
        QCOMPARE(readText(program.promptLog()),
                 QStringLiteral("message|critical|Error|ERROR# 53 FILE NOT FOUND. PLEASE CONTACT SUPPORT.\n"));
        // Start-up went on to its end and the program stays open.
        QCOMPARE(program.settings().at(1), QStringLiteral("1=1"));
        QTest::qWait(300);
        QVERIFY(program.running());
    }
};

QTEST_MAIN(TestCommandLine)
#include "tst_commandline.moc"
