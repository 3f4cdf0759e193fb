// The console runner (how a tool is started, how its output and its end come
// back) and the ending of our own tool processes by name.
#include "process/mdlDOSPipe.h"
#include "process/mdlKillProcess.h"
#include "support/fixture.h"

#include <QProcess>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

using namespace mdlKillProcess;
using mdlDOSPipe::StartFailure;

namespace {

QTemporaryDir dir;
const auto file = [](const QString &name) { return dir.filePath(name); };
const auto pidIn = [](const char *name) { return fileBytes(file(name)).trimmed().toLongLong(); };

// A small /bin/sh tool, started directly (never through a shell), with its arguments.
QString tool(const QByteArray &body, const QString &arguments = QString())
{
    writeFileBytes(file("t"), "#!/bin/sh\n" + body + '\n');
    QFile::setPermissions(file("t"), QFileDevice::Permissions(0x0700));
    return '"' + file("t") + "\" " + arguments;
}

// What a run wrote, the sizes of its pieces, and "ct" for each piece and the turn of the event loop after it.
struct Run {
    QString text, order;
    QList<int> sizes;
    mdlDOSPipe::RunResult result;
};

Run run(const QString &command, const QString &folder = QString())
{
    Run r;
    r.result = mdlDOSPipe::ExecuteApp(
        command, folder, [&r](const QString &text, const QByteArray &bytes, const ProgressParser &) {
            r.sizes << int(bytes.size()), r.text += text, r.order += 'c';
            QMetaObject::invokeMethod(
                qApp, [&r] { r.order += 't'; }, Qt::QueuedConnection);
        });
    return r;
}

// Running, not a zombie waiting to be collected.
bool alive(qint64 pid)
{
    const QByteArray stat = fileBytes("/proc/" + QString::number(pid) + "/stat");
    return stat.size() && stat.mid(stat.lastIndexOf(')') + 2, 1) != "Z";
}

// Started with this set, the test program only runs the command it names.
const char *helperCommand = "VIDLARK_TEST_RUNNER_COMMAND";

// The tool's lines, else a command as it stands; all it wrote, the sizes of the pieces where the system does
// not choose them; its exit status, or the signal that ended it; why it did not start.
struct Row {
    QByteArray body{};
    QString command{}, text{};
    QList<int> sizes{};
    int code = -1, signal = -1;
    StartFailure failure = StartFailure::None;
};

} // namespace

Q_DECLARE_METATYPE(Row)

class TestRunner : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (qEnvironmentVariableIsSet(helperCommand))
            mdlDOSPipe::ExecuteApp(qEnvironmentVariable(helperCommand), QString(), {}), std::_Exit(0);
    }

    // Output comes in pieces of at most 256 bytes, each followed by one turn of the event loop, stdout and
    // stderr in the order written, a character cut between two reads whole with the later piece; the tool's
    // end as it was, unless it goes on after its output has ended. A tool that cannot start is told, never
    // shown, and never runs.
    void runs_data()
    {
        QTest::addColumn<Row>("row");
        const QByteArray x(440, 'x');
        QTest::newRow("700 bytes, a character cut")
            << Row{.body = "printf 'q=1\\r" + x.left(250) + "\\342\\202\\254" + x + "'",
                   .text = "q=1\r" + x.left(250) + "€" + x,
                   .sizes = {256, 256, 185},
                   .code = 0};
        QTest::newRow("both streams")
            << Row{.body = "echo one; echo two >&2; sleep 0.1; echo three >&2; echo four; exit 1",
                   .text = "one\ntwo\nthree\nfour\n",
                   .code = 1};
        QTest::newRow("killed") << Row{.body = "kill -9 $$", .signal = 9};
        QTest::newRow("not waited for once its output ends")
            << Row{.body = "echo bye; exec sleep 2 >/dev/null 2>&1", .text = "bye\n"};
        QTest::newRow("missing") << Row{.command = "\"/nonexistent/ffmpeg\" -i x",
                                        .failure = StartFailure::Process};
    }
    void runs()
    {
        QFETCH(Row, row);
        const Run r = run(row.body.isEmpty() ? row.command : tool(row.body));
        QCOMPARE(r.text, row.text);
        QCOMPARE(r.order, QString("ct").repeated(r.sizes.size()));
        if (!row.sizes.isEmpty())
            QCOMPARE(r.sizes, row.sizes);
        QCOMPARE(std::tuple(r.result.exitCode.value_or(-1), r.result.signal.value_or(-1),
                            r.result.startFailure, r.result.started),
                 std::tuple(row.code, row.signal, row.failure, row.failure == StartFailure::None));
        QCOMPARE(mdlDOSPipe::startFailureText(row.failure),
                 row.failure == StartFailure::None ? "" : "EXECUTEAPP FAILED AT CREATEPROCESS");
    }

    // The tool runs in its folder, in a process group of its own in our session, with stdin on /dev/null, no
    // descriptor of ours (one not closed on exec included), nothing blocked and SIGPIPE at its default.
    void signalsSetAsideByTheCallerAreNotPassedOn()
    {
        struct sigaction ignore = {}, old = {};
        ignore.sa_handler = SIG_IGN;
        ::sigaction(SIGPIPE, &ignore, &old);
        sigset_t blocked, oldMask;
        sigemptyset(&blocked);
        sigaddset(&blocked, SIGUSR1);
        ::pthread_sigmask(SIG_BLOCK, &blocked, &oldMask);
        const int leak = ::open("/dev/null", O_RDONLY);
        const Run r =
            run(tool("pwd; echo $$ $(cut -d' ' -f4-6 /proc/$$/stat); ls /proc/self/fd | tr '\\n' ' '; echo\n"
                     "read a; echo $?; sed -n 's/^\\(SigBlk\\|SigIgn\\):\\t//p' /proc/self/status"),
                "/");
        ::close(leak);
        ::pthread_sigmask(SIG_SETMASK, &oldMask, nullptr);
        ::sigaction(SIGPIPE, &old, nullptr);
        const QStringList lines = r.text.split('\n');
        const QString pid = lines.value(1).section(' ', 0, 0);
        QVERIFY(pid != QString::number(::getpgrp()));
        QCOMPARE(lines.mid(0, 5),
                 (QStringList{"/", QString("%1 %2 %1 %3").arg(pid).arg(::getpid()).arg(::getsid(0)),
                              "0 1 2 3 ", "1", "0000000000000000"}));
        QCOMPARE(lines.value(5).toULongLong(nullptr, 16) >> (SIGPIPE - 1) & 1, 0);
    }

    // This program, started again as a helper, runs a tool that keeps its output open; the helper is killed
    // while it waits for the tool.
    void toolEndsWithItsCaller()
    {
        QProcess helper;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(helperCommand, tool("echo $$ > \"$1\"; exec sleep 60", file("helper.pid")));
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        helper.setProcessEnvironment(environment);
        helper.start(QCoreApplication::applicationFilePath());
        QTRY_VERIFY_WITH_TIMEOUT(fileBytes(file("helper.pid")).endsWith('\n'), 10000);
        const qint64 started = pidIn("helper.pid");
        QVERIFY(alive(started));
        ::kill(pid_t(helper.processId()), SIGKILL);
        const bool ended = QTest::qWaitFor([started] { return !alive(started); }, 10000);
        ::kill(pid_t(started), SIGKILL);
        QVERIFY(ended);
    }

    // The tool waits, silent, for a file that only a timer of ours makes.
    void silentToolLeavesTheEventLoopTurning()
    {
        QTimer::singleShot(200, this, [] { writeFileBytes(file("go"), "x"); });
        const Run r = run(
            tool("i=0; while [ ! -e \"$1\" ] && [ $i -lt 300 ]; do sleep 0.05; i=$((i+1)); done; ls \"$1\"",
                 file("go")));
        QCOMPARE(r.text, file("go") + '\n');
    }

    // Init, the shell that started us, us; our tool and its children; strangers; our child in our group; a
    // tool's helper handed to init; ours in a stranger's group; ours by a long name, by names that do not
    // match, by argv[0]. A process: pid, parent, group, session, names. Never self or its group, even named
    // like the target.
    void planKill()
    {
        const ProcessEntry self{100, 90, 50, 40, {"vidlark-encoder"}};
        const QList<ProcessEntry> table{{1, 0, 1, 1, {"ffmpeg-init"}},
                                        {90, 1, 50, 40, {"ffmpeg-shell"}},
                                        self,
                                        {200, 100, 200, 40, {"ffmpeg"}},
                                        {201, 200, 200, 40, {"ffmpeg"}},
                                        {300, 1, 300, 9, {"ffmpeg"}},
                                        {301, 1, 301, 40, {"ffmpeg"}},
                                        {310, 100, 50, 40, {" FFmpeg.EXE\t"}},
                                        {400, 1, 400, 40, {"ffmpeg"}},
                                        {77, 1, 77, 40, {"ffmpeg"}},
                                        {500, 100, 77, 40, {"averyverylongna", "averyverylongname-ffmpeg"}},
                                        {600, 100, 600, 40, {"ffmpe", "ff mpeg"}},
                                        {700, 100, 700, 40, {"wrapper"}},
                                        {701, 700, 700, 40, {"exe", "", "FFmpeg-static"}}};
        using Plan = QList<KillTarget>;
        const auto planKill = mdlKillProcess::planKill;
        QCOMPARE(planKill(table, self, {400, 900, 50}, "ffmpeg"),
                 (Plan{{200, true}, {310, false}, {400, true}, {500, false}, {700, true}}));
        QCOMPARE(planKill(table, self, {}, "FFmpeg"),
                 (Plan{{200, true}, {310, false}, {500, false}, {700, true}}));
        QCOMPARE(planKill(table, self, {400}, "no-such-name"), Plan());
        QCOMPARE(planKill(table, {200, 100, 200, 40, {"ffmpeg"}}, {200}, "ffmpeg"), (Plan{{201, false}}));
    }

    // A stranger of the same name, in a session of its own, started by another process, lives; our own child,
    // in our own group, and the helper a tool left behind in its group, handed to init, go; emptied tool
    // groups are forgotten.
    void killEndsOnlyOurOwnProcesses()
    {
        const QString name = file("my-ffmpeg-tool");
        QVERIFY(QFile::link("/bin/sleep", name));
        QVERIFY(QProcess::startDetached(
            "/bin/sh", {"-c", "setsid \"$0\" 30 & echo $! > \"$1\"", name, file("stranger")}));
        QProcess child;
        child.start(name, {"30"});
        run(tool("\"$1\" 30 >/dev/null 2>&1 & echo $! > \"$2\"", name + ' ' + file("helper")));
        QTRY_VERIFY(alive(pidIn("helper")) && alive(pidIn("stranger")) && child.state() == QProcess::Running);
        QVERIFY(!toolGroups().isEmpty());
        KillProcess("FFMPEG");
        QVERIFY(child.waitForFinished(5000));
        QTRY_VERIFY(!alive(pidIn("helper")));
        QTest::qWait(200);
        QVERIFY(alive(pidIn("stranger")));
        ::kill(pid_t(pidIn("stranger")), SIGKILL);
        QTRY_VERIFY((KillProcess("ffmpeg"), toolGroups().isEmpty()));
    }
};

QTEST_MAIN(TestRunner)
#include "tst_runner.moc"
