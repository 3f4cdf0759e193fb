// What the encoder reports (the progress parser, the time left and the time
// line) and the progress window every tool runs in: captions, live output,
// the timer, the cancel, and the bar that follows the report.
#include "common/cmdline.h"
#include "common/mdlMain.h"
#include "common/ui_controls.h"
#include "process/frmProgress.h"
#include "support/fixture.h"

#include <QCloseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

QString optional(const auto &value) { return value ? QString::number(*value) : QStringLiteral("-"); }

QString summary(const ProgressParser &p)
{
    return QStringLiteral("d=%1 t=%2 q=%3 s=%4 f=%5 v=%6 e=%7 %8")
        .arg(optional(p.duration()), optional(p.position()), optional(p.fraction()), optional(p.speed()), optional(p.frames()),
             QString::number(p.encodedVideo()), QString::number(p.outputEmpty()), p.lastErrorLine());
}

QByteArray recorded(const char *name) { return fileBytes(VIDLARK_SOURCE_DIR "/tests/process/data/ffmpeg-" + QString(name) + ".txt"); }

// The program's side of the runs: the tools in an application folder, the
// window runner, and "go", a file the tools wait for (at most 20 s). Every
// expected prompt must have come when the test ends.
struct Progress {
    ScriptedPrompts prompts;
    TestAppDir dir;
    ProgressWindowRunner runner{prompts, dir.path()};
    QPointer<frmProgress> window{&runner.window()};
    ~Progress() { VERIFY_PROMPTS(prompts); }

    mdlDOSPipe::RunResult run(const QString &tool, const QByteArray &lines, qint16 kind = ToolRun::Tool)
    {
        dir.setTool(tool, "i=0; wait_go() { while [ ! -e go ] && [ $i -lt 400 ]; do sleep 0.05; i=$((i+1)); done; }\n" + lines);
        return runner.run({cmdline::quoteArgument(dir.file(tool)), kind, "/v/a clip.avi", "/out dir/a." + QString::number(kind), ""});
    }
    QString proc() const { return "/proc/" + fileBytes(dir.file("pid")).trimmed(); } // the tool's entry
    // The action runs, as the user's input does, from the event loop once the tool's first output is shown.
    void onOutput(std::function<void()> action)
    {
        QObject::connect(window, &frmProgress::outputReceived, window, [=] { QTimer::singleShot(0, action); }, Qt::SingleShotConnection);
    }
};

} // namespace

class TestProgress : public QObject
{
    Q_OBJECT
private slots:
    void parser_data()
    {
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<QString>("summary");
        for (const auto &[name, summary] : QList<std::pair<const char *, QString>>{
                 {"flv-with-audio", "d=12 t=12.02 q=1 s=3.57 f=300 v=1 e=0 "},
                 {"webm-without-audio", "d=12 t=11.96 q=0.996667 s=0.303 f=300 v=1 e=0 "},
                 {"mp4-unknown-duration", "d=- t=11.88 q=- s=3.61 f=300 v=1 e=0 "},
                 {"flv-disk-full", "d=20 t=2.25 q=0.1125 s=1.21 f=55 v=1 e=0 Error closing file small/out.flv: No space left on "
                                   "device"},
                 {"still-past-end", "d=3 t=0 q=0 s=- f=0 v=0 e=1 Output file is empty, nothing was encoded (check -ss / -t / -frames "
                                    "parameters if used)"},
                 {"still-exists", "d=3 t=- q=- s=- f=- v=0 e=0 File 'still.jpg' already exists. Overwrite? [y/N] Not overwriting "
                                  "- exiting"}})
            QTest::newRow(name) << recorded(name) << summary;
        QTest::newRow("first duration, unended line")
            << QByteArray("  Duration: 00:00:05.00, x\nDuration: 00:09:00.00\nframe=    7 time=-00:00:01.00 speed=2x\n"
                          "frame=    8 time=00:00:01.50 speed=1.5x") << "d=5 t=1.5 q=0.3 s=1.5 f=8 v=1 e=0 ";
    }

    void parser()
    {
        QFETCH(QByteArray, output);
        QFETCH(QString, summary);
        // Pieces of any size give the same report; the share done never goes back.
        for (int piece = 1; piece <= 256; ++piece) {
            ProgressParser p;
            double done = 0;
            for (qsizetype at = 0; at < output.size(); at += piece) {
                p.feed(output.mid(at, piece));
                QVERIFY2(p.fraction().value_or(done) >= done, qPrintable(QString::number(piece)));
                done = p.fraction().value_or(done);
            }
            p.finish();
            QCOMPARE(::summary(p) + " @" + QString::number(piece), summary + " @" + QString::number(piece));
        }
    }

    // The first input's streams, never the output's nor another input's.
    void inputStreams_data()
    {
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<QString>("streams");
        for (const auto &[name, streams] : QList<std::pair<const char *, QString>>{{"flv-with-audio", "audio 640x360"},
                 {"webm-without-audio", "- 640x360"}, {"mp4-unknown-duration", "- 640x360"}, {"flv-disk-full", "audio 640x480"},
                 {"still-exists", "- 160x120"}})
            QTest::newRow(name) << recorded(name) << streams;
        QTest::newRow("second input, output") << QByteArray("Input #0, avi, from 'a.avi':\n  Stream #0:0: Video: mpeg4 (FMP4 / "
            "0x34504D46), yuv420p(tv, bt709), 320x240, 25 fps\n[avi @ 0x1] note\n  Stream #0:1: Video: png, 64x64 (attached pic)\n"
            "Input #1, wav, from 'b.wav':\n  Stream #1:0: Audio: pcm_s16le\nOutput #0, flv, to 'o.flv':\n  Stream #0:1: Audio: aac\n")
                                              << "- 320x240";
        QTest::newRow("nothing read") << QByteArray("Stream #0:0: Audio: aac\n  Stream #0:1: Video: h264, 64x64\n") << "- -1x-1";
    }

    void inputStreams()
    {
        QFETCH(QByteArray, output);
        QFETCH(QString, streams);
        ProgressParser p;
        for (qsizetype at = 0; at < output.size(); at += 7)
            p.feed(output.mid(at, 7));
        const QSize size = p.inputVideoSize();
        QCOMPARE((p.inputHasAudio() ? "audio " : "- ") + QString::number(size.width()) + "x" + QString::number(size.height()), streams);
    }

    void lineRulesAndTimeLeft()
    {
        for (const auto &[line, error] : QList<std::pair<QByteArray, bool>>{{"Error writing trailer of x: No space left on device", true},
                 {"[mp4 @ 0x1] Could not find tag for codec", true}, {"a.avi: No such file or directory", true},
                 {"Unrecognized option 'foo'.", true}, {"    Last message repeated 49 times", false}, {"\tinvalid detail", false},
                 {"Conversion failed!", false}, {"video:0kB audio:0kB muxing overhead: unknown", false},
                 {"frame=    0 size=N/A invalid", false}, {"Stream mapping:", false}, {"", false}})
            QCOMPARE(line + " -> " + QByteArray::number(isErrorLine(line)), line + " -> " + QByteArray::number(error));
        for (const auto &[text, seconds] : QList<std::pair<QByteArray, QString>>{
                 {"00:01:02.50", "62.5"}, {" -00:00:01.00 ", "-1"}, {"01:00:00", "3600"}, {"N/A", "-"}, {"1:2", "-"}, {"a:b:c", "-"}})
            QCOMPARE(text + " -> " + optional(parseClock(text)), text + " -> " + seconds);
        ProgressParser endless; // a line that never ends is dropped, not kept
        endless.feed(QByteArray(70000, 'x'));
        endless.feed("\nframe=    3\n");
        QCOMPARE(summary(endless), QStringLiteral("d=- t=- q=- s=- f=3 v=1 e=0 "));

        TimeLeftEstimator e;
        QStringList shown; // nothing in the first second; a rise is followed slowly; a stall keeps the figure
        for (const auto &[elapsed, position, duration] : QList<std::tuple<double, double, double>>{{0.5, 1, 10}, {2, 4, 10},
                 {1.5, 5, 10}, {4, 4, 10}, {5, 0, 10}, {6, 12, 10}})
            shown << optional(e.update(elapsed, position, duration)).left(5);
        e.reset();
        shown << optional(e.update(2, 1e-6, 1e9)); // absurd
        QCOMPARE(shown, (QStringList{"-", "3", "3", "3.083", "3.083", "0", "-"}));
        for (const auto &[seconds, text] : QList<std::pair<double, QString>>{{0, "0:00"}, {42.4, "0:42"}, {59.5, "1:00"},
                 {725, "12:05"}, {3723, "1:02:03"}, {-5, "0:00"}})
            QCOMPARE(formatDuration(seconds), text);
        QCOMPARE(progressLine(42, std::nullopt, std::nullopt), QStringLiteral("Elapsed 0:42"));
        QCOMPARE(progressLine(42, 70, 2.44), QStringLiteral("Elapsed 0:42 \u2014 about 1:10 left \u2014 2.4\u00d7 real time"));
        QCOMPARE(progressLine(5, std::nullopt, 0.53), QStringLiteral("Elapsed 0:05 \u2014 0.5\u00d7 real time"));
    }

    void captions()
    {
        Progress p;
        const auto captions = [&] { // and whether each tooltip is its caption
            const CaptionLabel *f = p.window->lblEncodingFrom, *t = p.window->lblEncodingTo;
            return QStringList{f->caption(), t->caption(), QString::number(f->toolTip() == f->caption() && t->toolTip() == t->caption())};
        };
        p.run("ma", "exit 0"); // a fresh window
        QCOMPARE(captions(), (QStringList{"Encoding ", "To ", "1"}));
        for (qint16 kind : {ToolRun::Flv, ToolRun::Mp4, ToolRun::Webm}) {
            p.run("engine/ffmpeg", "exit 0", kind);
            QCOMPARE(captions(), (QStringList{" Encoding /v/a clip.avi", " To /out dir/a." + QString::number(kind), "1"}));
        }
        p.run("ma", "exit 0"); // a faststart run keeps the encoder run's captions, in the same window
        QCOMPARE(captions(), (QStringList{" Encoding /v/a clip.avi", " To /out dir/a.3", "1"}));
        QVERIFY(p.window && !p.window->isVisible() && p.runner.loaded() && p.window->Timer1->isActive());
        p.runner.unload();
        QTRY_VERIFY(!p.window && !p.runner.loaded());
    }

    void liveOutputAndTheTimer()
    {
        Progress p;
        QStringList seen; // the box after each piece
        connect(p.window, &frmProgress::outputReceived, this, [&] { seen << p.window->txtDOS->toPlainText(); });
        // A line end cut between two pieces makes one line break.
        p.window->Timer1->setInterval(60000);
        p.onOutput([&] { writeFileBytes(p.dir.file("go"), "x"); });
        QCOMPARE(p.run("engine/ffmpeg", "printf 'a\\r'; wait_go; printf '\\nb'; exit 3").exitCode, 3);
        QCOMPARE(p.window->txtDOS->toPlainText(), QString()); // empty once the run is over
        // The timer empties the box while the tool is silent (its own handler comes first).
        QFile::remove(p.dir.file("go"));
        p.window->Timer1->setInterval(50);
        connect(p.window->Timer1, &QTimer::timeout, this, [&] { if (seen.size() == 3) writeFileBytes(p.dir.file("go"), "x"); });
        p.run("engine/ffmpeg", "echo hello; wait_go; echo bye");
        QCOMPARE(seen, (QStringList{"a\n", "a\nb", "hello\n", "bye\n"}));
    }

    void cancelAnsweredNoGoesOn()
    {
        Progress p;
        bool open = false;
        p.onOutput([&] {
            QCloseEvent close; // the frame's close box does nothing
            QApplication::sendEvent(p.window, &close);
            open = !close.isAccepted() && p.window->isVisible();
            QTest::keyClick(p.window, Qt::Key_Escape); // Esc presses Cancel
        });
        p.prompts.expectMessage("CANCEL ENCODING?", vbNo).onNext([&] { writeFileBytes(p.dir.file("go"), "x"); });
        const mdlDOSPipe::RunResult result = p.run("engine/ffmpeg", "echo $$ > pid; echo started; wait_go; exit 3", ToolRun::Mp4);
        QVERIFY(open && result.exitCode == 3 && !result.cancelled && mdlMain::strMsgAnswer == "7" && p.window->Timer1->isActive());
    }

    void cancelAnsweredYesEndsTheEncoder()
    {
        Progress p;
        p.onOutput([&] { p.window->cmdCancel->click(); });
        p.prompts.expectMessage("CANCEL ENCODING?", vbYes);
        const mdlDOSPipe::RunResult result = p.run("engine/ffmpeg", "echo $$ > pid; echo started; wait_go", ToolRun::Flv);
        QVERIFY(result.cancelled && result.signal == 9 && !QFile::exists(p.proc()) && mdlMain::strMsgAnswer == "6");
        QVERIFY(!p.runner.loaded() && !mdlMain::blnCancelled);
        QTRY_VERIFY(!p.window); // unloaded once the run has returned; the next reference makes a new window
        QCOMPARE(p.runner.window().lblEncodingTo->caption(), QStringLiteral("To "));
    }

    void cancelOfAFaststartWaitsForItWithInputBlocked()
    {
        Progress p;
        QPushButton other("Start &Encoding");
        QSignalSpy clicks(&other, &QPushButton::clicked);
        other.show();
        bool waited = false;
        p.onOutput([&] { p.window->cmdCancel->click(); });
        p.prompts.expectMessage("CANCEL ENCODING?", vbYes).onNext([&] {
            QTimer::singleShot(0, [&] { // after the cancel
                QTest::mouseClick(&other, Qt::LeftButton);
                // The window is gone, but kept while the runner waits for the tool.
                waited = p.window && !p.window->isVisible() && !p.runner.loaded() && QFile::exists(p.proc());
                writeFileBytes(p.dir.file("go"), "x");
            });
        });
        const mdlDOSPipe::RunResult result = p.run("ma", "echo $$ > pid; echo started; wait_go; echo done");
        QVERIFY(waited && result.cancelled && result.exitCode == 0 && mdlMain::blnCancelled && clicks.isEmpty());
        QTest::mouseClick(&other, Qt::LeftButton); // the run is over: input again
        QCOMPARE(clicks.size(), 1);
        QTRY_VERIFY(!p.window);
    }

    void barAndTimeLineFollowTheReport()
    {
        Progress p;
        writeFileBytes(p.dir.file("report.txt"), recorded("flv-with-audio"));
        QList<int> maximum, value;
        QStringList line;
        connect(p.window, &frmProgress::outputReceived, this, [&] {
            maximum << p.window->prgEncoding->maximum();
            value << p.window->prgEncoding->value();
            line << (p.window->lblTimeLeft->isHidden() ? QString() : p.window->lblTimeLeft->text());
        });
        p.run("engine/ffmpeg", "cat report.txt", ToolRun::Flv);
        QVERIFY(maximum.size() > 5 && maximum.first() == 0 && maximum.last() == 1000 && value.last() == 1000);
        QVERIFY(std::is_sorted(value.begin() + maximum.lastIndexOf(0) + 1, value.end())); // busy until the first time
        QVERIFY2(line.first().startsWith("Elapsed 0:0") && line.last().endsWith("3.6\u00d7 real time"), qPrintable(line.last()));
        maximum.clear(), line.clear();
        p.run("engine/ffmpeg", "cat report.txt"); // another tool: only a busy bar
        QCOMPARE(maximum.count(0) + line.count(QString()), 2 * maximum.size());
    }
};

QTEST_MAIN(TestProgress)
#include "tst_progress.moc"
