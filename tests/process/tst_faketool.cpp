// The fake tool that stands in for ffmpeg and ma in tests: where its actions
// come from, what they do, and its invocation log.
#include "support/faketool_log.h"
#include "support/testappdir.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Result {
    QByteArray out;
    QByteArray err;
    int code = -1;
};

Result runTool(const QString &program, const QStringList &args, const QMap<QString, QString> &env = {})
{
    QProcess p;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    for (const QString &k : e.keys())
        if (k.startsWith(QLatin1String("FAKETOOL_")))
            e.remove(k);
    for (auto it = env.cbegin(); it != env.cend(); ++it)
        e.insert(it.key(), it.value());
    p.setProcessEnvironment(e);
    p.start(program, args);
    p.waitForFinished(20000);
    return Result{p.readAllStandardOutput(), p.readAllStandardError(),
                  p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1};
}

} // namespace

class TestFakeTool : public QObject
{
    Q_OBJECT
private slots:
    void actionsFromArguments();
    void scriptByToolNameComesFirst();
    void unknownScriptActionFails();
    void outputFilesLikeAnEncoder();
    void repeatedTextRunsOnAcrossWrites();
    void logGivesBackEveryArgument();
    void logFieldsDecodeAnyByte();
};

void TestFakeTool::actionsFromArguments()
{
    const Result r = runTool(fakeToolBinary(), {"out:a\\sb\\n", "err:E", "not-an-action", "out:\\x41\\\\", "exit:4", "out:never"});
    QCOMPARE(r.out, QByteArray("a b\nA\\"));
    QCOMPARE(r.err, QByteArray("E"));
    QCOMPARE(r.code, 4);
}

void TestFakeTool::scriptByToolNameComesFirst()
{
    QTemporaryDir dir;
    for (const char *name : {"ffmpeg", "ma", "qt-faststart"})
        QVERIFY(QFile::link(fakeToolBinary(), dir.filePath(QLatin1String(name))));
    const QMap<QString, QString> env{{"FAKETOOL_SCRIPT", "out:generic"},
                                     {"FAKETOOL_SCRIPT_FFMPEG", "out:encoder"},
                                     {"FAKETOOL_SCRIPT_QT_FASTSTART", "out:faststart"}};
    // In script mode the arguments are only arguments.
    QCOMPARE(runTool(dir.filePath("ffmpeg"), {"out:ignored"}, env).out, QByteArray("encoder"));
    QCOMPARE(runTool(dir.filePath("ma"), {}, env).out, QByteArray("generic"));
    QCOMPARE(runTool(dir.filePath("qt-faststart"), {}, env).out, QByteArray("faststart"));
    QCOMPARE(runTool(dir.filePath("ma"), {"out:args"}, {}).out, QByteArray("args"));
}

void TestFakeTool::unknownScriptActionFails()
{
    const Result r = runTool(fakeToolBinary(), {}, {{"FAKETOOL_SCRIPT", "out:x typo:1"}});
    QCOMPARE(r.code, 2);
    QVERIFY(r.err.contains("unknown action typo:1"));
}

void TestFakeTool::outputFilesLikeAnEncoder()
{
    QTemporaryDir dir;
    const QString script = QStringLiteral(
        "ifarg:.flv write:1000 endif "
        "ifarg:.mp4 ifarg:-movflags write:30 endif endif "
        "ifarg:.webm writeto:7:%1 endif "
        "ifarg:.temp copy endif")
                               .arg(dir.filePath("side\\sfile.txt"));
    const QMap<QString, QString> env{{"FAKETOOL_SCRIPT", script}};
    runTool(fakeToolBinary(), {"-i", "in.avi", "-y", dir.filePath("a.flv")}, env);
    QCOMPARE(QFileInfo(dir.filePath("a.flv")).size(), 1000);
    runTool(fakeToolBinary(), {"-i", "in.avi", "-y", dir.filePath("a.mp4")}, env);
    QVERIFY(!QFile::exists(dir.filePath("a.mp4")));
    runTool(fakeToolBinary(), {"-i", "in.avi", "-movflags", "+faststart", dir.filePath("b.mp4")}, env);
    QCOMPARE(QFileInfo(dir.filePath("b.mp4")).size(), 30);
    runTool(fakeToolBinary(), {"x.webm"}, env);
    QCOMPARE(QFileInfo(dir.filePath("side file.txt")).size(), 7);
    // A faststart stand-in: input to output, byte for byte.
    QFile in(dir.filePath("c.temp"));
    QVERIFY(in.open(QIODevice::WriteOnly));
    in.write(QByteArray("\x00\x01moov\xffmdat", 11));
    in.close();
    runTool(fakeToolBinary(), {dir.filePath("c.temp"), dir.filePath("c.mp4")}, env);
    QFile out(dir.filePath("c.mp4"));
    QVERIFY(out.open(QIODevice::ReadOnly));
    QCOMPARE(out.readAll(), QByteArray("\x00\x01moov\xffmdat", 11));
}

void TestFakeTool::repeatedTextRunsOnAcrossWrites()
{
    const Result r = runTool(fakeToolBinary(), {"outn:200000:abc\\n"});
    QCOMPARE(r.out.size(), 200000);
    QByteArray expected;
    while (expected.size() < 200000)
        expected += "abc\n";
    expected.truncate(200000);
    QCOMPARE(r.out, expected);
}

void TestFakeTool::logGivesBackEveryArgument()
{
    QTemporaryDir dir;
    const QString log = dir.filePath("log");
    const QStringList first{"-i", "a b.avi", "tab\there", "line\nbreak\r", "back\\slash\\", "", "été 🎬", "$(x);`y`"};
    const QStringList second{"out:x"};
    runTool(fakeToolBinary(), first, {{"FAKETOOL_LOG", log}, {"FAKETOOL_SCRIPT", "out:x"}});
    runTool(fakeToolBinary(), second, {{"FAKETOOL_LOG", log}});
    const QList<QStringList> records = readFakeToolLog(log);
    QCOMPARE(records.size(), 2);
    QCOMPARE(records.at(0), QStringList{fakeToolBinary()} + first);
    QCOMPARE(records.at(1), QStringList{fakeToolBinary()} + second);
    QCOMPARE(readFakeToolLog(dir.filePath("missing")), QList<QStringList>());
}

void TestFakeTool::logFieldsDecodeAnyByte()
{
    QCOMPARE(unescapeFakeToolField("a\\x80\\xFFb\\t\\n\\r\\\\"), QByteArray("a\x80\xff" "b\t\n\r\\"));
    QCOMPARE(unescapeFakeToolField("plain text"), QByteArray("plain text"));
}

QTEST_GUILESS_MAIN(TestFakeTool)
#include "tst_faketool.moc"
