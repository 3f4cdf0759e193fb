// The console runner: how a tool is started and how its output comes back.
#include "common/cmdline.h"
#include "process/mdlDOSPipe.h"
#include "support/faketool_log.h"
#include "support/scriptedprompts.h"
#include "support/testappdir.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>
#include <sys/resource.h>
#include <unistd.h>

using cmdline::quoteArgument;

namespace {

struct Run {
    QList<QByteArray> chunks;
    QString text;
    QStringList order; // "chunk" and "turn" in the order they happened
    mdlDOSPipe::RunResult result;
    qint64 ms = 0;
};

QString tool(const QString &actions)
{
    return quoteArgument(fakeToolBinary()) + QLatin1Char(' ') + actions;
}

Run runCommand(const QString &command, IPrompts &prompts, const QString &folder = QDir::tempPath())
{
    Run run;
    QElapsedTimer clock;
    clock.start();
    run.result = mdlDOSPipe::ExecuteApp(command, prompts, folder, [&run](const QString &text, const QByteArray &bytes, const ProgressParser &) {
        run.chunks << bytes;
        run.text += text;
        run.order << QStringLiteral("chunk");
        // Runs on the next turn of the event loop.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [&run] { run.order << QStringLiteral("turn"); }, Qt::QueuedConnection);
    });
    run.ms = clock.elapsed();
    return run;
}

bool processExists(qint64 pid)
{
    return pid > 0 && QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid));
}

} // namespace

class TestRunner : public QObject
{
    Q_OBJECT
    std::unique_ptr<ScriptedPrompts> m_prompts;
private slots:
    void init() { m_prompts = std::make_unique<ScriptedPrompts>(); }

    void outputComesInPiecesOf256WithATurnAfterEach()
    {
        const Run run = runCommand(tool(QStringLiteral("outn:700:0123456789")), *m_prompts);
        QCOMPARE(run.result.exitCode, std::optional<int>(0));
        QCOMPARE(run.chunks.size(), 3);
        QCOMPARE((QList<qsizetype>{run.chunks.at(0).size(), run.chunks.at(1).size(), run.chunks.at(2).size()}),
                 (QList<qsizetype>{256, 256, 188}));
        QCOMPARE(run.chunks.join(), QByteArray("0123456789").repeated(70));
        QCOMPARE(run.text, QString::fromLatin1(run.chunks.join()));
        QCOMPARE(run.order.mid(0, 6), (QStringList{"chunk", "turn", "chunk", "turn", "chunk", "turn"}));
        VERIFY_PROMPTS(*m_prompts);
    }

    void stdoutAndStderrInterleaveInOrder()
    {
        // Pauses between the writes put them into separate reads; without them
        // they may share a read, in the same order.
        for (const QString &gap : {QStringLiteral("sleep:30"), QString()}) {
            const QString actions = QStringLiteral("out:one\\n %1 err:two\\n %1 out:three\\n %1 err:four\\r\\n %1 out:five").arg(gap);
            const Run run = runCommand(tool(actions), *m_prompts);
            QCOMPARE(run.text, QStringLiteral("one\ntwo\nthree\nfour\r\nfive"));
            if (!gap.isEmpty())
                QCOMPARE(run.chunks.size(), 5);
        }
        VERIFY_PROMPTS(*m_prompts);
    }

    void silentToolGivesNothingAndTheLoopStillTurns()
    {
        int ticks = 0;
        qint64 worstGap = 0;
        QElapsedTimer sinceTick;
        sinceTick.start();
        QTimer timer;
        timer.setInterval(20);
        connect(&timer, &QTimer::timeout, this, [&] {
            ++ticks;
            worstGap = qMax(worstGap, sinceTick.restart());
        });
        timer.start();
        sinceTick.restart();
        const Run run = runCommand(tool(QStringLiteral("sleep:800")), *m_prompts);
        timer.stop();
        QVERIFY(run.chunks.isEmpty());
        QCOMPARE(run.text, QString());
        QCOMPARE(run.result.exitCode, std::optional<int>(0));
        QVERIFY2(run.ms >= 750, qPrintable(QString::number(run.ms)));
        // The timer keeps firing while the tool is silent (bounds generous
        // enough for a loaded machine; the figures are the benchmark's job).
        QVERIFY2(ticks >= 5, qPrintable(QStringLiteral("only %1 ticks in %2 ms").arg(ticks).arg(run.ms)));
        QVERIFY2(worstGap < 600, qPrintable(QStringLiteral("timer waited %1 ms").arg(worstGap)));
        VERIFY_PROMPTS(*m_prompts);
    }

    void questionOnStdinGetsEndOfFile()
    {
        const Run run = runCommand(tool(QStringLiteral("ask:Overwrite?\\s[y/N]\\s out:after")), *m_prompts);
        QCOMPARE(run.text, QStringLiteral("Overwrite? [y/N] answer:EOF\nafter"));
        QVERIFY2(run.ms < 5000, qPrintable(QString::number(run.ms)));
        VERIFY_PROMPTS(*m_prompts);
    }

    void multibyteCharacterCutBetweenReads_data()
    {
        QTest::addColumn<int>("lead"); // ASCII bytes before the character
        QTest::addColumn<QString>("character");
        QTest::newRow("2-byte, cut after 1") << 255 << QStringLiteral("é");
        QTest::newRow("3-byte, cut after 1") << 255 << QStringLiteral("€");
        QTest::newRow("3-byte, cut after 2") << 254 << QStringLiteral("€");
        QTest::newRow("4-byte, cut after 1") << 255 << QStringLiteral("🎬");
        QTest::newRow("4-byte, cut after 2") << 254 << QStringLiteral("🎬");
        QTest::newRow("4-byte, cut after 3") << 253 << QStringLiteral("🎬");
    }

    void multibyteCharacterCutBetweenReads()
    {
        QFETCH(int, lead);
        QFETCH(QString, character);
        const QString tail = QStringLiteral(" Größe 日本");
        QString escaped;
        for (char c : (character + tail).toUtf8())
            escaped += QStringLiteral("\\x%1").arg(uchar(c), 2, 16, QLatin1Char('0'));
        // One write, so the first read takes exactly 256 bytes of it.
        const Run run = runCommand(tool(QStringLiteral("out:%1%2").arg(QString(lead, QLatin1Char('a')), escaped)), *m_prompts);
        QVERIFY(run.chunks.size() >= 2);
        QCOMPARE(run.chunks.first().size(), 256);
        QVERIFY(uchar(run.chunks.first().back()) >= 0x80); // the cut falls inside the character
        QCOMPARE(run.text, QString(lead, QLatin1Char('a')) + character + tail);
        QVERIFY(!run.text.contains(QChar::ReplacementCharacter));
        VERIFY_PROMPTS(*m_prompts);
    }

    void toolThatCannotStart_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("makeFile"); // a plain file without the execute bit
        QTest::newRow("missing program") << "\"/nonexistent/vidlark/ffmpeg\" -i x" << QString();
        QTest::newRow("program not on PATH") << "vidlark-no-such-tool-xyz -v" << QString();
        QTest::newRow("not executable") << "" << "notexec";
        QTest::newRow("a folder") << "\"/tmp\" -x" << QString();
        QTest::newRow("empty command") << "" << QString();
        QTest::newRow("blank command") << " \t " << QString();
    }

    void toolThatCannotStart()
    {
        QFETCH(QString, command);
        QFETCH(QString, makeFile);
        QTemporaryDir dir;
        if (!makeFile.isEmpty()) {
            const QString path = dir.filePath(makeFile);
            QFile::copy(fakeToolBinary(), path);
            QFile(path).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
            command = quoteArgument(path) + QStringLiteral(" out:should-not-run");
        }
        // A successful run before: the failed one must not report its status.

        m_prompts->expectMessage(QStringLiteral("EXECUTEAPP FAILED AT CREATEPROCESS"));
        const Run run = runCommand(command, *m_prompts);
        QVERIFY(!run.result.started && !run.result.statusKnown());
        QVERIFY(run.chunks.isEmpty());
        QCOMPARE(m_prompts->records().size(), 1);
        VERIFY_PROMPTS(*m_prompts);
    }

    void pipeThatCannotBeMade()
    {
        QTemporaryDir dir;
        const QString log = dir.filePath(QStringLiteral("log"));
        qputenv("FAKETOOL_LOG", QFile::encodeName(log));
        // No descriptor left: the lowest free one becomes the limit.
        rlimit old{};
        QVERIFY(getrlimit(RLIMIT_NOFILE, &old) == 0);
        const int lowest = ::dup(0);
        QVERIFY(lowest > 0);
        ::close(lowest);
        rlimit tight = old;
        tight.rlim_cur = rlim_t(lowest);
        QVERIFY(setrlimit(RLIMIT_NOFILE, &tight) == 0);
        m_prompts->expectMessage(QStringLiteral("EXECUTEAPP FAILED AT CREATEPIPE"));
        const mdlDOSPipe::RunResult result =
            mdlDOSPipe::ExecuteApp(tool(QStringLiteral("out:x")), *m_prompts, QDir::tempPath(), {});
        setrlimit(RLIMIT_NOFILE, &old);
        qunsetenv("FAKETOOL_LOG");
        QVERIFY(!result.started);
        QCOMPARE(m_prompts->records().size(), 1);
        QVERIFY(!QFile::exists(log)); // nothing was started
        VERIFY_PROMPTS(*m_prompts);
    }

    void hostileArgumentsArriveUnchanged()
    {
        QTemporaryDir dir;
        const QString log = dir.filePath(QStringLiteral("log"));
        const QString work = dir.filePath(QStringLiteral("work"));
        QDir().mkpath(work);
        const QStringList args{
            QStringLiteral("/tmp/my  videos/a b.avi"),
            QStringLiteral(R"(/tmp/"quoted" name.mp4)"),
            QStringLiteral("/tmp/it's o'clock.avi"),
            QStringLiteral("$(touch pwned1)"),
            QStringLiteral("a; touch pwned2"),
            QStringLiteral("`touch pwned3`"),
            QStringLiteral("| touch pwned4 &"),
            QStringLiteral(R"(C:\dir\file.avi)"),
            QStringLiteral(R"(/tmp/folder\)"),
            QStringLiteral(R"(x\"y\\)"),
            QStringLiteral("/tmp/Видео/été 日本 🎬.mkv"),
            QStringLiteral("tab\there"),
            QString(),
            QStringLiteral("*"),
            QStringLiteral("~"),
            QStringLiteral("$HOME"),
        };
        QString command = quoteArgument(fakeToolBinary());
        for (const QString &a : args)
            command += QLatin1Char(' ') + quoteArgument(a);
        qputenv("FAKETOOL_LOG", QFile::encodeName(log));
        const Run run = runCommand(command, *m_prompts, work);
        qunsetenv("FAKETOOL_LOG");
        const QList<QStringList> records = readFakeToolLog(log);
        QCOMPARE(records.size(), 1);
        QCOMPARE(records.first(), QStringList{fakeToolBinary()} + args);
        QCOMPARE(QDir(work).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
        VERIFY_PROMPTS(*m_prompts);
    }

    void programPathWithBlanksAndNonAscii()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("My Tools 'été' $(x)"));
        QDir().mkpath(folder);
        const QString program = folder + QStringLiteral("/fake tool");
        QVERIFY(QFile::link(fakeToolBinary(), program));
        const Run run = runCommand(quoteArgument(program) + QStringLiteral(" out:started"), *m_prompts);
        QCOMPARE(run.text, QStringLiteral("started"));
        VERIFY_PROMPTS(*m_prompts);
    }

    void toolRunsInTheWorkingFolderInItsOwnGroup()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("app folder"));
        QDir().mkpath(folder);
        const Run run = runCommand(tool(QStringLiteral("cwd ids fds")), *m_prompts, folder);
        const QStringList lines = run.text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines.at(0), QStringLiteral("cwd=") + QFileInfo(folder).canonicalFilePath());
        // pid=P ppid=Q pgid=G sid=S
        const QStringList ids = lines.at(1).split(QLatin1Char(' '));
        QCOMPARE(ids.size(), 4);
        const qint64 pid = ids.at(0).mid(4).toLongLong();
        QCOMPARE(ids.at(1), QStringLiteral("ppid=%1").arg(::getpid()));
        QCOMPARE(ids.at(2), QStringLiteral("pgid=%1").arg(pid)); // a group of its own
        QVERIFY(ids.at(2) != QStringLiteral("pgid=%1").arg(::getpgrp()));
        QCOMPARE(ids.at(3), QStringLiteral("sid=%1").arg(::getsid(0)));
        // stdin, stdout and stderr only: nothing of ours leaks into the tool.
        QCOMPARE(lines.at(2), QStringLiteral("fds=0,1,2"));
        VERIFY_PROMPTS(*m_prompts);
    }

    void runEndsWhenEveryWriterHasClosed()
    {
        // The tool ends at once; the child it started holds the output 600 ms.
        const Run run = runCommand(tool(QStringLiteral("spawn sleep:600 out:child\\n end out:parent\\n")), *m_prompts);
        QCOMPARE(run.text, QStringLiteral("parent\nchild\n"));
        QVERIFY2(run.ms >= 550, qPrintable(QString::number(run.ms)));
        VERIFY_PROMPTS(*m_prompts);
    }

    void exitStatus_data()
    {
        QTest::addColumn<QString>("actions");
        QTest::addColumn<int>("status"); // below 0: the signal, negated
        QTest::newRow("normal end") << "out:x" << 0;
        QTest::newRow("exit 0") << "exit:0" << 0;
        QTest::newRow("exit 1") << "out:partial exit:1" << 1;
        QTest::newRow("exit 255") << "exit:255" << 255;
        QTest::newRow("killed") << "out:x raise:9" << -9;
        QTest::newRow("aborted") << "raise:6" << -6;
    }

    void exitStatus()
    {
        QFETCH(QString, actions);
        QFETCH(int, status);
        const Run run = runCommand(tool(actions), *m_prompts);
        QCOMPARE(run.result.exitCode, status < 0 ? std::nullopt : std::optional<int>(status));
        QCOMPARE(run.result.signal, status < 0 ? std::optional<int>(-status) : std::nullopt);
        VERIFY_PROMPTS(*m_prompts);
    }

    void toolThatClosesItsOutputEarlyIsReapedLater()
    {
        QTemporaryDir dir;
        const QString pidFile = dir.filePath(QStringLiteral("pid"));
        // A normal run leaves no zombie behind.
        runCommand(tool(QStringLiteral("pid:%1 out:x").arg(pidFile)), *m_prompts);
        const qint64 first = readPid(pidFile);
        QVERIFY(first > 0);
        QVERIFY(!processExists(first));

        // Output closed, tool still at work: the run ends with the output.
        const Run run = runCommand(tool(QStringLiteral("pid:%1 out:bye close sleep:1500").arg(pidFile)), *m_prompts);
        QCOMPARE(run.text, QStringLiteral("bye"));
        QVERIFY(run.result.started && !run.result.statusKnown());
        const qint64 second = readPid(pidFile);
        // The run did not wait for the tool, which is still at work.
        QVERIFY(processExists(second));
        // Once it has ended it is collected while the event loop runs.
        QTRY_VERIFY_WITH_TIMEOUT(!processExists(second), 6000);
        VERIFY_PROMPTS(*m_prompts);
    }
};

QTEST_GUILESS_MAIN(TestRunner)
#include "tst_runner.moc"
