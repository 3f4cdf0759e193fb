// The progress window: what it shows, how a run goes through it, and how a
// cancel ends the run.
#include "app/frmMain.h"
#include "common/mdlMain.h"
#include "common/ui_controls.h"
#include "app/ui_forms.h"
#include "common/cmdline.h"
#include "process/frmProgress.h"
#include "process/mdlDOSPipe.h"
#include "support/faketool_log.h"
#include "support/scriptedprompts.h"
#include "support/testappdir.h"
#include "support/testprogram.h"

#include <QCloseEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <memory>

using cmdline::quoteArgument;

namespace {

struct Program : TestProgram {
    QTemporaryDir scratch;
    mdlDOSPipe::RunResult last;
    Program() : TestProgram(TestAppDir::FakeEncoder)
    {
        mdlMain::intEncodeKind = 0;
        mdlMain::blnCancelled = false;
        mdlMain::strMsgAnswer.clear();
    }
    ~Program() { mdlMain::intEncodeKind = 0; }

    // The fake tool as engine/ffmpeg, and under a name of its own.
    QString encoder(const QString &actions) const
    {
        return quoteArgument(dir.file(QStringLiteral("engine/ffmpeg"))) + QLatin1Char(' ') + actions;
    }
    static QString otherTool(const QString &actions)
    {
        return quoteArgument(fakeToolBinary()) + QLatin1Char(' ') + actions;
    }
    QString file(const QString &name) const { return scratch.filePath(name); }

    // Runs the command as the callers do; returns the milliseconds the modal
    // display lasted.
    qint64 run(const QString &command, int kind = 0)
    {
        window->txtApp->setText(command);
        mdlMain::strCommandLine = window->txtApp->text();
        mdlMain::intEncodeKind = qint16(kind);
        QElapsedTimer clock;
        clock.start();
        last = forms.showProgressModal();
        const qint64 ms = clock.elapsed();
        window->txtApp->clear();
        mdlMain::intEncodeKind = 0;
        return ms;
    }
};

void at(int ms, std::function<void()> action)
{
    QTimer::singleShot(ms, QCoreApplication::instance(), std::move(action));
}

} // namespace

class TestProgress : public QObject
{
    Q_OBJECT
private slots:
    void controlsAsDesigned()
    {
        Program p;
        frmProgress &w = p.forms.progress();
        QCOMPARE(w.windowTitle(), QString());
        QVERIFY(w.windowFlags() & Qt::CustomizeWindowHint);
        QVERIFY(!(w.windowFlags() & (Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                                     | Qt::WindowMaximizeButtonHint | Qt::WindowTitleHint)));
        QCOMPARE(w.lblEncodingFrom->caption(), QStringLiteral("Encoding "));
        QCOMPARE(w.lblEncodingTo->caption(), QStringLiteral("To "));
        QCOMPARE(w.cmdCancel->text(), QStringLiteral("&Cancel Encoding"));
        QCOMPARE(w.cmdCancel->toolTip(), QStringLiteral(" Cancel encoding "));
        QCOMPARE(w.txtDOS->toolTip(), QStringLiteral(" Encoder status "));
        QVERIFY(w.txtDOS->isReadOnly());
        QCOMPARE(w.Timer1->interval(), 1500);
        QVERIFY(!w.Timer1->isActive());
        VERIFY_PROMPTS(p.prompts);
    }

    void windowCannotBeClosed()
    {
        Program p;
        frmProgress &w = p.forms.progress();
        bool checked = false;
        at(300, [&] {
            QVERIFY(w.isVisible());
            QVERIFY(w.isModal());
            QVERIFY(!w.close()); // the frame's close and Alt+F4 ask the same
            QCloseEvent event;
            QCoreApplication::sendEvent(&w, &event);
            QVERIFY(!event.isAccepted());
            QVERIFY(w.isVisible());
            checked = true;
        });
        p.run(Program::otherTool(QStringLiteral("sleep:800")));
        QVERIFY(checked);
        QVERIFY(!w.isVisible());
        VERIFY_PROMPTS(p.prompts);
    }

    void captionsOfEncoderRuns_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("to");
        QTest::newRow("FLV") << 1 << " To /out dir/a.flv";
        QTest::newRow("MP4") << 2 << " To /out dir/a.mp4";
        QTest::newRow("WebM") << 3 << " To /out dir/a.webm";
    }

    void captionsOfEncoderRuns()
    {
        QFETCH(int, kind);
        QFETCH(QString, to);
        Program p;
        p.window->lblInput->setCaption(QStringLiteral("/v/a clip.avi"));
        p.window->lblOutDir->setCaption(QStringLiteral("/out dir/"));
        p.window->txtOutFileFLV->setText(QStringLiteral("a.flv"));
        p.window->txtOutFileMp4->setText(QStringLiteral("a.mp4"));
        p.window->txtOutFileWebm->setText(QStringLiteral("a.webm"));
        frmProgress &w = p.forms.progress();
        QString during;
        at(200, [&] { during = w.lblEncodingTo->caption(); });
        p.run(p.encoder(QStringLiteral("sleep:400")), kind);
        QCOMPARE(during, to);
        QCOMPARE(w.lblEncodingFrom->caption(), QStringLiteral(" Encoding /v/a clip.avi"));
        QCOMPARE(w.lblEncodingTo->caption(), to);
        QCOMPARE(w.lblEncodingFrom->toolTip(), w.lblEncodingFrom->caption());
        QCOMPARE(w.lblEncodingTo->toolTip(), to);
        VERIFY_PROMPTS(p.prompts);
    }

    void otherKindsKeepTheCaptions()
    {
        Program p;
        p.window->lblInput->setCaption(QStringLiteral("/v/a.avi"));
        p.window->lblOutDir->setCaption(QStringLiteral("/out/"));
        p.window->txtOutFileMp4->setText(QStringLiteral("a.mp4"));
        // A fresh window with kind 0 shows its design captions.
        p.run(Program::otherTool(QStringLiteral("out:x")), 0);
        frmProgress *w = &p.forms.progress();
        QCOMPARE(w->lblEncodingFrom->caption(), QStringLiteral("Encoding "));
        QCOMPARE(w->lblEncodingTo->caption(), QStringLiteral("To "));
        QCOMPARE(w->lblEncodingFrom->toolTip(), QStringLiteral("Encoding "));
        QCOMPARE(w->lblEncodingTo->toolTip(), QStringLiteral("To "));
        // The faststart run after an MP4 run keeps the MP4 run's captions.
        p.run(p.encoder(QStringLiteral("out:x")), 2);
        p.window->txtOutFileMp4->setText(QStringLiteral("changed.mp4"));
        p.run(Program::otherTool(QStringLiteral("out:x")), 0);
        QCOMPARE(&p.forms.progress(), w); // hidden and kept, not made anew
        QCOMPARE(w->lblEncodingFrom->caption(), QStringLiteral(" Encoding /v/a.avi"));
        QCOMPARE(w->lblEncodingTo->caption(), QStringLiteral(" To /out/a.mp4"));
        QCOMPARE(w->lblEncodingTo->toolTip(), QStringLiteral(" To /out/a.mp4"));
        VERIFY_PROMPTS(p.prompts);
    }

    void outputAppearsLiveAndTheBoxIsEmptyAfterwards()
    {
        Program p;
        frmProgress &w = p.forms.progress();
        QString during;
        QByteArray received;
        connect(&w, &frmProgress::outputReceived, this, [&](const QByteArray &bytes, const QString &) { received += bytes; });
        at(400, [&] { during = w.txtDOS->toPlainText(); });
        p.run(p.encoder(QStringLiteral("out:frame=\\s\\s10\\r err:frame=\\s\\s20\\r\\nDuration:\\s00:01\\n sleep:700 out:end")), 1);
        QCOMPARE(during, QStringLiteral("frame=  10\nframe=  20\nDuration: 00:01\n"));
        QCOMPARE(received, QByteArray("frame=  10\rframe=  20\r\nDuration: 00:01\nend"));
        QCOMPARE(w.txtDOS->toPlainText(), QString());
        QVERIFY(!w.isVisible());
        QVERIFY(p.forms.progressLoaded());
        QVERIFY(w.Timer1->isActive()); // keeps ticking while hidden
        QVERIFY(!mdlMain::blnCancelled);
        QCOMPARE(p.last.exitCode, std::optional<int>(0));
        VERIFY_PROMPTS(p.prompts);
    }

    void silentToolLeavesTheBoxEmpty()
    {
        Program p;
        frmProgress &w = p.forms.progress();
        int nonEmpty = 0;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] { nonEmpty += !w.txtDOS->toPlainText().isEmpty(); });
        watch.start(50);
        const qint64 ms = p.run(p.encoder(QStringLiteral("sleep:600")));
        QCOMPARE(nonEmpty, 0);
        QVERIFY(ms >= 550);
        QVERIFY(!w.isVisible());
        VERIFY_PROMPTS(p.prompts);
    }

    void toolThatCannotStartIsReportedOnce()
    {
        Program p;
        p.prompts.expectMessage(QStringLiteral("EXECUTEAPP FAILED AT CREATEPROCESS"));
        p.run(QStringLiteral("\"/nonexistent/engine/ffmpeg\" -i \"/v/a.avi\""), 1);
        QCOMPARE(p.prompts.messages(), QStringList{QStringLiteral("EXECUTEAPP FAILED AT CREATEPROCESS")});
        QVERIFY(!mdlMain::blnCancelled);
        QVERIFY(!p.forms.progress().isVisible());
        QCOMPARE(p.forms.progress().txtDOS->toPlainText(), QString());
        VERIFY_PROMPTS(p.prompts);
    }

    // The tool prints once and then says nothing for 20 seconds: the timer
    // empties the box, and a confirmed cancel ends the tool and its child at once.
    void timerAndCancelWorkWhileTheToolIsSilent()
    {
        Program p;
        frmProgress *w = &p.forms.progress();
        QPointer<frmProgress> old(w);
        const QString toolPid = p.file(QStringLiteral("tool.pid"));
        const QString childPid = p.file(QStringLiteral("child.pid"));
        int ticks = 0;
        connect(w->Timer1, &QTimer::timeout, this, [&] { ++ticks; });
        QString before, after;
        QElapsedTimer clock;
        qint64 clickedAt = 0, askedAt = 0;
        at(1000, [&] { before = w->txtDOS->toPlainText(); });
        at(1800, [&] {
            after = w->txtDOS->toPlainText();
            clickedAt = clock.elapsed();
            w->cmdCancel->click();
        });
        p.prompts.expectMessage(QStringLiteral("CANCEL ENCODING?"), mdlMain::vbYes).onNext([&] { askedAt = clock.elapsed(); });
        clock.start();
        p.run(p.encoder(QStringLiteral("pid:%1 spawn pid:%2 sleep:20000 end out:hello sleep:20000").arg(toolPid, childPid)), 1);
        const qint64 total = clock.elapsed();

        QCOMPARE(before, QStringLiteral("hello"));
        QCOMPARE(after, QString());
        QVERIFY(ticks >= 1);
        // Promptly, although the tool says nothing for 20 seconds (generous
        // bounds: a loaded machine must not fail this).
        QVERIFY2(askedAt - clickedAt < 1500, qPrintable(QString::number(askedAt - clickedAt)));
        QVERIFY2(total - clickedAt < 10000, qPrintable(QString::number(total - clickedAt)));
        QCOMPARE(p.prompts.records().first().buttons, MsgButtons::YesNo);
        QVERIFY(mdlMain::blnCancelled);
        QCOMPARE(mdlMain::strMsgAnswer, QStringLiteral("6"));
        QVERIFY(processEnded(readPid(toolPid)));
        QTRY_VERIFY(processEnded(readPid(childPid)));
        // Unloaded: the old window goes once the run has returned; the next
        // reference makes a fresh one with the design captions.
        QVERIFY(!p.forms.progressLoaded());
        QVERIFY(!w->Timer1->isActive() || !old);
        QTRY_VERIFY(old.isNull());
        QCOMPARE(p.forms.progress().lblEncodingFrom->caption(), QStringLiteral("Encoding "));
        QCOMPARE(p.forms.progress().lblEncodingTo->caption(), QStringLiteral("To "));
        VERIFY_PROMPTS(p.prompts);
    }

    void escapeAndNoLeaveTheRunGoing()
    {
        Program p;
        frmProgress &w = p.forms.progress();
        const QString toolPid = p.file(QStringLiteral("tool.pid"));
        bool running = false, timerOn = false;
        at(300, [&] { QTest::keyClick(&w, Qt::Key_Escape); });
        p.prompts.expectMessage(QStringLiteral("CANCEL ENCODING?"), mdlMain::vbNo);
        at(500, [&] {
            running = !processEnded(readPid(toolPid));
            timerOn = w.Timer1->isActive();
        });
        QString during;
        at(900, [&] { during = w.txtDOS->toPlainText(); });
        const qint64 ms = p.run(p.encoder(QStringLiteral("pid:%1 sleep:700 out:done sleep:400 exit:3").arg(toolPid)), 2);
        QVERIFY(running);
        QVERIFY(timerOn);
        QCOMPARE(during, QStringLiteral("done"));
        QVERIFY(ms >= 1000);
        QCOMPARE(p.last.exitCode, std::optional<int>(3)); // ran to its own end
        QVERIFY(!mdlMain::blnCancelled);
        QCOMPARE(mdlMain::strMsgAnswer, QStringLiteral("7"));
        QVERIFY(p.forms.progressLoaded());
        QCOMPARE(&p.forms.progress(), &w);
        VERIFY_PROMPTS(p.prompts);
    }

    void cancelOfAToolNotNamedLikeTheEncoderWaitsForIt()
    {
        Program p;
        QPointer<frmProgress> w(&p.forms.progress());
        const QString toolPid = p.file(QStringLiteral("tool.pid"));
        bool hiddenAtOnce = false, stillRunning = false, alive = false;
        QString laterOutput;
        // While the caller still waits for the tool, no window takes input: a
        // second request cannot start inside the first.
        int encodeClicks = 0;
        QPushButton other(QStringLiteral("Start"));
        QObject::connect(&other, &QPushButton::clicked, [&] { ++encodeClicks; });
        other.show();
        at(300, [&] { w->cmdCancel->click(); });
        p.prompts.expectMessage(QStringLiteral("CANCEL ENCODING?"), mdlMain::vbYes);
        at(500, [&] {
            hiddenAtOnce = w && !w->isVisible() && !p.forms.progressLoaded();
            stillRunning = !processEnded(readPid(toolPid));
            QTest::mouseClick(&other, Qt::LeftButton);
            QTest::keyClick(&other, Qt::Key_Space);
        });
        at(1300, [&] {
            alive = !w.isNull(); // not deleted under the runner
            laterOutput = w ? w->txtDOS->toPlainText() : QStringLiteral("deleted");
        });
        const qint64 ms = p.run(Program::otherTool(QStringLiteral("pid:%1 sleep:1000 out:done sleep:500").arg(toolPid)), 2);
        QVERIFY(hiddenAtOnce);
        QVERIFY(stillRunning);
        QVERIFY(alive);
        QCOMPARE(encodeClicks, 0);
        // Once the run is over the window takes input again.
        QTest::mouseClick(&other, Qt::LeftButton);
        QCOMPARE(encodeClicks, 1);
        QCOMPARE(laterOutput, QStringLiteral("done"));
        QVERIFY2(ms >= 1400, qPrintable(QString::number(ms)));
        QCOMPARE(p.last.exitCode, std::optional<int>(0));
        QVERIFY(mdlMain::blnCancelled);
        QTRY_VERIFY(w.isNull());
        QCOMPARE(p.forms.progress().lblEncodingTo->caption(), QStringLiteral("To "));
        QVERIFY(!p.forms.progress().Timer1->isActive());
        VERIFY_PROMPTS(p.prompts);
    }

    void sweepAfterARunEndsLeftoversButNoStranger()
    {
        Program p;
        // Another program's encoder: same name, not started by us.
        const QString link = p.file(QStringLiteral("ffmpeg"));
        QVERIFY(QFile::link(fakeToolBinary(), link));
        qint64 stranger = 0;
        QVERIFY(QProcess::startDetached(link, {QStringLiteral("sleep:30000")}, QString(), &stranger));
        QTest::qWait(100);

        // A run that leaves a helper of the encoder's name behind.
        const QString helperPid = p.file(QStringLiteral("helper.pid"));
        p.run(p.encoder(QStringLiteral("spawnq pid:%1 sleep:30000 end sleep:200 out:x").arg(helperPid)), 1);
        QVERIFY(QFile::exists(helperPid));
        QTRY_VERIFY(processEnded(readPid(helperPid)));
        QVERIFY(!processEnded(stranger));

        // A confirmed cancel leaves the stranger alone too.
        at(300, [&] { p.forms.progress().cmdCancel->click(); });
        p.prompts.expectMessage(QStringLiteral("CANCEL ENCODING?"), mdlMain::vbYes);
        p.run(p.encoder(QStringLiteral("sleep:20000")), 1);
        QVERIFY(mdlMain::blnCancelled);
        QTest::qWait(100);
        QVERIFY(!processEnded(stranger));
        ::kill(pid_t(stranger), SIGKILL);
        VERIFY_PROMPTS(p.prompts);
    }
};

QTEST_MAIN(TestProgress)
#include "tst_progress.moc"
