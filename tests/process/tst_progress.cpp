// What the encoder reports (the progress parser, the time left and the time
// line) and the progress window every tool runs in: captions, live output,
// the timer and the cancel.
#include "common/cmdline.h"
#include "common/ui_controls.h"
#include "process/frmProgress.h"
#include "support/fixture.h"

#include <QCloseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

QString optional(const auto &value)
{
    return value ? QString::number(*value) : "-";
}

// Duration, time, share done, speed, frames, then as bits: video encoded 1, output empty 2, input audio 4;
// the input's width and the error line.
QString summary(const ProgressParser &p)
{
    return QStringList{optional(p.duration()),
                       optional(p.position()),
                       optional(p.fraction()),
                       optional(p.speed()),
                       optional(p.frames()),
                       QString::number(p.encodedVideo() + 2 * p.outputEmpty() + 4 * p.inputHasAudio()),
                       QString::number(p.inputVideoSize().width()),
                       p.lastErrorLine()}
        .join(' ');
}

QByteArray recorded(const char *name)
{
    return fileBytes(VIDLARK_SOURCE_DIR "/tests/process/data/ffmpeg-" + QString(name) + ".txt");
}

// The program's side of the runs: the tools in an application folder, the window runner, and "go", a file the
// tools wait for (at most 20 s). Every expected prompt must have come when the test ends.
struct Progress {
    ScriptedPrompts prompts;
    TestAppDir dir;
    ProgressWindowRunner runner{prompts, dir.path()};
    QPointer<frmProgress> window{&runner.window()};
    ~Progress() { VERIFY_PROMPTS(prompts); }

    mdlDOSPipe::RunResult run(const QString &tool, const QByteArray &lines, qint16 kind = ToolRun::Tool)
    {
        dir.setTool(
            tool,
            "i=0; wait_go() { while [ ! -e go ] && [ $i -lt 400 ]; do sleep 0.05; i=$((i+1)); done; }\n"
                + lines);
        return runner.run(
            {cmdline::quoteArgument(dir.file(tool)), kind, "/v/a", "/o/" + QString::number(kind), ""});
    }
    QString proc() const { return "/proc/" + fileBytes(dir.file("pid")).trimmed(); }
    void go() const { writeFileBytes(dir.file("go"), "x"); }
    // The action runs, as the user's input does, from the event loop once the tool's first output is shown.
    void onOutput(std::function<void()> act)
    {
        QObject::connect(
            window, &frmProgress::outputReceived, window, [=] { QTimer::singleShot(0, act); },
            Qt::SingleShotConnection);
    }
};

} // namespace

class TestProgress : public QObject
{
    Q_OBJECT
private slots:
    // Recorded outputs read in pieces of any size give the same report; the share done never goes back. Only
    // the first input's duration and streams count; a line that never ends is dropped, not kept.
    void parser_data()
    {
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<QString>("summary");
        for (const auto &[name, summary] : QList<std::pair<const char *, QString>>{
                 {"flv-with-audio", "12 12.02 1 3.57 300 5 640 "},
                 {"mp4-unknown-duration", "- 11.88 - 3.61 300 1 640 "},
                 {"flv-disk-full",
                  "20 2.25 0.1125 1.21 55 5 640 Error closing file small/out.flv: No space left on device"},
                 {"still-past-end",
                  "3 0 0 - 0 2 160 Output file is empty, nothing was encoded (check -ss / -t / -frames "
                  "parameters if used)"}})
            QTest::newRow(name) << recorded(name) << summary;
        QTest::newRow("second input, long and unended lines") << QByteArray(
            "Input #0, avi:\n  Duration: 00:00:05.00, x\n  Stream #0:0: Video: mpeg4, 320x240, 25 fps\n  "
            "Stream #0:1: "
            "Video: png, 64x64\nInput #1, wav:\n  Duration: 00:09:00.00\n  Stream #1:0: Audio: pcm\n"
            + QByteArray(70000, 'x')
            + "\nframe=    7 time=-00:00:01.00 speed=2x\nframe=    8 time=00:00:01.50 speed=1.5x")
                                                              << "5 1.5 0.3 1.5 8 1 320 ";
    }
    void parser()
    {
        QFETCH(QByteArray, output);
        QFETCH(QString, summary);
        for (int piece : {64, 255, 100000}) {
            ProgressParser p;
            double done = 0;
            for (qsizetype at = 0; at < output.size(); at += piece) {
                p.feed(output.mid(at, piece));
                QVERIFY(p.fraction().value_or(done) >= done);
                done = p.fraction().value_or(done);
            }
            p.finish();
            QCOMPARE(::summary(p), summary);
        }
    }

    // A tool that cannot start shows its error box once; an encoder run sets the captions (and their
    // tooltips), another tool keeps them; the window is kept between runs.
    void captionsAndStartFailure()
    {
        Progress p;
        p.prompts.expectMessage("EXECUTEAPP FAILED AT CREATEPROCESS");
        QVERIFY(!p.runner.run({"/nonexistent/ma", ToolRun::Tool, "", "", ""}).started);
        p.run("ma", "exit 0", ToolRun::Mp4);
        p.run("ma", "exit 0");
        QCOMPARE(p.window->lblEncodingFrom->caption() + '|' + p.window->lblEncodingTo->toolTip(),
                 " Encoding /v/a| To /o/2");
        QCOMPARE(QList<bool>({p.window->isVisible(), p.runner.loaded(), p.window->Timer1->isActive()}),
                 QList<bool>({false, true, true}));
        p.runner.unload();
        QTRY_VERIFY(!p.window && !p.runner.loaded());
    }

    // Neither the frame's close box nor a No (Esc presses Cancel) stops the run; a Yes ends the encoder, and
    // the window goes once the run has returned: the next reference makes a new one.
    void cancelAnsweredYesEndsTheEncoder()
    {
        Progress p;
        bool open = false;
        p.onOutput([&] {
            QCloseEvent close;
            QApplication::sendEvent(p.window, &close);
            QTest::keyClick(p.window, Qt::Key_Escape);
            open = !close.isAccepted() && p.window->isVisible() && QFile::exists(p.proc());
            p.window->cmdCancel->click();
        });
        p.prompts.expectMessage("CANCEL ENCODING?", vbNo).expectMessage("CANCEL ENCODING?", vbYes);
        const mdlDOSPipe::RunResult result =
            p.run("engine/ffmpeg", "echo $$ > pid; echo started; wait_go", ToolRun::Flv);
        QVERIFY(open);
        QCOMPARE(std::pair(result.cancelled, result.signal.value_or(0)), std::pair(true, 9));
        QCOMPARE(std::pair(QFile::exists(p.proc()), p.runner.loaded()), std::pair(false, false));
        QTRY_VERIFY(!p.window);
        QCOMPARE(p.runner.window().lblEncodingTo->caption(), "To ");
    }

    // The faststart tool is not ended: the window is gone but kept while the runner waits for the tool, and
    // no window takes input until the run is over.
    void cancelOfAFaststartWaitsForItWithInputBlocked()
    {
        Progress p;
        QPushButton other("Start &Encoding");
        QSignalSpy clicks(&other, &QPushButton::clicked);
        other.show();
        bool waited = false;
        p.onOutput([&] { p.window->cmdCancel->click(); });
        p.prompts.expectMessage("CANCEL ENCODING?", vbYes).onNext([&] {
            QTimer::singleShot(0, [&] {
                QTest::mouseClick(&other, Qt::LeftButton);
                waited = p.window && !p.window->isVisible() && !p.runner.loaded() && QFile::exists(p.proc());
                p.go();
            });
        });
        const mdlDOSPipe::RunResult result = p.run("ma", "echo $$ > pid; echo started; wait_go; echo done");
        QCOMPARE(std::pair(waited, clicks.size()), std::pair(true, qsizetype(0)));
        QCOMPARE(std::pair(result.cancelled, result.exitCode.value_or(-1)), std::pair(true, 0));
        QTest::mouseClick(&other, Qt::LeftButton);
        QCOMPARE(clicks.size(), 1);
        QTRY_VERIFY(!p.window);
    }
};

QTEST_MAIN(TestProgress)
#include "tst_progress.moc"
