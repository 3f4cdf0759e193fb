// vidlark-encode as its users run it: arguments and profiles judged through
// the exit status and the JSON lines, several runs side by side (GNU
// parallel, two at once with a picture watermark), interrupts, and the same
// command lines as the window's encode job.
#include "cli/claims.h"
#include "settings/encodesettings.h"
#include "support/fixture.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSysInfo>
#include <QTest>

#include <csignal>
#include <sys/mount.h>
#include <sys/stat.h>

using Changes = QList<std::pair<int, QString>>;
using namespace profile;

namespace {

// A stand-in encoder: tells the source's length and how far it came in one
// write, then writes its output, replacing a file only when told to (-y);
// asked about a made video, it names its size.
const QByteArray encodes =
    "[ \"$1\" = -hide_banner ] && { echo '  Stream #0:0: Video: h264, yuv420p, 160x120' >&2; exit 0; }\n"
    "[ \"$1\" != -y ] && [ -e \"$last\" ] && exit 1\n"
    "printf '  Duration: 00:00:04.00, start: 0.0\\nframe=   50 fps=25 size=600kB time=00:00:02.00 "
    "speed=2.0x\\r' >&2\n"
    "head -c 600000 /dev/zero > \"$last\"\n";

// Puts this build's vidlark-encode into the folder, where it finds its
// tools, lists and fonts, and returns its path; with an encoder, the tools
// are stand-ins.
QString installCli(const TestAppDir &dir, const QByteArray &encoder = {})
{
    const QString cli = dir.file("vidlark-encode");
    QFile::copy(encodeBinary(), cli);
    QFile(cli).setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    if (encoder.isEmpty())
        return cli;
    dir.setTool("engine/ffmpeg", encoder);
    dir.setTool("ma", fake::copies);
    return cli;
}

// A profile: the start-up settings with these lines changed.
QString writeProfile(const QString &appFolder, const QString &path, const Changes &changes)
{
    const encodesettings::Lists lists = encodesettings::readLists(appFolder);
    Values values = encodesettings::Settings(lists).values();
    for (const auto &[line, value] : changes)
        values[size_t(line)] = value;
    writeFileBytes(path, encodeProfile(values));
    return path;
}

// A finished run of vidlark-encode.
struct Run {
    int status = -1;
    QByteArray out, err;
    QList<QJsonObject> events; // the JSON lines
    QStringList results;       // "flv:made", "mp4:refused"... in their order
    explicit Run(QProcess &p)
    {
        if (p.waitForFinished(300000) && p.exitStatus() == QProcess::NormalExit)
            status = p.exitCode();
        out = p.readAllStandardOutput();
        err = p.readAllStandardError();
        for (const QByteArray &line : out.split('\n')) {
            const QJsonObject e = QJsonDocument::fromJson(line).object();
            if (!e.isEmpty())
                events << e;
            if (e["event"] == "result")
                results << e["format"].toString() + ':' + e["status"].toString();
        }
    }
};

// Members of the process group that still run (zombies aside).
int runningInGroup(qint64 group)
{
    int count = 0;
    for (const QString &pid : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QByteArray stat = fileBytes("/proc/" + pid + "/stat");
        const QList<QByteArray> f = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        count += f.size() > 2 && f.at(0) != "Z" && f.at(2).toLongLong() == group;
    }
    return count;
}

// A 16x16 block 16 pixels from the top-left corner of the first frame,
// averaged, is red.
bool redCorner(const QString &video)
{
    runFfmpeg({"-i", video, "-frames:v", "1", "-vf", "crop=16:16:16:16,scale=1:1", "-f", "rawvideo",
               "-pix_fmt", "rgb24", video + ".rgb"});
    const QByteArray rgb = fileBytes(video + ".rgb");
    return rgb.size() == 3 && quint8(rgb[0]) > 200 && quint8(rgb[1]) < 60 && quint8(rgb[2]) < 60;
}

} // namespace

class tst_Cli : public QObject
{
    Q_OBJECT
private slots:
    void arguments_data()
    {
        QTest::addColumn<QString>(
            "line"); // the arguments; @in, @out, @clip, @profile: the test's folders and files
        QTest::addColumn<Changes>("profile");
        QTest::addColumn<QString>("setup"); // what lies there before the run
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("results");
        QTest::addColumn<QStringList>("says"); // patterns found in what it printed
        const QString both = "flv:made mp4:made", refused = "flv:refused mp4:refused";
        const QString being = "clip.mp4 IS BEING WRITTEN BY ANOTHER RUN OF VIDLARK-ENCODE.";
        const Changes webmNotFlv{{FLV, checkStateText(0)}, {Webm, checkStateText(1)}};
        const auto row = [](const char *name, const QString &args, int status, const QString &results,
                            const QStringList &says, const QString &setup = {}, const Changes &changes = {}) {
            QTest::newRow(name) << args << changes << setup << status << results << says;
        };
        row("beside the source", "--json @clip", 0, both, {"\"percent\":50", "\"speed\":2"});
        row("formats in any case", "--json -f WebM,flv -o @out @clip", 0, "flv:made webm:made", {});
        row("unknown format", "-f flv,avi @clip", 2, "", {"unknown format 'avi'"});
        row("empty format list", "--json --formats= @clip", 2, "",
            {"PLEASE SELECT AT LEAST ONE OUTPUT FORMAT!"});
        row("still minute too late", "--still 60:00 @clip", 2, "", {"INVALID INPUT FOR MINUTES"});
        row("still not MM:SS", "--still 90 @clip", 2, "", {"--still takes a time as MM:SS"});
        row("still not a number", "--still a:b @clip", 2, "", {"ERROR# 13 TYPE MISMATCH"});
        row("profile's formats", "--json -p @profile -o @out @clip", 0, "mp4:made webm:made", {}, {},
            webmNotFlv);
        row("formats over the profile's", "--json -p @profile -f flv -o @out @clip", 0, "flv:made", {}, {},
            webmNotFlv);
        row("profile not found", "-p @in/none.vlp @clip", 2, "", {"ERROR# 53 FILE NOT FOUND"});
        row("not a profile", "--profile=@clip @clip", 2, "",
            {"NOT A VALID VIDLARK WEB VIDEO ENCODER PROFILE!"});
        row("profile with a bad line", "-p @profile @clip", 2, "", {"ERROR# 380"}, {},
            {{VideoBitrate, "99"}});
        row("watermark never saved", "-p @profile @clip", 2, "", {"PLEASE SAVE THE WATERMARK OPTIONS"}, {},
            {{Watermark, checkStateText(1)}, {TextWatermark, optionText(false)}});
        row("missing source", "--json - @clip", 1, "flv:failed mp4:failed " + both,
            {"-: SOURCE FILE NOT FOUND!"});
        row("output exists", "--json -o @out @clip", 1, refused,
            {"clip.mp4 ALREADY EXISTS IN OUTPUT FOLDER."}, "old");
        row("--overwrite", "--json --overwrite -o @out @clip", 0, both, {}, "old");
        row("still image, --overwrite", "--json --overwrite -f flv --still 0:1 -o @out @clip", 0,
            "flv:made still:made", {}, "oldstill");
        row("output being written", "--json -o @out @clip", 1, refused, {being}, "live");
        row("mark of a run that ended", "--json --output=@out @clip", 0, both, {}, "stale");
        row("mark of a killed run, its partial output", "--json -o @out @clip", 0, both, {}, "killed");
        row("mark of a pid given to another process", "--json -o @out @clip", 0, both, {}, "reused");
        row("name clash", "--json -f mp4 --overwrite -o @out @clip @in/clip.mov", 1, "mp4:made mp4:refused",
            {"clip.mov: clip.mp4 IS ALREADY THE OUTPUT OF clip.avi IN THIS RUN."});
        row("no temporary folder", "--json -o @out @clip", 1, "", {"NO TEMPORARY FOLDER"}, "notmp");
        row("name not UTF-8", "--json -o @out", 1, refused, {"THE SOURCE FILE NAME IS NOT VALID UTF-8."},
            "latin1");
        row("control characters", "-q -o @out @in/a\x1b[31m\x07.avi", 1, "",
            {"a\\\\x1b\\[31m\\\\x07.avi: SOURCE"});
        row("profile is a pipe", "-p @in/fifo.vlp @clip", 2, "", {"THE PROFILE IS NOT A REGULAR FILE."});
        row("empty profile", "-p @in/empty.vlp @clip", 2, "",
            {"NOT A VALID VIDLARK WEB VIDEO ENCODER PROFILE!"});
        row("mark of another machine", "--json -o @out @clip", 1, refused, {being}, "foreign");
        row("source after --", "--json -o @out -- -x.avi", 0, both, {"/out/-x.flv"});
        row("encoder makes nothing", "--json -o @out @clip", 1, "flv:failed mp4:failed",
            {"\"reason\":\"UNSUPPORTED FILE!\".*\\n.*\"reason\":\"UNSUPPORTED FILE!\""}, "silent");
        row("conv_ rule", "--json -f mp4 @in/movie.mp4", 0, "mp4:made", {"/in/conv_movie.mp4"});
        row("text and tag", "--html -f mp4 -o @out @clip", 0, "",
            {"clip.avi: mp4 started: ", "<video .*width=\"160\"", "clip.avi: mp4 made .*/out/clip.mp4",
             "1 made, 0 failed, 0 refused, 0 cancelled"});
        row("tag as JSON", "--json --html -f webm -o @out @clip", 0, "webm:made",
            {"\"event\":\"tag\".*clip.webm"});
        row("quiet", "-q -o @out @clip -", 1, "", {"\nvidlark-encode: -: SOURCE FILE NOT FOUND!\n$"});
        row("on a terminal", "-f flv -o @out @clip", 0, "", {"\\r\\x1b\\[K", "flv  50%  ", "1 made"},
            "terminal");
        row("--help", "-o @out --help", 0, "", {"^Usage: vidlark-encode \\[options\\] SOURCE", "--json"});
        row("--version", "--version", 0, "", {"^vidlark-encode \\d+\\.\\d+\\.\\d+\\n$"});
        row("no source", "--json -f mp4", 2, "", {"INPUT OR SOURCE FILE REQUIRED!"});
        row("option without value", "@clip -o", 2, "", {"-o needs a value\nTry 'vidlark-encode --help'"});
        row("unknown option", "--bogus @clip", 2, "", {"unknown option --bogus"});
        row("output folder not made", "-o @clip/sub @clip", 2, "", {"OUTPUT FOLDER MISSING!"});
    }

    void arguments()
    {
        QFETCH(QString, line);
        QFETCH(Changes, profile);
        QFETCH(QString, setup);
        QFETCH(int, status);
        QFETCH(QString, results);
        QFETCH(QStringList, says);
        TestAppDir dir;
        const QString cli = installCli(dir, setup == "silent" ? "exit 1\n" : encodes);
        QTemporaryDir work;
        const QString in = work.filePath("in"), out = work.filePath("out");
        for (const char *name : {"clip.avi", "clip.mov", "movie.mp4", "-x.avi"})
            writeFileBytes(in + '/' + name, "x");
        writeFileBytes(in + "/empty.vlp", "");
        QCOMPARE(::mkfifo(QFile::encodeName(in + "/fifo.vlp").constData(), 0600), 0);
        const QString site = writeProfile(dir.path(), work.filePath("site.vlp"), profile);
        line.replace("@clip", "@in/clip.avi")
            .replace("@in", in)
            .replace("@out", out)
            .replace("@profile", site);
        const QStringList args = line.split(' ');

        // What another run, or an earlier one, left in the output folder.
        if (setup.startsWith("old"))
            writeFileBytes(out + (setup == "old" ? "/clip.mp4" : "/clip.jpg"), "old");
        const QByteArray host = QSysInfo::machineHostName().toUtf8() + ' ';
        const QByteArray gone = host + fileBytes("/proc/sys/kernel/pid_max").trimmed();
        const QMap<QString, QByteArray> marks{
            {"live", host + QByteArray::number(QCoreApplication::applicationPid())},
            {"stale", gone},
            {"killed", gone + " 1\n-"},
            {"reused", host + "1 999999999"}, // pid 1 started long before
            {"foreign", "elsewhere.example 1"}};
        if (setup == "killed")
            writeFileBytes(out + "/clip.mp4", "partial");
        if (marks.contains(setup))
            writeFileBytes(cli::OutputClaims::markPath(out + "/clip.mp4"), marks.value(setup) + '\n');

        qputenv("FAKE_LOG", QFile::encodeName(work.filePath("tools.log")));
        QProcess p;
        p.setWorkingDirectory(in);
        if (setup == "notmp") {
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("TMPDIR", in + "/clip.avi");
            p.setProcessEnvironment(env);
        }
        const bool tty = setup == "terminal"; // a terminal of its own
        if (setup == "latin1")                // "café.avi" in Latin-1, which no text can name
            p.start("sh", QStringList{"-c", "exec \"$@\" \"$(printf 'caf\\351.avi')\"", "sh", cli} + args);
        else
            p.start(tty ? "script" : cli,
                    tty ? QStringList{"-qec", cli + ' ' + args.join(' '), "/dev/null"} : args);
        const Run run(p);
        const QString said = QString::fromUtf8(run.out + run.err);
        QCOMPARE(run.status, status);
        for (const QString &pattern : says)
            QVERIFY2(QRegularExpression(pattern).match(said).hasMatch(),
                     qPrintable(pattern + " in:\n" + said));
        QCOMPARE(run.results.join(' '), results);
        if (status == 2) // nothing run
            QCOMPARE(dir.toolLog().size(), 0);
        if (!run.events.isEmpty())
            QCOMPARE(run.events.constLast()["exit"].toInt(), status);
        for (const QJsonObject &e : run.events) {
            const QString path = e["path"].toString();
            if (e["status"] == "refused" && setup.isEmpty())
                continue; // another source's output
            if (e["status"] == "made")
                QCOMPARE(QFileInfo(path).size(), 600000);
            else if (!path.isEmpty())
                QCOMPARE(fileBytes(path), QByteArray(setup == "old" && path.endsWith(".mp4") ? "old" : ""));
        }
        // The others' marks stay, ours go.
        QCOMPARE(QDir(out).entryList({"*.vidlark-lock"}, QDir::Files | QDir::Hidden).size(),
                 setup == "live" || setup == "foreign" ? 1 : 0);
        QCOMPARE(QDir(out).entryList({"*.temp"}, QDir::Files), QStringList());
    }

    // Three sources by GNU parallel, two at a time, one of them no video.
    void parallelRuns()
    {
        TestAppDir dir;
        const QString cli = installCli(dir);
        QTemporaryDir work;
        const QString in = work.path(), out = work.filePath("out"), jobs = work.filePath("jobs.tsv");
        QVERIFY(makeClip(in + "/one.avi", 1, "160x120") && makeClip(in + "/two.avi", 1, "160x120"));
        QVERIFY(writeFileBytes(in + "/bad.avi", "no video in here"));
        const QString site = writeProfile(dir.path(), work.filePath("site.vlp"), {{Webm, checkStateText(1)}});
        QProcess parallel;
        parallel.start("parallel",
                       {"-j", "2", "--joblog", jobs, cli, "-p", site, "-o", out, ":::", in + "/one.avi",
                        in + "/bad.avi", in + "/two.avi"});
        QVERIFY(parallel.waitForFinished(300000));
        QCOMPARE(parallel.exitCode(), 1); // the number of failed jobs

        QMap<QString, int> exits; // source -> exit value
        for (const QByteArray &line : fileBytes(jobs).trimmed().split('\n').mid(1)) {
            const QList<QByteArray> f = line.split('\t');
            exits.insert(QFileInfo(QString::fromUtf8(f.at(8).split(' ').constLast())).fileName(),
                         f.at(6).toInt());
        }
        QCOMPARE(exits, (QMap<QString, int>{{"bad.avi", 1}, {"one.avi", 0}, {"two.avi", 0}}));
        const QStringList h264{"video:h264", "audio:aac"};
        for (const QString &base : {out + "/one", out + "/two"}) {
            QCOMPARE(probeStreams(base + ".flv"), h264);
            QCOMPARE(probeStreams(base + ".mp4"), h264);
            QVERIFY(moovBeforeMdat(base + ".mp4"));
            QCOMPARE(probeStreams(base + ".webm"), QStringList({"video:vp8", "audio:vorbis"}));
        }
        QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden).size(), 6); // nothing of bad.avi, no marks
    }

    // One profile through the window's encode job and through vidlark-encode.
    void sameCommandsAsWindow()
    {
        TestProgram program;
        const QString cli = installCli(program.dir, encodes);
        QTemporaryDir work;
        const QString clip = work.filePath("my clip.avi");
        writeFileBytes(clip, "x");
        const QString site = writeProfile(program.dir.path(), work.filePath("site.vlp"),
                                          {{Webm, checkStateText(1)},
                                           {WindowSize, listIndexText(2)},
                                           {VideoFrameRate, listIndexText(1)},
                                           {GrabStillImage, checkStateText(1)},
                                           {StillSecond, "02"},
                                           {Watermark, checkStateText(1)},
                                           {BottomRight, optionText(true)},
                                           {WatermarkText, "it's 100%"},
                                           {AudioBitrate, listIndexText(3)}});

        qputenv("FAKE_LOG", QFile::encodeName(work.filePath("window.log")));
        QVERIFY(program.start());
        program.window->LoadProfile(site);
        program.window->setSource(clip);
        program.prompts.expectMessage(encode::finalQuestion(work.path() + '/'), vbNo);
        program.window->cmdEncode_Click();
        VERIFY_PROMPTS(program.prompts);
        const QList<QStringList> window = program.dir.toolLog();
        QCOMPARE(window.size(), 5); // flv, mp4, faststart, webm, still image

        qputenv("FAKE_LOG", QFile::encodeName(work.filePath("cli.log")));
        QProcess p;
        p.start(cli, {"-p", site, "--overwrite", clip});
        QCOMPARE(Run(p).status, 0);
        QCOMPARE(program.dir.toolLog(), window);
    }

    // A run ended from outside while a tool runs: by a signal, by a reader
    // that goes away, or killed outright and then simply run again.
    void interrupt_data()
    {
        QTest::addColumn<QString>("hanging"); // the tool that runs when the run is ended
        QTest::addColumn<QString>("formats");
        QTest::addColumn<QString>("how"); // "SIGINT", "closed" (standard output), "SIGKILL" (then a retry)
        QTest::addColumn<QString>("results");
        QTest::addColumn<QStringList>("kept");
        const QString later = " flv:cancelled mp4:cancelled webm:cancelled"; // never started
        const QStringList none, flvAndMp4{"clip.flv", "clip.mp4"};
        const auto row = [](const char *name, const char *hanging, const char *formats, const char *how,
                            const QString &results, const QStringList &kept) {
            QTest::newRow(name) << hanging << formats << how << results << kept;
        };
        row("encoder", "engine/ffmpeg", "flv,mp4,webm", "SIGINT",
            "flv:cancelled mp4:cancelled webm:cancelled" + later, none);
        row("faststart", "ma", "flv,mp4,webm", "SIGINT", "flv:made mp4:cancelled webm:cancelled" + later,
            flvAndMp4);
        row("still image", "still", "flv", "SIGINT", "flv:made still:cancelled flv:cancelled still:cancelled",
            {"clip.flv"});
        row("output closed", "engine/ffmpeg", "flv,mp4,webm", "closed", "", none);
        row("encoder killed, then a retry", "engine/ffmpeg", "flv,mp4,webm", "SIGKILL",
            "flv:made mp4:made webm:made", {"clip.flv", "clip.mp4", "clip.webm"});
        row("faststart killed, then a retry", "ma", "flv,mp4,webm", "SIGKILL", "flv:made mp4:made webm:made",
            {"clip.flv", "clip.mp4", "clip.webm"});
    }

    void interrupt()
    {
        QFETCH(QString, hanging);
        QFETCH(QString, formats);
        QFETCH(QString, how);
        QFETCH(QString, results);
        QFETCH(QStringList, kept);
        TestAppDir dir;
        const QString cli = installCli(dir, encodes);
        QTemporaryDir work;
        const QString pid = work.filePath("tool.pid"), out = work.filePath("out"), tmp = work.filePath("tmp");
        // Writes part of its output, then tells of progress until it is ended.
        const QByteArray hang = "echo $$ > " + pid.toUtf8()
            + "\nhead -c 1000 /dev/zero > \"$last\"\n"
              "while :; do printf 'frame= 1 time=00:00:01.00\\r' >&2; sleep 0.2; done\n";
        if (hanging == "still")
            dir.setTool("engine/ffmpeg", "case \"$last\" in *.jpg) " + hang + ";; esac\n" + encodes);
        else
            dir.setTool(hanging, hang);
        writeFileBytes(work.filePath("clip.avi"), "x"); // later.avi is never reached
        QDir().mkpath(tmp);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TMPDIR", tmp);
        QProcess p;
        p.setProcessEnvironment(env);
        const QStringList args{"--json", "-f", formats, "--still",
                               "0:1",    "-o", out,     work.filePath("clip.avi")};
        const QStringList first = (formats == "flv" ? args : args.mid(0, 3) + args.mid(5))
            + QStringList{work.filePath("later.avi")};
        if (how == "closed") // a reader that takes one byte and goes
            p.start("bash",
                    QStringList{"-c", "\"$@\" | head -c 1 >/dev/null; exit ${PIPESTATUS[0]}", "-", cli}
                        + first);
        else
            p.start(cli, first);
        QTRY_VERIFY_WITH_TIMEOUT(fileBytes(pid).endsWith('\n'), 30000);
        const qint64 tool = fileBytes(pid).trimmed().toLongLong();
        QCOMPARE(::kill(pid_t(p.processId()), how == "SIGINT" ? SIGINT : how == "SIGKILL" ? SIGKILL : 0), 0);
        Run run(p);
        QTRY_COMPARE(runningInGroup(tool), 0); // the tool ends with the run, however it ends
        if (how == "SIGKILL") {
            QCOMPARE(run.status, -1);
            // Run again as it was, with tools that work.
            installCli(dir, encodes);
            p.start(cli, args.mid(0, 3) + args.mid(5));
            run = Run(p);
            QCOMPARE(run.status, 0);
        } else {
            QCOMPARE(run.status, 130);
            if (how == "SIGINT")
                QCOMPARE(run.events.constLast()["sources"].toInt(), 2);
        }
        QCOMPARE(run.results.join(' '), results);
        QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden), kept); // no partial output, ".temp" or mark
        for (const QString &name : kept)
            QCOMPARE(QFileInfo(out + '/' + name).size(), 600000);
        QCOMPARE(QDir(tmp).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    }

    // An output folder with about 24 kB free: a small file system of its own
    // when this may mount one, else a limit on the size of the files written.
    void fullDisk()
    {
        TestAppDir dir;
        const QString cli = installCli(dir);
        QTemporaryDir work;
        const QString clip = work.filePath("clip.avi"), out = work.filePath("out");
        QVERIFY(makeClip(clip, 2));
        QDir().mkpath(out);
        const bool mounted = ::mount("tmpfs", QFile::encodeName(out), "tmpfs", 0, "size=1m") == 0;
        const auto unmount = qScopeGuard([&] {
            if (mounted)
                ::umount2(QFile::encodeName(out), MNT_DETACH);
        });
        if (mounted)
            QVERIFY(writeFileBytes(out + "/filler", QByteArray(1000 * 1024, 'x')));
        const QStringList args{"--json", "-f", "webm", "--still", "00:01", "-o", out, clip};
        QProcess p;
        if (mounted)
            p.start(cli, args);
        else
            p.start("prlimit", QStringList{"--fsize=24000", cli} + args);
        const Run run(p);
        QCOMPARE(run.status, 1);
        QCOMPARE(run.results.join(' '), QString("webm:failed still:failed"));
        const QRegularExpression why(mounted ? "INCOMPLETE|NO SPACE LEFT ON DEVICE"
                                             : "INCOMPLETE|SIGXFSZ|FILE TOO LARGE");
        for (const QJsonObject &e : run.events)
            if (e["event"] == "result")
                QVERIFY2(why.match(e["reason"].toString()).hasMatch(), qPrintable(e["reason"].toString()));
        // No output, no mark, nothing set aside.
        QCOMPARE(QDir(out).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 mounted ? QStringList{"filler"} : QStringList());
    }

    // Two runs at once, each drawing the picture into the top-left corner.
    void watermarkTwiceAtOnce()
    {
        TestAppDir dir;
        const QString cli = installCli(dir);
        QTemporaryDir work;
        const QString clip = work.filePath("clip.avi"), mark = work.filePath("mark.png"),
                      log = work.filePath("log");
        // Debian's ffmpeg, telling of any picture copy in the application folder while it runs.
        dir.setTool("engine/ffmpeg",
                    "ls " + QFile::encodeName(dir.path()) + "/*.png >> " + QFile::encodeName(log)
                        + " 2>/dev/null\nexec ffmpeg \"$@\"\n");
        QVERIFY(makeClip(clip, 1, "160x120"));
        QVERIFY(runFfmpeg({"-f", "lavfi", "-i", "color=c=red:s=32x32", "-frames:v", "1", mark}));
        const QString site = writeProfile(dir.path(), work.filePath("site.vlp"),
                                          {{Watermark, checkStateText(1)},
                                           {TextWatermark, optionText(false)},
                                           {ImageWatermark, optionText(true)},
                                           {ImagePath, mark}});
        QProcess runs[2];
        for (int i = 0; i < 2; ++i)
            runs[i].start(cli, {"-p", site, "-f", "mp4", "-o", work.filePath(QString::number(i)), clip});
        for (QProcess &run : runs)
            QCOMPARE(Run(run).status, 0);
        QVERIFY(!redCorner(clip));
        QVERIFY(redCorner(work.filePath("0/clip.mp4")) && redCorner(work.filePath("1/clip.mp4")));
        QCOMPARE(fileBytes(log), QByteArray()); // no picture copy in the application folder, then
        QCOMPARE(QDir(dir.path()).entryList({"*.png"}, QDir::Files), QStringList()); // or afterwards
    }
};

QTEST_MAIN(tst_Cli)
#include "tst_cli.moc"
