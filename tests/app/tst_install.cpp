// Installing for one user with scripts/install.sh and removing it with
// scripts/uninstall.sh: launchers that run from the installed folder, a valid
// desktop entry and MIME type, and nothing left behind but what was there.
#include "support/fixture.h"

#include <QtTest>

namespace {

// Runs a program to its end: its exit status, -1 when it did not end by itself.
int run(const QString &program, const QStringList &arguments, QByteArray *output = nullptr)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    const bool ended = process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit;
    if (output)
        *output = process.readAll();
    return ended ? process.exitCode() : -1;
}

// Every file and folder under the root, relative to it.
QStringList tree(const QString &root)
{
    QStringList paths;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        paths << it.next().mid(root.size());
    paths.sort();
    return paths;
}

} // namespace

class TestInstall : public QObject
{
    Q_OBJECT

private slots:
    void installAndUninstall()
    {
        QTemporaryDir home, scratch;
        const QString prefix = home.filePath("my prefix"), lib = prefix + "/lib/vidlark-encoder";
        const QString scripts = QStringLiteral(VIDLARK_SOURCE_DIR "/scripts/");
        writeFileBytes(prefix + "/bin/other-tool", "there before"); // and kept
        const QStringList before = tree(home.path());
        QByteArray output;
        QVERIFY2(run(scripts + "install.sh", {buildAppDir(), prefix}, &output) == 0, output);

        // Each launcher runs the program of the installed folder with that folder's lists and tools.
        writeFileBytes(lib + "/config/configvbr.txt", "100\n200\n"); // two bitrates: the first is taken
        QVERIFY(makeClip(scratch.filePath("clip.avi"), 1, "160x120"));
        QVERIFY2(run(prefix + "/bin/vidlark-encode", {"-q", "-f", "flv", "-o", scratch.path(), scratch.filePath("clip.avi")}, &output) == 0,
                 output);
        QCOMPARE(probeStreams(scratch.filePath("clip.flv")), QStringList({"video:h264", "audio:aac"}));
        QProcess program;
        program.setEnvironment(QStringList{"QT_QPA_PLATFORM=offscreen", "XDG_RUNTIME_DIR=" + scratch.path(),
                                           "VIDLARK_PROMPT_LOG=" + scratch.filePath("prompts"),
                                           "VIDLARK_DUMP_SETTINGS=" + scratch.filePath("settings")}
                               + QProcess::systemEnvironment());
        program.start(prefix + "/bin/vidlark-encoder", {});
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(scratch.filePath("settings")) || program.state() == QProcess::NotRunning, 30000);
        program.kill();
        QVERIFY2(fileBytes(scratch.filePath("settings")).contains("\n7=0\n"), fileBytes(scratch.filePath("prompts")));

        const QString desktop = prefix + "/share/applications/vidlark-encoder.desktop";
        QVERIFY2(run("desktop-file-validate", {desktop}, &output) == 0 && output.isEmpty(), output);
        QVERIFY(fileBytes(desktop).contains("Exec=\"" + QFile::encodeName(prefix) + "/bin/vidlark-encoder\" %f\n"));
        QVERIFY2(run("xmllint", {"--noout", prefix + "/share/mime/packages/vidlark-encoder.xml"}, &output) == 0, output);

        QVERIFY2(run(scripts + "uninstall.sh", {prefix}, &output) == 0, output);
        QCOMPARE(tree(home.path()), before);
    }
};

QTEST_MAIN(TestInstall)
#include "tst_install.moc"
