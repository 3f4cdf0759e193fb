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
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        paths << it.next().mid(root.size());
    paths.sort();
    return paths;
}

// What `make TARGET PREFIX=prefix` runs for its last step, run as make runs
// it, from the source folder: the Makefile must hand over a prefix with
// blanks whole.
int viaMake(const QString &target, const QString &prefix, QByteArray *output)
{
    QProcess make;
    make.start("make",
               {"-n", "-s", "-C", VIDLARK_SOURCE_DIR, target, "BUILD=" + QFileInfo(buildAppDir()).path(),
                "PREFIX=" + prefix});
    if (!make.waitForFinished(60000) || make.exitCode() != 0)
        return -1;
    const QByteArray line = make.readAllStandardOutput().trimmed().split('\n').constLast();
    QProcess shell;
    shell.setWorkingDirectory(VIDLARK_SOURCE_DIR);
    shell.setProcessChannelMode(QProcess::MergedChannels);
    shell.start("sh", {"-c", QString::fromUtf8(line)});
    const bool ended = shell.waitForFinished(120000) && shell.exitStatus() == QProcess::NormalExit;
    *output = shell.readAll();
    return ended ? shell.exitCode() : -1;
}

} // namespace

class TestInstall : public QObject
{
    Q_OBJECT

private slots:
    void installAndUninstall()
    {
        QTemporaryDir home, scratch;
        const QString prefix = home.filePath("my prefix");
        writeFileBytes(prefix + "/bin/other-tool", "there before"); // and kept
        const QStringList before = tree(home.path());
        QByteArray output;
        QVERIFY2(viaMake("install", prefix, &output) == 0, output);

        // The launcher runs the program of the installed folder with that folder's tools.
        QVERIFY(makeClip(scratch.filePath("clip.avi"), 1, "160x120"));
        QVERIFY2(run(prefix + "/bin/vidlark-encode",
                     {"-q", "-f", "flv", "-o", scratch.path(), scratch.filePath("clip.avi")}, &output)
                     == 0,
                 output);
        QCOMPARE(probeStreams(scratch.filePath("clip.flv")), QStringList({"video:h264", "audio:aac"}));

        const QString desktop = prefix + "/share/applications/vidlark-encoder.desktop";
        QVERIFY2(run("desktop-file-validate", {desktop}, &output) == 0 && output.isEmpty(), output);
        QVERIFY(fileBytes(desktop).contains("Exec=\"" + QFile::encodeName(prefix)
                                            + "/bin/vidlark-encoder\" %f\n"));
        QVERIFY2(run("xmllint", {"--noout", prefix + "/share/mime/packages/vidlark-encoder.xml"}, &output)
                     == 0,
                 output);

        QVERIFY2(viaMake("uninstall", prefix, &output) == 0, output);
        QCOMPARE(tree(home.path()), before);
    }
};

QTEST_MAIN(TestInstall)
#include "tst_install.moc"
