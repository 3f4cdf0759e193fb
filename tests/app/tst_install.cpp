// Per-user install and uninstall: the desktop entry, the profile MIME type,
// a program that finds its folder through the launcher link, and nothing
// left behind.
#include "support/testappdir.h"

#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

int run(const QString &program, const QStringList &args, QString *output = nullptr)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(120000))
        return -1;
    if (output)
        *output = QString::fromUtf8(p.readAll());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

QStringList everything(const QString &root)
{
    QStringList out;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        out << it.next().mid(root.size());
    out.sort();
    return out;
}

const QString scripts = QStringLiteral(VIDLARK_SOURCE_DIR "/scripts/");

} // namespace

class TestInstall : public QObject
{
    Q_OBJECT
private slots:
    void installRunUninstall()
    {
        QTemporaryDir home;
        const QString prefix = home.filePath("local prefix");
        QString output;
        QCOMPARE(run(scripts + "install.sh", {buildAppDir(), prefix}, &output), 0);

        const QString desktop = prefix + "/share/applications/vidlark-encoder.desktop";
        const QString mime = prefix + "/share/mime/packages/vidlark-encoder.xml";
        QVERIFY(QFile::exists(desktop));
        QVERIFY(QFile::exists(prefix + "/share/icons/hicolor/48x48/apps/vidlark-encoder.png"));
        QVERIFY(QFile::exists(prefix + "/lib/vidlark-encoder/config/configvbr.txt"));
        QVERIFY(QFileInfo(prefix + "/lib/vidlark-encoder/engine/ffmpeg").isExecutable());

        if (!QStandardPaths::findExecutable("desktop-file-validate").isEmpty()) {
            QCOMPARE(run("desktop-file-validate", {desktop}, &output), 0);
            QVERIFY2(output.trimmed().isEmpty(), qPrintable(output));
        } else {
            QFAIL("desktop-file-validate is missing (package desktop-file-utils)");
        }
        QCOMPARE(run("xmllint", {"--noout", mime}, &output), 0);
        QFile entry(desktop);
        QVERIFY(entry.open(QIODevice::ReadOnly));
        const QByteArray text = entry.readAll();
        QVERIFY(text.contains("MimeType=application/x-vidlark-profile;"));
        QVERIFY(text.contains("Exec=\"" + QFile::encodeName(prefix) + "/bin/vidlark-encoder\" %f"));
        // The MIME database knows .vlp files now.
        QVERIFY(QFile::exists(prefix + "/share/mime/application/x-vidlark-profile.xml"));

        // Started through the launcher link the program finds its own
        // folder: a profile that does not exist is reported, and the program
        // stays open (a missing list would have ended it).
        QTemporaryDir runtime;
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_RUNTIME_DIR", runtime.path());
        env.insert("VIDLARK_PROMPT_LOG", runtime.filePath("prompts.log"));
        program.setProcessEnvironment(env);
        program.start(prefix + "/bin/vidlark-encoder", {home.filePath("missing.vlp")});
        QVERIFY(program.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(runtime.filePath("prompts.log")), 15000);
        QTest::qWait(300);
        QVERIFY(program.state() == QProcess::Running);
        QFile log(runtime.filePath("prompts.log"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QCOMPARE(log.readAll(), QByteArray("message|critical|Error|ERROR# 53 FILE NOT FOUND. PLEASE CONTACT SUPPORT.\n"));
        program.kill();
        program.waitForFinished();

        // Installing again replaces the earlier install.
        QCOMPARE(run(scripts + "install.sh", {buildAppDir(), prefix}), 0);
        QCOMPARE(run(scripts + "uninstall.sh", {prefix}, &output), 0);
        QCOMPARE(everything(home.path()), QStringList());
    }

    void uninstallKeepsWhatWasThere()
    {
        QTemporaryDir home;
        const QString prefix = home.path();
        QDir().mkpath(prefix + "/bin");
        QDir().mkpath(prefix + "/share/icons/hicolor/48x48/apps");
        QFile other(prefix + "/bin/other-tool");
        QVERIFY(other.open(QIODevice::WriteOnly));
        other.write("#!/bin/sh\n");
        other.close();
        const QStringList before = everything(prefix);
        QCOMPARE(run(scripts + "install.sh", {buildAppDir(), prefix}), 0);
        QVERIFY(everything(prefix).size() > before.size());
        QCOMPARE(run(scripts + "uninstall.sh", {prefix}), 0);
        QCOMPARE(everything(prefix), before);
    }
};

QTEST_GUILESS_MAIN(TestInstall)
#include "tst_install.moc"
