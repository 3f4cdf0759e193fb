// The console runner (how a tool is started, how its output and its end come
// back) and the ending of our own tool processes by name.
#include "common/cmdline.h"
#include "process/mdlDOSPipe.h"
#include "process/mdlKillProcess.h"
#include "support/fixture.h"

#include <QProcess>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace mdlKillProcess;

namespace {

struct Run {
    QList<QByteArray> chunks;
    QString text;
    QStringList order; // "chunk" and "turn" (of the event loop) as they happened
    mdlDOSPipe::RunResult result;
};

// Small /bin/sh tools, started directly (never through a shell).
struct Tools {
    QTemporaryDir dir;
    QString make(const QString &name, const QByteArray &body) const
    {
        const QString path = dir.filePath(name);
        writeFileBytes(path, "#!/bin/sh\n" + body);
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        return cmdline::quoteArgument(path);
    }
    QString file(const char *name) const { return dir.filePath(QLatin1String(name)); }
};

Run run(const QString &command, IPrompts &prompts, const QString &folder = QString())
{
    Run r;
    r.result = mdlDOSPipe::ExecuteApp(command, prompts, folder, [&r](const QString &text, const QByteArray &bytes,
                                                                     const ProgressParser &) {
        r.chunks << bytes;
        r.text += text;
        r.order << "chunk";
        QMetaObject::invokeMethod(qApp, [&r] { r.order << "turn"; }, Qt::QueuedConnection);
    });
    return r;
}

bool alive(qint64 pid) // running, not a zombie waiting to be collected
{
    const QByteArray stat = fileBytes(QStringLiteral("/proc/%1/stat").arg(pid));
    return !stat.isEmpty() && stat.mid(stat.lastIndexOf(')') + 2, 1) != "Z";
}

// Started with this set, the test program only runs the command it names.
constexpr char kHelperCommand[] = "VIDLARK_TEST_RUNNER_COMMAND";

} // namespace

class TestRunner : public QObject
{
    Q_OBJECT
    ScriptedPrompts m_prompts;
    Tools m_tools;

private slots:
    void initTestCase()
    {
        if (!qEnvironmentVariableIsSet(kHelperCommand))
            return;
        mdlDOSPipe::ExecuteApp(qEnvironmentVariable(kHelperCommand), m_prompts, QString(), {});
        std::_Exit(0);
    }
    void init() { m_prompts = ScriptedPrompts(); }
    void cleanup() { VERIFY_PROMPTS(m_prompts); }

    void outputComesInPiecesOf256WithATurnAfterEach()
    {
        // 700 bytes in one write, a status line first.
        const Run r = run(m_tools.make("t", "x=$(head -c 684 /dev/zero | tr '\\0' x); printf 'frame=   12 q=1\\r%s' \"$x\"\n"), m_prompts);
        const QByteArray all = "frame=   12 q=1\r" + QByteArray(684, 'x');
        QCOMPARE(r.chunks, (QList<QByteArray>{all.left(256), all.mid(256, 256), all.mid(512)}));
        QCOMPARE(r.order, (QStringList{"chunk", "turn", "chunk", "turn", "chunk", "turn"}));
        QCOMPARE(r.text, QString::fromLatin1(all));
        QVERIFY(r.result.started && r.result.succeeded() && r.result.report.frames() == 12);
    }

    void stdoutAndStderrShareOnePipeInWriteOrder()
    {
        const Run r = run(m_tools.make("t", "echo one; echo two >&2; echo three; sleep 0.1; echo four >&2; echo five\n"), m_prompts);
        QCOMPARE(r.text, QStringLiteral("one\ntwo\nthree\nfour\nfive\n"));
    }

    void toolEnvironment()
    {
        // A descriptor of ours that is not closed on exec must not reach the tool.
        const int leak = ::open("/dev/null", O_RDONLY);
        QDir().mkpath(m_tools.file("app folder"));
        const Run r = run(m_tools.make("t", "pwd\necho $$ $(cut -d' ' -f4-6 /proc/$$/stat)\nls /proc/self/fd | tr '\\n' ' '\n"
                                            "echo; read answer; echo \"read=$? [$answer]\"\n"),
                          m_prompts, m_tools.file("app folder"));
        ::close(leak);
        const QStringList lines = r.text.split('\n');
        QCOMPARE(lines.value(0), m_tools.file("app folder"));
        // pid, parent, group, session: a group of its own in our session.
        const QStringList ids = lines.value(1).split(' ');
        QCOMPARE(ids, (QStringList{ids.value(0), QString::number(::getpid()), ids.value(0), QString::number(::getsid(0))}));
        QVERIFY(ids.value(0) != QString::number(::getpgrp()));
        QCOMPARE(lines.value(2), QStringLiteral("0 1 2 3 ")); // ls itself reads the folder on 3
        QCOMPARE(lines.value(3), QStringLiteral("read=1 []")); // stdin is /dev/null
    }

    void signalsSetAsideByTheCallerAreNotPassedOn()
    {
        struct sigaction ignore = {}, old = {};
        ignore.sa_handler = SIG_IGN;
        ::sigaction(SIGPIPE, &ignore, &old);
        sigset_t blocked, oldMask;
        sigemptyset(&blocked);
        sigaddset(&blocked, SIGUSR1);
        ::pthread_sigmask(SIG_BLOCK, &blocked, &oldMask);
        const Run r = run(m_tools.make("t", "exec sed -n 's/^\\(SigBlk\\|SigIgn\\):\\t//p' /proc/self/status\n"), m_prompts);
        ::pthread_sigmask(SIG_SETMASK, &oldMask, nullptr);
        ::sigaction(SIGPIPE, &old, nullptr);
        const QStringList masks = r.text.split('\n'); // blocked, ignored
        QCOMPARE(masks.value(0), QStringLiteral("0000000000000000"));
        QCOMPARE(masks.value(1).toULongLong(nullptr, 16) & (1ULL << (SIGPIPE - 1)), 0ULL);
    }

    void toolEndsWithItsCaller()
    {
        // This program, started again as a helper, runs a tool that keeps
        // its output open; the helper is killed while it waits for the tool.
        const QString pidFile = m_tools.file("helper-tool.pid");
        QFile::remove(pidFile);
        QProcess helper;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(kHelperCommand, m_tools.make("t", "echo $$ > \"$1\"; exec sleep 60\n") + " \"" + pidFile + '"');
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        helper.setProcessEnvironment(environment);
        helper.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        helper.start(QCoreApplication::applicationFilePath(), {});
        QTRY_VERIFY_WITH_TIMEOUT(fileBytes(pidFile).endsWith('\n'), 10000);
        const pid_t tool = pid_t(fileBytes(pidFile).trimmed().toLongLong());
        QVERIFY(alive(tool));
        ::kill(pid_t(helper.processId()), SIGKILL);
        QVERIFY(helper.waitForFinished(5000));
        const bool ended = QTest::qWaitFor([tool] { return !alive(tool); }, 10000);
        if (!ended)
            ::kill(tool, SIGKILL);
        QVERIFY(ended);
    }

    void exitStatus_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("signal");
        QTest::newRow("0") << QByteArray("echo done") << 0 << -1;
        QTest::newRow("1") << QByteArray("echo partial; exit 1") << 1 << -1;
        QTest::newRow("255") << QByteArray("exit 255") << 255 << -1;
        QTest::newRow("killed") << QByteArray("kill -9 $$") << -1 << 9;
        QTest::newRow("aborted") << QByteArray("kill -6 $$") << -1 << 6;
    }

    void exitStatus()
    {
        QFETCH(QByteArray, body);
        QFETCH(int, code);
        QFETCH(int, signal);
        const Run r = run(m_tools.make("t", body + '\n'), m_prompts);
        QCOMPARE(std::pair(r.result.exitCode.value_or(-1), r.result.signal.value_or(-1)), std::pair(code, signal));
    }

    void toolThatClosesItsOutputIsReapedLater()
    {
        const Run r = run(m_tools.make("t", "echo $$ > \"$1\"; echo bye; exec sleep 2 >/dev/null 2>&1\n") + " \""
                              + m_tools.file("pid") + '"',
                          m_prompts);
        const qint64 pid = fileBytes(m_tools.file("pid")).trimmed().toLongLong();
        QCOMPARE(r.text, QStringLiteral("bye\n"));
        QVERIFY(r.result.started && !r.result.statusKnown());
        QVERIFY(alive(pid)); // the run did not wait for it
        QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(QStringLiteral("/proc/%1").arg(pid)), 10000); // no zombie left
    }

    void toolThatCannotStart_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("folder");
        QTest::newRow("missing") << "\"/nonexistent/engine/ffmpeg\" -i x" << QString();
        QTest::newRow("not on PATH") << "vidlark-no-such-tool -v" << QString();
        QTest::newRow("not executable") << "" << QString();
        QTest::newRow("blank") << " \t " << QString();
        QTest::newRow("no such folder") << "/bin/true" << "/nonexistent/folder";
    }

    void toolThatCannotStart()
    {
        QFETCH(QString, command);
        QFETCH(QString, folder);
        if (command.isEmpty()) {
            command = m_tools.make("plain", "touch \"$0.ran\"\n");
            QFile::setPermissions(m_tools.file("plain"), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        }
        m_prompts.expectMessage("EXECUTEAPP FAILED AT CREATEPROCESS");
        const Run r = run(command, m_prompts, folder);
        QVERIFY(!r.result.started && !r.result.statusKnown() && r.chunks.isEmpty() && !QFile::exists(m_tools.file("plain.ran")));
        QCOMPARE(m_prompts.messages().size(), 1);
    }

    void noDescriptorLeftForThePipe()
    {
        const QString tool = m_tools.make("t", "touch \"$0.ran\"\n");
        rlimit old{};
        getrlimit(RLIMIT_NOFILE, &old);
        const int lowest = ::dup(0); // the lowest free descriptor becomes the limit
        ::close(lowest);
        const rlimit tight{rlim_t(lowest), old.rlim_max};
        setrlimit(RLIMIT_NOFILE, &tight);
        m_prompts.expectMessage("EXECUTEAPP FAILED AT CREATEPIPE");
        const Run r = run(tool, m_prompts);
        setrlimit(RLIMIT_NOFILE, &old);
        QVERIFY(!r.result.started && !QFile::exists(m_tools.file("t.ran")));
        QCOMPARE(m_prompts.messages().size(), 1);
    }

    void characterCutBetweenReadsArrivesWhole()
    {
        for (const QString &character : {QStringLiteral("é"), QStringLiteral("€"), QStringLiteral("🎬")}) {
            for (int lead = 256 - character.toUtf8().size() + 1; lead < 256; ++lead) {
                QByteArray octal;
                for (char c : character.toUtf8())
                    octal += '\\' + QByteArray::number(uchar(c), 8);
                const Run r = run(m_tools.make("t", "printf '" + QByteArray(lead, 'a') + octal + " end'\n"), m_prompts);
                QCOMPARE(r.chunks.value(0).size(), 256);
                QCOMPARE(r.text, QString(lead, 'a') + character + " end");
            }
        }
    }

    void silentToolLeavesTheEventLoopTurning()
    {
        // The tool waits, silent, for a file that only a timer of ours makes.
        QTimer::singleShot(200, this, [this] { writeFileBytes(m_tools.file("go"), "x"); });
        const Run r = run(m_tools.make("t", "i=0; while [ ! -e \"$1\" ] && [ $i -lt 300 ]; do sleep 0.05; i=$((i+1)); done\n"
                                            "[ -e \"$1\" ] && echo seen\n") + " \"" + m_tools.file("go") + '"',
                          m_prompts);
        QCOMPARE(r.text, QStringLiteral("seen\n"));
    }

    void nameMatches()
    {
        for (const auto &[name, matches] : QList<std::pair<QString, bool>>{{"ffmpeg", true}, {"FFMPEG.EXE", true},
                 {" ffmpeg-gui.exe\t", true}, {"my_FFmpeg_wrapper", true}, {"ff mpeg", false}, {"ffmpe", false},
                 {"ffprobe", false}, {"ma", false}, {"", false}})
            QCOMPARE(name + '>' + QString::number(mdlKillProcess::nameMatches(name, "FFmpeg")), name + '>' + QString::number(matches));
    }

    void planKill()
    {
        const ProcessEntry self{100, 90, 50, 40, {"vidlark-encoder"}}; // pid, parent, group, session, names
        const QList<ProcessEntry> table{
            {1, 0, 1, 1, {"ffmpeg-init"}}, {90, 1, 50, 40, {"ffmpeg-shell"}}, self, // init, the shell that started us, us
            {200, 100, 200, 40, {"ffmpeg"}}, {201, 200, 200, 40, {"ffmpeg"}}, {202, 200, 200, 40, {"helper"}}, // our tool, its children
            {300, 1, 300, 999, {"ffmpeg"}}, {301, 1, 301, 40, {"ffmpeg"}}, // strangers
            {310, 100, 50, 40, {"ffmpeg"}}, {400, 1, 400, 40, {"ffmpeg"}}, // our child in our group; a tool's helper handed to init
            {77, 1, 77, 40, {"ffmpeg"}}, {500, 100, 77, 40, {"averyverylongna", "averyverylongname-ffmpeg"}}, // ours in a stranger's group
            {600, 100, 600, 40, {"ma"}}, {700, 100, 700, 40, {"wrapper"}}, {701, 700, 700, 40, {"exe", "", "FFmpeg-static"}}};
        using Plan = QList<KillTarget>;
        QCOMPARE(mdlKillProcess::planKill(table, self, {400, 900, 50}, "ffmpeg"),
                 (Plan{{200, true}, {310, false}, {400, true}, {500, false}, {700, true}}));
        QCOMPARE(mdlKillProcess::planKill(table, self, {}, "ffmpeg"), (Plan{{200, true}, {310, false}, {500, false}, {700, true}}));
        QCOMPARE(mdlKillProcess::planKill(table, self, {400}, "no-such-name"), Plan());
        // Never self or its group, even named like the target: its child alone.
        QCOMPARE(mdlKillProcess::planKill(table, {200, 100, 200, 40, {"ffmpeg"}}, {200}, "ffmpeg"), (Plan{{201, false}}));
    }

    void killEndsOnlyOurOwnProcesses()
    {
        const QString name = m_tools.file("my-ffmpeg-tool");
        QVERIFY(QFile::link("/bin/sleep", name));
        // A stranger of the same name, in a session of its own, started by another process.
        QVERIFY(QProcess::startDetached("/bin/sh", {"-c", "setsid \"$0\" 30 & echo $! > \"$1\"", name, m_tools.file("stranger")}));
        QTRY_VERIFY(!fileBytes(m_tools.file("stranger")).isEmpty());
        const qint64 stranger = fileBytes(m_tools.file("stranger")).trimmed().toLongLong();
        QProcess child; // our own child, in our own group
        child.start(name, {"30"});
        QVERIFY(child.waitForStarted());
        // A tool that leaves a helper behind, in the tool's group, handed to init.
        run(m_tools.make("t", "\"$1\" 30 >/dev/null 2>&1 & echo $! > \"$2\"\n") + ' ' + cmdline::quoteArgument(name) + " \""
                + m_tools.file("helper") + '"',
            m_prompts);
        const qint64 helper = fileBytes(m_tools.file("helper")).trimmed().toLongLong();
        QTRY_VERIFY(alive(helper) && alive(stranger));
        const QList<ProcessEntry> table = readProcessTable(); // a process goes by its short, executable and argv[0] names
        const auto own = std::find_if(table.cbegin(), table.cend(), [&](const ProcessEntry &e) { return e.pid == child.processId(); });
        QVERIFY(own != table.cend() && own->ppid == ::getpid() && own->pgid == ::getpgrp() && own->sid == ::getsid(0));
        QCOMPARE(own->names, (QStringList{"my-ffmpeg-tool", "sleep", "my-ffmpeg-tool"}));
        QVERIFY(!toolGroups().isEmpty());
        KillProcess("FFMPEG");
        QVERIFY(child.waitForFinished(5000));
        QTRY_VERIFY(!alive(helper));
        QTest::qWait(200);
        QVERIFY(alive(stranger));
        ::kill(pid_t(stranger), SIGKILL);
        QTRY_VERIFY((KillProcess("ffmpeg"), toolGroups().isEmpty())); // emptied tool groups are forgotten
    }
};

QTEST_MAIN(TestRunner)
#include "tst_runner.moc"
