// The encode job without a window: the checks, the sequence, the verdict of
// each run, the faststart step, the picture copy and the final question, with
// a runner that plays each tool in-process.
#include "encode/encodejob.h"
#include "support/fixture.h"

#include <QTest>

using namespace encode;

namespace {

// What one tool does when it runs. By default an encoder writes 600,000 bytes and reports frames, the
// faststart tool copies its input, the still image writes a picture. `code` is the exit status, or the signal
// that ended it with `signal`; `lost`: the runner could not wait for it; `bytes` written to its output (-1:
// none); `say` its console output.
struct Step {
    int code = 0;
    bool signal = false, lost = false, started = true, cancel = false;
    qint64 bytes = -1;
    QByteArray say{};
};
// By run label.
using Steps = QMap<QString, Step>;

const QByteArray frames = "frame=   75 fps=25 q=0.0 size=600kB\r";

// Keeps each run's label, with "?" when its kind, source or output is not the label's and "+" when the
// picture copy was there.
struct ScriptedRunner : IToolRunner {
    Steps steps;
    QStringList labels;
    QString source, picture;

    mdlDOSPipe::RunResult run(const ToolRun &r) override
    {
        const qint16 kind = QStringList{"flv", "mp4", "webm", "hls"}.indexOf(r.label) + 1;
        const QString name = r.label == "faststart" ? "mp4" : r.label == "still" ? "jpg" : r.label;
        const bool as = r.kind == kind && r.source == source && r.output.endsWith("/clip." + name);
        labels << r.label + (as ? "" : "?") + (QFileInfo::exists(picture) ? "+" : "");
        const Step s = steps.value(r.label, kind ? Step{.bytes = 600000, .say = frames} : Step{});
        if (!steps.contains(r.label) && !kind)
            r.label == "still" ? writeFileBytes(r.output, "jpeg") : QFile::copy(r.output + ".temp", r.output);
        else if (s.bytes >= 0)
            writeFileBytes(r.output, QByteArray(s.bytes, 'x'));
        mdlDOSPipe::RunResult result;
        result.started = s.started, result.cancelled = s.cancel;
        result.report.feed(s.say);
        if (s.started && !s.lost)
            (s.signal ? result.signal : result.exitCode) = s.code;
        return result;
    }
};

// An FLV and MP4 request of clip.avi; the runs write no media, so nothing is read back.
struct Setup {
    TestAppDir app;
    QTemporaryDir work;
    ScriptedPrompts prompts;
    ScriptedRunner runner;
    QString out = work.filePath("out") + "/";
    Request r = sampleRequest(app.path(), work.filePath("src/clip.avi"), out);
    Setup()
    {
        QDir().mkpath(out);
        QFile::remove(app.file("engine/ffprobe"));
        writeFileBytes(r.source, "source");
        runner.source = r.source;
    }
    JobResult run(const Reporter &reported = {}) { return runEncodeJob(r, prompts, runner, reported); }
    // "name=size" for each file of the output folder, hidden ones included, in name order.
    QString files() const
    {
        QStringList names;
        for (const QFileInfo &f : QDir(out).entryInfoList(QDir::Files | QDir::Hidden, QDir::Name))
            names << f.fileName() + "=" + QString::number(f.size());
        return names.join(' ');
    }
    void formats(const QString &f)
    {
        r.flv = f.contains("flv"), r.mp4 = f.contains("mp4"), r.webm = f.contains("webm"),
        r.stillImage = f.contains("still");
    }
    void expectQuestion(int answer)
    {
        prompts.expectMessage("FILE(S) ENCODED - " + out + "\r\nDO YOU WANT TO OPEN THE OUTPUT FOLDER?",
                              answer);
    }
};

} // namespace

Q_DECLARE_METATYPE(Steps)
Q_DECLARE_METATYPE(Step)

class TestJob : public QObject
{
    Q_OBJECT
private slots:
    // Each run is judged by what the encoder did: its exit status, its report of frames and its last error
    // line; the size of its file only when the status is unknown. An MP4 is judged after its faststart step:
    // it comes back as encoded unless the tool is known to have made it, and one it did not make is not made.
    // Each row: the formats, what the tools do, the notices, and then the runs, the files left and what the
    // final question shows.
    void verdicts_data()
    {
        QTest::addColumn<QString>("formats");
        QTest::addColumn<Steps>("steps");
        QTest::addColumn<QStringList>("notices");
        QTest::addColumn<QString>("outcome");
        const QString bad = "ENCODING FAILED! BAD SOURCE FILE.", ns = "MP4 NOT MADE STREAMABLE! ",
                      tool = ns + "THE FASTSTART TOOL ";
        const auto row = [](const char *name, const char *formats, const Steps &steps,
                            const QStringList &notices, const char *outcome) {
            QTest::newRow(name) << QString(formats) << steps << notices << QString(outcome);
        };
        row("status 1: its error line; 300 kB with frames: made", "flv,mp4",
            {{"flv",
              {.code = 1,
               .bytes = 700000,
               .say = "Error closing file x.flv: No space left on device\nConversion failed!\n"}},
             {"mp4", {.bytes = 300000, .say = frames}}},
            {"ENCODING FAILED! ERROR CLOSING FILE X.FLV: NO SPACE LEFT ON DEVICE."},
            "flv,mp4,faststart | clip.mp4=300000 | clip.mp4");
        row("a failed MP4 is not made streamable", "flv,mp4",
            {{"mp4", {.code = 1, .bytes = 7, .say = frames}}},
            {"ENCODING FAILED! THE ENCODER STOPPED WITH STATUS 1."}, "flv,mp4 | clip.flv=600000 | clip.flv");
        row("status 0 without frames: kept, not made", "flv,webm",
            {{"flv", {.bytes = 7}}, {"webm", {.bytes = 7}}}, {bad, bad},
            "flv,webm | clip.flv=7 clip.webm=7 | ");
        row("status unknown: the size rule", "flv,mp4",
            {{"flv", {.lost = true, .bytes = 524288}}, {"mp4", {.lost = true, .bytes = 524289}}}, {bad},
            "flv,mp4,faststart | clip.flv=524288 clip.mp4=524289 | clip.mp4");
        row("cancelled: nothing later runs", "flv,webm",
            {{"flv", {.code = 9, .signal = true, .cancel = true, .bytes = 9}}}, {"ENCODING CANCELLED!"},
            "flv |  | ");
        for (const auto &[name, step, notice] :
             std::initializer_list<std::tuple<const char *, Step, QString>>{
                 {"faststart writes nothing",
                  {.say = "last atom in file was not a moov atom\n"},
                  ns + "LAST ATOM IN FILE WAS NOT A MOOV ATOM."},
                 {"faststart fails half-way", {.code = 1, .bytes = 100}, tool + "STOPPED WITH STATUS 1."},
                 {"faststart killed",
                  {.code = 9, .signal = true, .bytes = 100},
                  tool + "WAS STOPPED BY SIGNAL 9 (SIGKILL)."},
                 {"faststart not waited for",
                  {.lost = true, .bytes = 100},
                  tool + "COULD NOT BE WAITED FOR."},
                 {"faststart cannot start", {.started = false}, tool + "COULD NOT BE STARTED."}})
            row(name, "mp4", {{"faststart", step}}, {notice}, "mp4,faststart | clip.mp4=600000 | ");
    }
    void verdicts()
    {
        QFETCH(QString, formats);
        QFETCH(Steps, steps);
        QFETCH(QStringList, notices);
        QFETCH(QString, outcome);
        Setup s;
        s.formats(formats);
        s.runner.steps = steps;
        // A ".temp" left by an interrupted run is no obstacle; a folder is.
        if (outcome.contains("faststart"))
            writeFileBytes(s.out + "clip.mp4.temp", "old");
        for (const QString &notice : notices)
            s.prompts.expectMessage(notice);
        if (!outcome.endsWith("| "))
            s.expectQuestion(vbYes);
        qsizetype reported = 0;
        const JobResult result = s.run([&](const OutputReport &) { ++reported; });
        QCOMPARE(s.runner.labels.join(',') + " | " + s.files() + " | "
                     + s.prompts.texts(ScriptedPrompts::Kind::ShowInFileManager).join("").remove(s.out),
                 outcome);
        // Each planned output is reported once.
        QCOMPARE(reported, plannedOutputs(s.r).size());
        QCOMPARE(result.outputs.size(), reported);
        VERIFY_PROMPTS(s.prompts);
    }

    // What stood at an output's place: an older file (set aside meanwhile) comes back unless the new one is
    // made, with Yes to the question or always replaced; a link, to a file elsewhere or leading nowhere, is
    // never written through. Each row: the output and what stands there (the question asked and answered Yes,
    // else always replaced), what its tool does, the files afterwards.
    void whatStoodThere_data()
    {
        QTest::addColumn<QString>("place");
        QTest::addColumn<Step>("step");
        QTest::addColumn<QString>("files");
        const Step made{.bytes = 600000, .say = frames},
            cancelled{.code = 9, .signal = true, .cancel = true, .bytes = 9};
        QTest::newRow("cancelled") << "clip.flv old ask" << cancelled << "clip.flv=900000";
        QTest::newRow("link to a file elsewhere") << "clip.flv link" << made << "clip.flv=600000";
        QTest::newRow("link that leads nowhere") << "clip.flv dangling" << made << "clip.flv=600000";
        QTest::newRow("still image made")
            << "clip.jpg old" << Step{.bytes = 4} << "clip.flv=600000 clip.jpg=4";
        QTest::newRow("no still image")
            << "clip.jpg old" << Step{.code = 1} << "clip.flv=600000 clip.jpg=900000";
    }
    void whatStoodThere()
    {
        QFETCH(QString, place);
        QFETCH(Step, step);
        QFETCH(QString, files);
        const QString output = place.section(' ', 0, 0), there = place.section(' ', 1, 1);
        const bool ask = place.endsWith("ask");
        Setup s;
        s.formats(output.endsWith("jpg") ? "flv,still" : "flv");
        s.r.askToOpenFolder = false;
        s.r.overwrite = ask ? Overwrite::Ask : Overwrite::Always;
        const QString elsewhere = s.work.filePath("elsewhere");
        writeFileBytes(there == "old" ? s.out + output : elsewhere,
                       there == "link" ? "theirs" : QByteArray(900000, 'o'));
        if (there != "old")
            QFile::link(elsewhere, s.out + output), QFile::remove(there == "dangling" ? elsewhere : "");
        if (ask)
            s.prompts.expectMessage(output + " ALREADY EXISTS IN OUTPUT FOLDER. OVERWRITE?", vbYes);
        s.runner.steps[output.endsWith("flv") ? "flv" : "still"] = step;
        // The failure's notice.
        if (step.code)
            s.prompts.expectMessage(step.cancel ? "ENCODING CANCELLED!" : "");
        s.run();
        QCOMPARE(s.files(), files);
        QCOMPARE(fileBytes(elsewhere), QByteArray(there == "link" ? "theirs" : ""));
        VERIFY_PROMPTS(s.prompts);
    }

    // A stream not made leaves no folder, no stray segment: an older folder comes back whole (all rows but
    // "failed" have one).
    void streamNotMade_data()
    {
        QTest::addColumn<Step>("step");
        QTest::addColumn<QString>("notice");
        QTest::newRow("cancelled") << Step{.code = 9, .signal = true, .cancel = true, .bytes = 9}
                                   << "ENCODING CANCELLED!";
        QTest::newRow("failed") << Step{.code = 1, .bytes = 9}
                                << "ENCODING FAILED! THE ENCODER STOPPED WITH STATUS 1.";
        QTest::newRow("playlists missing")
            << Step{.bytes = 9, .say = frames} << "ENCODING FAILED! THE PLAYLIST 1080p.m3u8 IS NO PLAYLIST.";
    }
    void streamNotMade()
    {
        QFETCH(Step, step);
        QFETCH(QString, notice);
        Setup s;
        s.formats("");
        s.r.hls = 1, s.r.hlsName = "clip-hls", s.r.overwrite = Overwrite::Always;
        const bool old = QTest::currentDataTag() != QLatin1String("failed");
        if (old)
            QVERIFY(writeFileBytes(s.out + "clip-hls/720p.m3u8", "old"));
        s.runner.steps["hls"] = step;
        s.prompts.expectMessage(notice);
        s.run();
        QCOMPARE(s.runner.labels.join(','), QStringLiteral("probe?,hls?"));
        QCOMPARE(QDir(s.out).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 old ? QStringList{"clip-hls"} : QStringList());
        if (old)
            QCOMPARE(QDir(s.out + "clip-hls").entryList(QDir::Files), QStringList{"720p.m3u8"});
        VERIFY_PROMPTS(s.prompts);
    }

    // The encoder would take a "%" in the stream's path for a pattern.
    void streamPathWithAPercent()
    {
        Setup s;
        s.formats("");
        s.r.hls = 1, s.r.hlsName = "100%-hls";
        s.prompts.expectMessage(
            "THE PATH OF THE OUTPUT HLS FOLDER HOLDS A \"%\". CHANGE ITS NAME OR THE OUTPUT FOLDER.");
        s.run();
        QVERIFY(s.runner.labels.isEmpty());
        VERIFY_PROMPTS(s.prompts);
    }

    // The output or its ".temp" is never the source, nor the caption file; a stream's folder never holds the
    // source: the checks refuse it, say what to mend and where the window takes the user; nothing runs.
    void refusals_data()
    {
        QTest::addColumn<QString>("source");
        QTest::newRow("output is the source") << "clip.avi";
        QTest::newRow("its .temp is the source") << "clip.avi.temp";
        QTest::newRow("output is the caption file") << "captions";
        QTest::newRow("the stream's folder holds the source") << "clip.avi/in.avi";
    }
    void refusals()
    {
        QFETCH(QString, source);
        Setup s;
        const bool stream = source.contains('/');
        s.r.outDir = s.work.path() + '/', s.r.hls = stream;
        (stream ? s.r.hlsName : s.r.mp4Name) = "clip.avi";
        if (source == "captions")
            s.r.captions = s.work.filePath("clip.avi"), s.r.captionsName = "clip.vtt";
        else
            s.r.source = s.work.filePath(source);
        writeFileBytes(s.work.filePath(source == "captions" ? "clip.avi" : source), "source");
        s.prompts.expectMessage(stream
                                    ? "THE OUTPUT HLS FOLDER WOULD REPLACE THE SOURCE FILE. CHANGE ITS NAME."
                                    : "THE OUTPUT MP4 FILE WOULD REPLACE THE SOURCE FILE. CHANGE ITS NAME.");
        const JobResult result = s.run();
        QCOMPARE(result.refusedSubject.value_or(Subject::None),
                 stream ? Subject::RenameHls : Subject::RenameMp4);
        QCOMPARE(result.outputs.size(), plannedOutputs(s.r).size());
        QVERIFY(s.runner.labels.isEmpty());
        VERIFY_PROMPTS(s.prompts);
    }

    // The picture copy the filter opens is there for every run of a request that draws it, and gone
    // afterwards; never one of the program's files. Not drawn: a copy a request before left is removed all
    // the same.
    void pictureCopyLifeCycle_data()
    {
        QTest::addColumn<bool>("drawn");
        QTest::addColumn<QString>("name");
        QTest::newRow("drawn: put back, then removed") << true << "logo.png";
        QTest::newRow("not drawn: still removed") << false << "logo.png";
        QTest::newRow("a name of the program's own") << true << "config";
    }
    void pictureCopyLifeCycle()
    {
        QFETCH(bool, drawn);
        QFETCH(QString, name);
        Setup s;
        s.r.watermark = drawn, s.r.imageWatermark = true, s.r.pictureName = name;
        s.r.watermarkFilter = " -vf \"movie='logo.png'\"", s.r.picturePath = s.work.filePath(name);
        s.runner.picture = s.app.file(name);
        writeFileBytes(drawn ? s.r.picturePath : s.runner.picture, "png");
        s.expectQuestion(vbNo);
        s.run();
        QCOMPARE(s.runner.labels.join(',') + QString::number(QFileInfo::exists(s.runner.picture)),
                 "flv+,mp4+,faststart+" + QString::number(name == "config"));
        VERIFY_PROMPTS(s.prompts);
    }
};

QTEST_MAIN(TestJob)
#include "tst_job.moc"
