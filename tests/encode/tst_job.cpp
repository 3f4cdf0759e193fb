// The encode job without a window: the checks, the sequence, the verdict of
// each run, the faststart step, the picture copy and the final question, with
// a runner that plays each tool's part in-process.
#include "common/errors.h"
#include "encode/encodejob.h"
#include "support/fixture.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace encode;

namespace {

// What one tool does when it runs.
struct Step {
    int status = 0;       // exit code, or the signal with `signal`
    bool signal = false;
    bool unknown = false; // the runner could not wait for it
    bool started = true;
    bool cancel = false;  // the user cancelled it
    qint64 write = -1;    // bytes written to its output (-1: none; the faststart tool copies by default)
    QByteArray say;       // its console output
};
using Steps = QMap<QString, Step>; // by run label

const QByteArray frames = "frame=   75 fps=25 q=0.0 size=600kB\r";

class ScriptedRunner : public IToolRunner
{
public:
    Steps steps;
    QStringList labels;
    QStringList picturesSeen; // the picture copy, as each run found it

    mdlDOSPipe::RunResult run(const ToolRun &r) override
    {
        labels << r.label;
        picturesSeen << (QFileInfo::exists(pictureCopy) ? QStringLiteral("copy") : QStringLiteral("none"));
        const bool encoder = r.kind != ToolRun::Tool;
        if (r.label == QLatin1String("still") && QFileInfo::exists(r.output)) // never replaces a picture
            steps.insert(r.label, Step{1, false, false, true, false, -1, "Not overwriting - exiting\n"});
        Step s = steps.value(r.label, Step{0, false, false, true, false, encoder ? 600000 : -1,
                                           encoder ? frames : QByteArray()});
        if (r.label == QLatin1String("faststart") && s.write < 0 && !steps.contains(r.label))
            QFile::copy(r.output + QStringLiteral(".temp"), r.output);
        else if (r.label == QLatin1String("still") && !steps.contains(r.label))
            writeFileBytes(r.output, "jpeg");
        else if (s.write >= 0)
            writeFileBytes(r.output, QByteArray(s.write, 'x'));
        mdlDOSPipe::RunResult result;
        result.started = s.started;
        result.cancelled = s.cancel;
        result.report.feed(s.say);
        result.report.finish();
        if (s.started && !s.unknown)
            (s.signal ? result.signal : result.exitCode) = s.status;
        return result;
    }
    QString pictureCopy;
};

QString question(const QString &out)
{
    return QStringLiteral("FILE(S) ENCODED - ") + out + QStringLiteral("\r\nDO YOU WANT TO OPEN THE OUTPUT FOLDER?");
}

} // namespace

Q_DECLARE_METATYPE(Steps)
Q_DECLARE_METATYPE(Step)

class TestJob : public QObject
{
    Q_OBJECT

    struct Setup {
        TestAppDir app;
        QTemporaryDir work;
        ScriptedPrompts prompts;
        ScriptedRunner runner;
        QString out;
        Request r;
        Setup() : out(work.filePath("out") + "/")
        {
            QDir().mkpath(out);
            QFile::remove(app.file("engine/ffprobe")); // the runs write no media
            writeFileBytes(work.filePath("src/clip.avi"), QByteArray(1000, 's'));
            r = sampleRequest(app.path(), work.filePath("src/clip.avi"), out);
        }
        JobResult run() { return runEncodeJob(r, prompts, runner); }
        // "name=size" for each file of the output folder, in name order.
        QStringList files() const
        {
            QStringList out;
            for (const QFileInfo &f : QDir(this->out).entryInfoList(QDir::Files, QDir::Name))
                out << f.fileName() + "=" + QString::number(f.size());
            return out;
        }
    };

private slots:
    // Each run is judged by what the encoder did: its exit status, its report
    // of frames and its last error line; the size of its file only when the
    // status is unknown.
    void verdicts_data()
    {
        QTest::addColumn<QString>("formats");
        QTest::addColumn<Steps>("steps");
        QTest::addColumn<QStringList>("notices");
        QTest::addColumn<QString>("revealed"); // "" = no final question
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("runs");
        const auto step = [](std::initializer_list<std::pair<const QString, Step>> steps) { return Steps(steps); };
        QTest::newRow("made") << "flv,mp4" << Steps() << QStringList() << "clip.mp4"
                              << QStringList{"clip.flv=600000", "clip.mp4=600000"} << "flv,mp4,faststart";
        QTest::newRow("status 1 after 700 kB, with the tool's last error line; 300 kB with frames made")
            << "flv,mp4"
            << step({{"flv", {1, false, false, true, false, 700000,
                              "Error closing file x.flv: No space left on device\nConversion failed!\n"}},
                     {"mp4", {0, false, false, true, false, 300000, frames}}})
            << QStringList{"ENCODING FAILED! ERROR CLOSING FILE X.FLV: NO SPACE LEFT ON DEVICE."} << "clip.mp4"
            << QStringList{"clip.mp4=300000"} << "flv,mp4,faststart";
        QTest::newRow("a failed MP4 is not made streamable")
            << "flv,mp4" << step({{"mp4", {1, false, false, true, false, 700000, frames}}})
            << QStringList{"ENCODING FAILED! THE ENCODER STOPPED WITH STATUS 1."} << "clip.flv"
            << QStringList{"clip.flv=600000"} << "flv,mp4";
        QTest::newRow("ended by a signal") << "flv,mp4" << step({{"flv", {9, true, false, true, false, 700000, frames}}})
                                           << QStringList{"ENCODING FAILED! THE ENCODER WAS STOPPED BY SIGNAL 9 (SIGKILL)."}
                                           << "clip.mp4" << QStringList{"clip.mp4=600000"} << "flv,mp4,faststart";
        const QString bad = "ENCODING FAILED! BAD SOURCE FILE.";
        QTest::newRow("status 0 without frames: kept, nothing made")
            << "flv,mp4" << step({{"flv", {0, false, false, true, false, 700000, {}}}, {"mp4", {0, false, false, true, false, 700000, {}}}})
            << QStringList{bad, bad} << "" << QStringList{"clip.flv=700000", "clip.mp4=700000"} << "flv,mp4,faststart";
        QTest::newRow("every output failed") << "flv,webm"
                                             << step({{"flv", {1, false, false, true, false, 10, {}}}, {"webm", {2, false, false, true, false, 10, {}}}})
                                             << QStringList{"ENCODING FAILED! THE ENCODER STOPPED WITH STATUS 1.",
                                                            "ENCODING FAILED! THE ENCODER STOPPED WITH STATUS 2."}
                                             << "" << QStringList() << "flv,webm";
        QTest::newRow("status unknown: the size rule")
            << "flv,mp4" << step({{"flv", {0, false, true, true, false, 524288, {}}}, {"mp4", {0, false, true, true, false, 524289, {}}}})
            << QStringList{bad} << "clip.mp4" << QStringList{"clip.flv=524288", "clip.mp4=524289"} << "flv,mp4,faststart";
        QTest::newRow("no output ends the request") << "flv,webm" << step({{"flv", {1, false, false, true, false, -1, {}}}})
                                                    << QStringList{"UNSUPPORTED FILE!"} << "" << QStringList() << "flv";
        QTest::newRow("cannot start") << "webm" << step({{"webm", {0, false, false, false, false, -1, {}}}})
                                      << QStringList{"UNSUPPORTED FILE!"} << "" << QStringList() << "webm";
        QTest::newRow("cancelled: the partial output goes, nothing later runs")
            << "flv,webm" << step({{"flv", {9, true, false, true, true, 1000, {}}}}) << QStringList{"ENCODING CANCELLED!"}
            << "" << QStringList() << "flv";
        // The faststart tool keeps the MP4 unless it is known to have made
        // it; one it did not make is not streamable, and not made.
        const QString ns = "MP4 NOT MADE STREAMABLE! ";
        const QMap<QString, QString> notStreamable{
            {"faststart writes nothing", ns + "LAST ATOM IN FILE WAS NOT A MOOV ATOM."},
            {"faststart fails half-way", ns + "THE FASTSTART TOOL STOPPED WITH STATUS 1."},
            {"faststart killed", ns + "THE FASTSTART TOOL WAS STOPPED BY SIGNAL 9 (SIGKILL)."},
            {"faststart not waited for", ns + "THE FASTSTART TOOL COULD NOT BE WAITED FOR."},
            {"faststart cannot start", ns + "THE FASTSTART TOOL COULD NOT BE STARTED."}};
        for (const auto &[name, s] : std::initializer_list<std::pair<const char *, Step>>{
                 {"faststart writes nothing", {0, false, false, true, false, -1, "last atom in file was not a moov atom\n"}},
                 {"faststart fails half-way", {1, false, false, true, false, 100, {}}},
                 {"faststart killed", {9, true, false, true, false, 100, {}}},
                 {"faststart not waited for", {0, false, true, true, false, 100, {}}},
                 {"faststart cannot start", {0, false, false, false, false, -1, {}}}})
            QTest::newRow(name) << "mp4" << step({{"faststart", s}}) << QStringList{notStreamable.value(name)} << ""
                                << QStringList{"clip.mp4=600000"} << "mp4,faststart";
        QTest::newRow("still image with a WebM") << "webm,still" << Steps() << QStringList() << "clip.webm"
                                                << QStringList{"clip.jpg=4", "clip.webm=600000"} << "webm,still";
        QTest::newRow("still image past the end")
            << "flv,still" << step({{"still", {0, false, false, true, false, -1, "Output file is empty, nothing was encoded\n"}}})
            << QStringList{"STILL IMAGE NOT GRABBED! THE VIDEO IS SHORTER THAN 00:30."} << "clip.flv"
            << QStringList{"clip.flv=600000"} << "flv,still";
        QTest::newRow("only the still image made")
            << "webm,still" << step({{"webm", {0, false, false, true, false, 700000, {}}}})
            << QStringList{bad} << "clip.jpg" << QStringList{"clip.jpg=4", "clip.webm=700000"} << "webm,still";
        QTest::newRow("still image refused by the encoder")
            << "flv,still"
            << step({{"still", {1, false, false, true, false, -1,
                                "File 'clip.jpg' already exists. Overwrite? [y/N] Not overwriting - exiting\n"}}})
            << QStringList{"STILL IMAGE NOT GRABBED! FILE 'CLIP.JPG' ALREADY EXISTS. OVERWRITE? [Y/N] NOT OVERWRITING - "
                           "EXITING."}
            << "clip.flv" << QStringList{"clip.flv=600000"} << "flv,still";
    }
    void verdicts()
    {
        QFETCH(QString, formats);
        QFETCH(Steps, steps);
        QFETCH(QStringList, notices);
        QFETCH(QString, revealed);
        QFETCH(QStringList, files);
        QFETCH(QString, runs);
        Setup s;
        s.r.flv = formats.contains("flv");
        s.r.mp4 = formats.contains("mp4");
        s.r.webm = formats.contains("webm");
        s.r.stillImage = formats.contains("still");
        s.runner.steps = steps;
        // A ".temp" left by an interrupted run is no obstacle.
        if (runs.contains("faststart"))
            writeFileBytes(s.out + "clip.mp4.temp", "old");
        for (const QString &notice : notices)
            s.prompts.expectMessage(notice);
        if (!revealed.isEmpty())
            s.prompts.expectMessage(question(s.out), vbYes);
        QStringList reported;
        const JobResult result = runEncodeJob(s.r, s.prompts, s.runner, [&](const OutputReport &report) {
            reported << formatName(report.format) + (report.status == Status::Made ? "+" : "-");
        });
        QCOMPARE(s.runner.labels.join(','), runs);
        QCOMPARE(s.files(), files);
        QCOMPARE(s.prompts.texts(ScriptedPrompts::Kind::ShowInFileManager),
                 revealed.isEmpty() ? QStringList() : QStringList{s.out + revealed});
        QCOMPARE(reported.size(), result.outputs.size());
        QCOMPARE(result.outputs.size(), plannedOutputs(s.r).size()); // each planned output once
        QCOMPARE(result.made.mp4.isEmpty(), !reported.contains("mp4+"));
        VERIFY_PROMPTS(s.prompts);
    }

    // What stood at an output's place: an older file comes back unless the
    // new one is made, and a link is never written through.
    void whatStoodThere_data()
    {
        QTest::addColumn<QString>("format"); // "flv" or "still"
        QTest::addColumn<QString>("there");  // "old", "link" (to a file elsewhere), "dangling"
        QTest::addColumn<bool>("ask");       // Yes to the question, else always replaced
        QTest::addColumn<Step>("step");
        QTest::addColumn<QStringList>("files");
        const Step made{0, false, false, true, false, 600000, frames};
        const Step nothing{1, false, false, true, false, -1, {}};
        const Step broken{1, false, false, true, false, 700000, {}};
        const Step cancelled{9, true, false, true, true, 1000, {}};
        const Step picture{0, false, false, true, false, 4, {}};
        const auto row = [](const char *name, const char *format, const char *there, bool ask, const Step &step,
                            const QStringList &files) { QTest::newRow(name) << format << there << ask << step << files; };
        row("made, after Yes", "flv", "old", true, made, {"clip.flv=600000"});
        row("made, always", "flv", "old", false, made, {"clip.flv=600000"});
        row("nothing written", "flv", "old", false, nothing, {"clip.flv=900000"});
        row("failed half-way", "flv", "old", true, broken, {"clip.flv=900000"});
        row("cancelled", "flv", "old", false, cancelled, {"clip.flv=900000"});
        row("link to a file elsewhere", "flv", "link", false, made, {"clip.flv=600000"});
        row("link that leads nowhere", "flv", "dangling", false, made, {"clip.flv=600000"});
        row("still image made", "still", "old", false, picture, {"clip.flv=600000", "clip.jpg=4"});
        row("still image not made", "still", "old", false, nothing, {"clip.flv=600000", "clip.jpg=900000"});
        row("still image through a link", "still", "dangling", false, picture, {"clip.flv=600000", "clip.jpg=4"});
    }
    void whatStoodThere()
    {
        QFETCH(QString, format);
        QFETCH(QString, there);
        QFETCH(bool, ask);
        QFETCH(Step, step);
        QFETCH(QStringList, files);
        Setup s;
        s.r.mp4 = 0;
        s.r.stillImage = format == "still";
        s.r.askToOpenFolder = false;
        s.r.overwrite = ask ? Overwrite::Ask : Overwrite::Always;
        const QString place = s.out + (format == "still" ? "clip.jpg" : "clip.flv");
        const QString elsewhere = s.work.filePath("elsewhere");
        if (there == "old")
            writeFileBytes(place, QByteArray(900000, 'o'));
        if (there == "link")
            writeFileBytes(elsewhere, "theirs");
        if (there != "old")
            QFile::link(elsewhere, place);
        if (ask && there == "old")
            s.prompts.expectMessage("clip.flv ALREADY EXISTS IN OUTPUT FOLDER. OVERWRITE?", vbYes);
        s.runner.steps[format] = step;
        if (step.status != 0 && !step.cancel)
            s.prompts.expectMessage(QString()); // the failure's notice
        else if (step.cancel)
            s.prompts.expectMessage("ENCODING CANCELLED!");
        const JobResult result = s.run();
        QCOMPARE(s.files(), files);
        QCOMPARE(QDir(s.out).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), files.size());
        QCOMPARE(fileBytes(elsewhere), QByteArray(there == "link" ? "theirs" : ""));
        QCOMPARE(result.outputs.size(), plannedOutputs(s.r).size());
        VERIFY_PROMPTS(s.prompts);
    }

    // The checks, in their order; each refusal says what to mend and nothing
    // runs.
    void refusals_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("answer"); // to the overwrite question, 0 = none asked
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("subject");
        QTest::newRow("no source") << "source=" << 0 << "INPUT OR SOURCE FILE REQUIRED!" << int(Subject::ChooseSource);
        QTest::newRow("no folder") << "outDir=" << 0 << "OUTPUT FOLDER MISSING!" << int(Subject::ChooseOutputFolder);
        QTest::newRow("no format") << "flv=0 mp4=0" << 0 << "PLEASE SELECT AT LEAST ONE OUTPUT FORMAT!"
                                                           << int(Subject::ChooseFormat);
        QTest::newRow("no MP4 name") << "mp4Name=" << 0 << "OUTPUT MP4 FILE NAME MISSING!" << int(Subject::Mp4Name);
        QTest::newRow("output is the source") << "beside mp4Name=clip.avi" << 0
                                              << "THE OUTPUT MP4 FILE WOULD REPLACE THE SOURCE FILE. CHANGE ITS NAME."
                                              << int(Subject::RenameMp4);
        QTest::newRow("its .temp is the source") << "source=x.mp4.temp beside mp4Name=x.mp4" << 0
                                                 << "THE OUTPUT MP4 FILE WOULD REPLACE THE SOURCE FILE. CHANGE ITS NAME."
                                                 << int(Subject::RenameMp4);
        QTest::newRow("existing output, No") << "exists" << vbNo << "CHANGE THE NAME OF THE OUTPUT FLV FILE."
                                            << int(Subject::RenameFlv);
        QTest::newRow("existing output, never replaced") << "exists never" << 0
                                                         << "clip.flv ALREADY EXISTS IN OUTPUT FOLDER." << int(Subject::RenameFlv);
        QTest::newRow("minute 60") << "still minute=60" << 0 << "INVALID INPUT FOR MINUTES. ENTER A VALUE FROM 0 TO 59!"
                                   << int(Subject::StillMinute);
        QTest::newRow("second -1") << "still second=-1" << 0
                                   << "INVALID INPUT FOR SECONDS. ENTER A VALUE FROM 0 TO 59!" << int(Subject::StillSecond);
        QTest::newRow("minute empty") << "still minute=" << 0 << "ERROR# 13 TYPE MISMATCH. PLEASE CONTACT SUPPORT." << 0;
        QTest::newRow("minute beyond 16 bits") << "still minute=32768" << 0
                                               << "ERROR# 6 OVERFLOW. PLEASE CONTACT SUPPORT." << 0;
        QTest::newRow("ticked watermark without a saved one") << "watermark" << 0
                                                             << "PLEASE SAVE THE WATERMARK OPTIONS BEFORE ENCODING!"
                                                             << int(Subject::SaveWatermark);
        QTest::newRow("picture gone") << "picture" << 0 << "WATERMARK IMAGE COULD NOT BE COPIED! FILE NOT FOUND."
                                      << int(Subject::WatermarkPicture);
        QTest::newRow("option file missing") << "nooptions" << 0 << "ERROR# 53 FILE NOT FOUND. PLEASE CONTACT SUPPORT."
                                             << 0;
    }
    void refusals()
    {
        QFETCH(QString, change);
        QFETCH(int, answer);
        QFETCH(QString, message);
        QFETCH(int, subject);
        Setup s;
        for (const QString &c : change.split(' ')) {
            const QString value = c.section('=', 1);
            if (c.startsWith("source="))
                s.r.source = value.isEmpty() ? value : s.work.filePath("src/" + value);
            else if (c == "beside")
                s.r.outDir = s.work.filePath("src/");
            else if (c.startsWith("outDir="))
                s.r.outDir = value;
            else if (c.startsWith("flv="))
                s.r.flv = value.toInt();
            else if (c.startsWith("mp4="))
                s.r.mp4 = value.toInt();
            else if (c.startsWith("mp4Name="))
                s.r.mp4Name = value;
            else if (c == "exists")
                writeFileBytes(s.out + "clip.flv", "old");
            else if (c == "never")
                s.r.overwrite = Overwrite::Never;
            else if (c == "still")
                s.r.stillImage = 1;
            else if (c.startsWith("minute="))
                s.r.minute = value;
            else if (c.startsWith("second="))
                s.r.second = value;
            else if (c == "watermark")
                s.r.watermark = 1;
            else if (c == "picture")
                s.r = pictureRequest(s.r, s.work.filePath("gone.png"));
            else if (c == "nooptions")
                QFile::remove(s.app.file("config/configx264v1.txt"));
        }
        writeFileBytes(s.r.source, "source");
        if (answer)
            s.prompts.expectMessage("clip.flv ALREADY EXISTS IN OUTPUT FOLDER. OVERWRITE?", answer);
        s.prompts.expectMessage(message);
        const JobResult result = s.run();
        QCOMPARE(int(result.refusedSubject.value_or(Subject::None)), subject);
        QVERIFY(s.runner.labels.isEmpty());
        if (message.startsWith("CHANGE") || message.startsWith("PLEASE SAVE"))
            QCOMPARE(s.prompts.records().constLast().icon, MsgIcon::Information);
        VERIFY_PROMPTS(s.prompts);
    }

    // The picture copy the filter opens is there for every run of a request
    // that draws it, and gone afterwards; never one of the program's files.
    void pictureCopyLifeCycle_data()
    {
        QTest::addColumn<bool>("watermark");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("seen");
        QTest::addColumn<bool>("left");
        QTest::newRow("drawn: put back, then removed") << true << "logo.png" << "copy,copy" << false;
        QTest::newRow("not drawn: still removed") << false << "logo.png" << "copy,copy" << false;
        QTest::newRow("a name of the program's own") << true << "config" << "copy,copy" << true;
    }
    void pictureCopyLifeCycle()
    {
        QFETCH(bool, watermark);
        QFETCH(QString, name);
        QFETCH(QString, seen);
        QFETCH(bool, left);
        Setup s;
        const QString picture = s.work.filePath(name);
        writeFileBytes(picture, "png");
        s.r = pictureRequest(s.r, picture);
        s.r.watermark = watermark ? 1 : 0;
        s.runner.pictureCopy = s.app.file(name);
        if (!watermark) // a copy a request before left
            writeFileBytes(s.app.file(name), "png");
        s.prompts.expectMessage(question(s.out), vbNo);
        s.run();
        QCOMPARE(s.runner.picturesSeen.mid(0, 2).join(','), seen);
        QCOMPARE(QFileInfo::exists(s.app.file(name)), left);
        VERIFY_PROMPTS(s.prompts);
    }

    // A ".temp" that cannot be made ends the request with the general report;
    // the MP4 stays under its own name.
    void tempThatCannotBeMade()
    {
        Setup s;
        s.r.flv = 0;
        QDir().mkpath(s.out + "clip.mp4.temp");
        s.prompts.expectMessage("ERROR# 58 FILE ALREADY EXISTS. PLEASE CONTACT SUPPORT.");
        s.run();
        QCOMPARE(QFileInfo(s.out + "clip.mp4").size(), 600000);
        QCOMPARE(s.runner.labels, QStringList{"mp4"});
        VERIFY_PROMPTS(s.prompts);
    }

    // The runs carry what the window shows and what the console names.
    void runsCarryTheirOutputs()
    {
        Setup s;
        s.r.webm = s.r.stillImage = 1;
        s.r.askToOpenFolder = false;
        QList<ToolRun> runs;
        struct Recorder : ScriptedRunner {
            QList<ToolRun> *runs;
            mdlDOSPipe::RunResult run(const ToolRun &r) override
            {
                runs->append(r);
                return ScriptedRunner::run(r);
            }
        } recorder;
        recorder.runs = &runs;
        runEncodeJob(s.r, s.prompts, recorder);
        QStringList seen;
        for (const ToolRun &r : runs)
            seen << QString::number(r.kind) + " " + r.label + " " + QFileInfo(r.output).fileName()
                    + (r.source == s.r.source ? "" : " ?");
        QCOMPARE(seen, (QStringList{"1 flv clip.flv", "2 mp4 clip.mp4", "0 faststart clip.mp4", "3 webm clip.webm",
                                    "0 still clip.jpg"}));
        VERIFY_PROMPTS(s.prompts);
    }

private:
    static Request pictureRequest(Request r, const QString &picture)
    {
        r.watermark = 1;
        r.watermarkFilter = " -vf \"movie='logo.png'\"";
        r.imageWatermark = true;
        r.picturePath = picture;
        r.pictureName = QFileInfo(picture).fileName();
        return r;
    }
};

QTEST_MAIN(TestJob)
#include "tst_job.moc"
