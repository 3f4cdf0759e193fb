// Ending the program's own tool processes by name, and only those.
#include "common/cmdline.h"
#include "process/mdlDOSPipe.h"
#include "process/mdlKillProcess.h"
#include "support/faketool_log.h"
#include "support/scriptedprompts.h"
#include "support/testappdir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <unistd.h>

using namespace mdlKillProcess;

namespace {

ProcessEntry entry(qint64 pid, qint64 ppid, qint64 pgid, qint64 sid, QStringList names)
{
    ProcessEntry e;
    e.pid = pid;
    e.ppid = ppid;
    e.pgid = pgid;
    e.sid = sid;
    e.names = names;
    return e;
}

} // namespace

class TestKillProcess : public QObject
{
    Q_OBJECT
private slots:
    void matchingRule_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("target");
        QTest::addColumn<bool>("matches");
        QTest::newRow("same") << "ffmpeg" << "ffmpeg" << true;
        QTest::newRow("windows name") << "ffmpeg.exe" << "ffmpeg" << true;
        QTest::newRow("upper case name") << "FFMPEG.EXE" << "ffmpeg" << true;
        QTest::newRow("upper case target") << "ffmpeg" << "FFmpeg" << true;
        QTest::newRow("inside a longer name") << "ffmpeg-gui.exe" << "ffmpeg" << true;
        QTest::newRow("in the middle") << "my_ffmpeg_wrapper" << "ffmpeg" << true;
        QTest::newRow("blanks around") << "  ffmpeg \t" << "ffmpeg" << true;
        QTest::newRow("blank inside does not match") << "ff mpeg" << "ffmpeg" << false;
        QTest::newRow("shorter") << "ffmpe" << "ffmpeg" << false;
        QTest::newRow("faststart tool") << "ma" << "ffmpeg" << false;
        QTest::newRow("qt-faststart") << "qt-faststart" << "ffmpeg" << false;
        QTest::newRow("ffprobe") << "ffprobe" << "ffmpeg" << false;
        QTest::newRow("empty name") << "" << "ffmpeg" << false;
    }

    void matchingRule()
    {
        QFETCH(QString, name);
        QFETCH(QString, target);
        QFETCH(bool, matches);
        QCOMPARE(nameMatches(name, target), matches);
    }

    void planEndsOnlyOwnProcesses()
    {
        const ProcessEntry self = entry(100, 90, 50, 40, {QStringLiteral("vidlark-encoder")});
        const QList<ProcessEntry> table{
            entry(1, 0, 1, 1, {QStringLiteral("systemd")}),
            entry(90, 1, 50, 40, {QStringLiteral("bash")}),
            self,
            // Our tool in its own group, with a child of the same name and a
            // helper of another name.
            entry(200, 100, 200, 40, {QStringLiteral("ffmpeg")}),
            entry(201, 200, 200, 40, {QStringLiteral("ffmpeg")}),
            entry(202, 200, 200, 40, {QStringLiteral("helper")}),
            // Another user's or program's encoder.
            entry(300, 1, 300, 999, {QStringLiteral("ffmpeg")}),
            entry(301, 1, 301, 40, {QStringLiteral("ffmpeg")}),
            // A child of ours that stayed in our own group.
            entry(310, 100, 50, 40, {QStringLiteral("ffmpeg")}),
            // A leftover of an earlier run, handed to init, in a tool group.
            entry(400, 1, 400, 40, {QStringLiteral("ffmpeg")}),
            // A process in that group number but another session is not ours.
            entry(410, 1, 400, 999, {QStringLiteral("ffmpeg")}),
            // A child of ours that joined a group led by someone else.
            entry(77, 1, 77, 40, {QStringLiteral("ffmpeg")}),
            entry(500, 100, 77, 40, {QStringLiteral("ffmpeg")}),
            // The faststart tool.
            entry(600, 100, 600, 40, {QStringLiteral("ma")}),
            // A grandchild in a group led by a descendant.
            entry(700, 100, 700, 40, {QStringLiteral("wrapper")}),
            entry(701, 700, 700, 40, {QStringLiteral("FFmpeg-static")}),
        };
        const QList<KillTarget> plan = planKill(table, self, {400, 900}, QStringLiteral("ffmpeg"));
        QCOMPARE(plan, (QList<KillTarget>{{200, true}, {310, false}, {400, true}, {500, false}, {700, true}}));
        QCOMPARE(planKill(table, self, {400}, QStringLiteral("no-such-name")), QList<KillTarget>());
        // Without the tool group the leftover is a stranger.
        QCOMPARE(planKill(table, self, {}, QStringLiteral("ffmpeg")),
                 (QList<KillTarget>{{200, true}, {310, false}, {500, false}, {700, true}}));
    }

    void planUsesEveryNameOfAProcess()
    {
        const ProcessEntry self = entry(100, 1, 100, 100, {QStringLiteral("vidlark-encoder")});
        // The short name is cut at 15 characters; the executable's file name or
        // argv[0] still carries the whole name.
        const QList<ProcessEntry> table{
            self,
            entry(201, 100, 201, 100, {QStringLiteral("averyverylongna"), QStringLiteral("averyverylongname-ffmpeg")}),
            entry(202, 100, 202, 100, {QStringLiteral("exe"), QString(), QStringLiteral("ffmpeg")}),
            entry(203, 100, 203, 100, {QStringLiteral("ffmpeg"), QStringLiteral("faketool")}),
            entry(204, 100, 204, 100, {QStringLiteral("averyverylongna"), QStringLiteral("averyverylongname-tool")}),
            entry(205, 100, 205, 100, {}),
        };
        QCOMPARE(planKill(table, self, {}, QStringLiteral("ffmpeg")),
                 (QList<KillTarget>{{201, true}, {202, true}, {203, true}}));
    }

    void planNeverEndsSelfOrItsGroup()
    {
        // Even named like the target, with the target's name in its own group.
        const ProcessEntry self = entry(100, 1, 100, 100, {QStringLiteral("ffmpeg-frontend")});
        const QList<ProcessEntry> table{
            self,
            entry(101, 100, 100, 100, {QStringLiteral("ffmpeg")}),
            entry(1, 0, 1, 1, {QStringLiteral("ffmpeg-init")}),
        };
        QCOMPARE(planKill(table, self, {100, 1}, QStringLiteral("ffmpeg")), (QList<KillTarget>{{101, false}}));
        // An empty target is contained in every name: every process of ours.
        QCOMPARE(planKill(table, self, {}, QString()), (QList<KillTarget>{{101, false}}));
    }

    void processTableNamesAProcessEveryWay()
    {
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("ffmpeg"));
        QVERIFY(QFile::link(fakeToolBinary(), link));
        const QString longCopy = dir.filePath(QStringLiteral("averyverylongname-ffmpeg"));
        QVERIFY(QFile::copy(fakeToolBinary(), longCopy));
        QFile(longCopy).setPermissions(QFile(fakeToolBinary()).permissions());

        QProcess viaLink, viaCopy;
        viaLink.start(link, {QStringLiteral("sleep:20000")});
        viaCopy.start(longCopy, {QStringLiteral("sleep:20000")});
        QVERIFY(viaLink.waitForStarted() && viaCopy.waitForStarted());
        QList<ProcessEntry> table;
        QTRY_VERIFY([&] {
            table = readProcessTable();
            // Wait until both have exec'd (their short names have changed).
            int ready = 0;
            for (const ProcessEntry &e : table)
                ready += (e.pid == viaLink.processId() && e.names.value(0) == QLatin1String("ffmpeg"))
                         || (e.pid == viaCopy.processId() && e.names.value(0) == QLatin1String("averyverylongna"));
            return ready == 2;
        }());
        for (const ProcessEntry &e : table) {
            if (e.pid == viaLink.processId()) {
                QCOMPARE(e.names, (QStringList{"ffmpeg", QFileInfo(fakeToolBinary()).fileName(), "ffmpeg"}));
                QCOMPARE(e.ppid, qint64(::getpid()));
                QCOMPARE(e.sid, qint64(::getsid(0)));
            } else if (e.pid == viaCopy.processId()) {
                QCOMPARE(e.names, (QStringList{"averyverylongna", "averyverylongname-ffmpeg", "averyverylongname-ffmpeg"}));
            } else if (e.pid == ::getpid()) {
                QCOMPARE(e.pgid, qint64(::getpgrp()));
                QVERIFY(e.names.contains(QStringLiteral("process_killprocess")));
            }
        }
        viaLink.kill();
        viaCopy.kill();
        viaLink.waitForFinished();
        viaCopy.waitForFinished();
    }

    void childInOurOwnGroupIsEndedAloneAndWeSurvive()
    {
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("ffmpeg"));
        QVERIFY(QFile::link(fakeToolBinary(), link));
        QProcess encoder, other;
        encoder.start(link, {QStringLiteral("sleep:20000")}); // stays in our process group
        other.start(fakeToolBinary(), {QStringLiteral("sleep:20000")});
        QVERIFY(encoder.waitForStarted() && other.waitForStarted());
        QTest::qWait(200); // both have exec'd
        KillProcess(QStringLiteral("FFMPEG"));
        QVERIFY(encoder.waitForFinished(5000));
        QCOMPARE(encoder.exitStatus(), QProcess::CrashExit);
        QVERIFY(!other.waitForFinished(300)); // another name runs on
        QCOMPARE(other.state(), QProcess::Running);
        other.kill();
        other.waitForFinished();
    }

    void leftoverOfARunIsEndedThroughItsToolGroup()
    {
        TestAppDir app(TestAppDir::FakeEncoder);
        QTemporaryDir dir;
        const QString pidFile = dir.filePath(QStringLiteral("child.pid"));
        ScriptedPrompts prompts;
        // The tool leaves a helper that closed its output; the tool itself ends,
        // so the helper's parent becomes init.
        const QString command = cmdline::quoteArgument(app.file(QStringLiteral("engine/ffmpeg")))
                                + QStringLiteral(" spawnq pid:%1 sleep:20000 end sleep:100 out:done").arg(pidFile);
        mdlDOSPipe::ExecuteApp(command, prompts, app.path(), {});
        QTRY_VERIFY(QFile::exists(pidFile));
        const qint64 helper = readPid(pidFile);
        QVERIFY(!processEnded(helper));
        KillProcess(QStringLiteral("ffmpeg"));
        QTRY_VERIFY_WITH_TIMEOUT(processEnded(helper), 5000);

        // A run whose tool has gone with everything it started leaves an empty
        // group, which the next sweep forgets.
        mdlDOSPipe::ExecuteApp(cmdline::quoteArgument(fakeToolBinary()) + QStringLiteral(" pid:%1").arg(pidFile),
                               prompts, app.path(), {});
        const qint64 tool = readPid(pidFile);
        QVERIFY(toolGroups().contains(tool));
        KillProcess(QStringLiteral("ffmpeg"));
        QVERIFY(!toolGroups().contains(tool));
        VERIFY_PROMPTS(prompts);
    }

    void toolIgnoringSigtermIsEndedToo()
    {
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("ffmpeg"));
        QVERIFY(QFile::link(fakeToolBinary(), link));
        QProcess encoder;
        encoder.start(link, {QStringLiteral("ignoreterm"), QStringLiteral("sleep:20000")});
        QVERIFY(encoder.waitForStarted());
        QTest::qWait(200);
        ::kill(pid_t(encoder.processId()), SIGTERM);
        QVERIFY(!encoder.waitForFinished(300)); // it really ignores SIGTERM
        KillProcess(QStringLiteral("ffmpeg"));
        QVERIFY(encoder.waitForFinished(5000));
    }
};

QTEST_GUILESS_MAIN(TestKillProcess)
#include "tst_killprocess.moc"
