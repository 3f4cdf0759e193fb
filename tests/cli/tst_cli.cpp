// vidlark-encode as its users run it: arguments and profiles judged through
// the exit status and the JSON lines, several runs side by side (GNU
// parallel, two at once with a picture watermark), interrupts, and the same
// command lines as the window's encode job.
#include "cli/claims.h"
#include "common/files.h"
#include "settings/encodesettings.h"
#include "support/program.h"

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

// The program, with this build's vidlark-encode in its folder, where it
// finds its tools, lists and fonts (stand-ins when given an encoder), and a
// work folder.
struct Bed : TestProgram {
    QTemporaryDir work;
    QString cli = dir.file("vidlark-encode");
    explicit Bed(const QByteArray &encoder = {})
    {
        QFile::copy(encodeBinary(), cli);
        QFile(cli).setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        if (!encoder.isEmpty())
            tools(encoder);
    }
    void tools(const QByteArray &encoder) const
    {
        dir.setTool("engine/ffmpeg", encoder);
        dir.setTool("ma", fake::copies);
    }
    QString at(const QString &name) const { return work.filePath(name); }
    // A profile: the start-up settings with these lines changed.
    QString profile(const Changes &changes) const
    {
        Values values = encodesettings::Settings(encodesettings::readLists(dir.path())).values();
        for (const auto &[line, value] : changes)
            values[size_t(line)] = value;
        writeFileBytes(at("site.vlp"), encodeProfile(values));
        return at("site.vlp");
    }
};

// A finished run of vidlark-encode: its exit status (-1 when killed), what
// it printed, its JSON lines and its results ("flv:made"...) in their order.
struct Run {
    int status = -1;
    QByteArray said;
    QList<QJsonObject> events;
    QStringList results;
    explicit Run(QProcess &p)
    {
        if (p.waitForFinished(300000) && p.exitStatus() == QProcess::NormalExit)
            status = p.exitCode();
        const QByteArray out = p.readAllStandardOutput();
        said = out + p.readAllStandardError();
        for (const QByteArray &line : out.split('\n')) {
            const QJsonObject e = QJsonDocument::fromJson(line).object();
            if (!e.isEmpty())
                events << e;
            if (e["event"] == "result")
                results << e["format"].toString() + ':' + e["status"].toString();
        }
    }
};

// A 16x16 block 16 pixels from the top-left corner of the first frame,
// averaged, is red.
bool redCorner(const QString &v)
{
    runFfmpeg({"-i", v, "-frames:v", "1", "-vf", "crop=16:16:16:16,scale=1:1", "-f", "rawvideo", "-pix_fmt",
               "rgb24", v + ".rgb"});
    const QByteArray c = fileBytes(v + ".rgb");
    return c.size() == 3 && uchar(c[0]) > 200 && uchar(c[1]) < 60 && uchar(c[2]) < 60;
}

// A command line (sh; "@cli " is put first unless it is there; @in, @out,
// @clip, @profile: the test's folders and files), what it ends with, what
// lies in the output folder before ("name=content"), the mark found there,
// the profile's changes.
struct Case {
    QString line;
    int status;
    QString results;
    QStringList says; // patterns found in what it printed
    QString setup = {};
    QByteArray mark = {};
    Changes profile = {};
};

} // namespace

Q_DECLARE_METATYPE(Case)

class tst_Cli : public QObject
{
    Q_OBJECT
private slots:
    void arguments_data()
    {
        QTest::addColumn<Case>("c");
        const auto row = [](const char *name, const Case &c) { QTest::newRow(name) << c; };
        const QString j = "--json -o @out @clip", both = "flv:made mp4:made", no = "flv:refused mp4:refused";
        const QString being = "clip.mp4 IS BEING WRITTEN BY ANOTHER RUN";
        const QByteArray host = QSysInfo::machineHostName().toUtf8() + ' ',
                         gone = host + fileBytes("/proc/sys/kernel/pid_max").trimmed();
        row("beside the source", {"--json @clip", 0, both, {"\"percent\":50", "\"speed\":2"}});
        row("profile's formats",
            {"-p @profile " + j,
             0,
             "mp4:made webm:made",
             {},
             {},
             {},
             {{FLV, checkStateText(0)}, {Webm, checkStateText(1)}}});
        row("missing source",
            {"--json - @clip", 1, "flv:failed mp4:failed " + both, {"-: SOURCE FILE NOT FOUND!"}});
        row("output exists", {j, 1, no, {"clip.mp4 ALREADY EXISTS IN OUTPUT FOLDER."}, "clip.mp4=old"});
        row("--overwrite", {"--overwrite " + j, 0, both, {}, "clip.mp4=old"});
        row("still image, --overwrite",
            {"--overwrite -f flv --still 0:1 " + j, 0, "flv:made still:made", {}, "clip.jpg=old"});
        row("output being written",
            {j, 1, no, {being}, {}, host + QByteArray::number(qApp->applicationPid())});
        row("mark of a run that ended", {"--json --output=@out @clip", 0, both, {}, {}, gone});
        row("mark of a killed run, its partial output", {j, 0, both, {}, "clip.mp4=partial", gone + " 1\n-"});
        row("mark of a pid given to another process",
            {j, 0, both, {}, {}, host + "1 999999999"}); // pid 1: long ago
        row("mark of another machine", {j, 1, no, {being}, {}, "elsewhere.example 1"});
        row("name clash",
            {"-f mp4 --overwrite " + j + " @in/clip.mov",
             1,
             "mp4:made mp4:refused",
             {"clip.mov: clip.mp4 IS ALREADY THE OUTPUT OF clip.avi IN THIS RUN."}});
        row("no temporary folder", {"TMPDIR=@clip @cli " + j, 1, "", {"NO TEMPORARY FOLDER"}});
        // "café.avi" in Latin-1, which no text can name
        row("name not UTF-8",
            {"--json -o @out $(printf 'caf\\351.avi')", 1, no, {"NAME IS NOT VALID UTF-8."}});
        row("control characters",
            {"-q -o @out '@in/a\x1b[31m\x07.avi'", 1, "", {"a\\\\x1b\\[31m\\\\x07.avi: SOURCE"}});
        row("profile is a pipe", {"-p @in/fifo.vlp @clip", 2, "", {"THE PROFILE IS NOT A REGULAR FILE."}});
        row("empty profile",
            {"-p @in/empty.vlp @clip", 2, "", {"NOT A VALID VIDLARK WEB VIDEO ENCODER PROFILE!"}});
        row("encoder makes nothing",
            {j, 1, "flv:failed mp4:failed", {"UNSUPPORTED FILE!\".*\\n.*UNSUPPORTED FILE!\""}, "silent"});
        row("tag as JSON, format in any case",
            {"--html -f WebM " + j, 0, "webm:made", {"\"event\":\"tag\".*clip.webm"}});
        // a terminal of its own
        row("on a terminal",
            {"script -qec '@cli -f flv -o @out @clip' /dev/null",
             0,
             "",
             {"\\r\\x1b\\[K", "flv  50%  ", "1 made"}});
        row("usage error", {"--bogus @clip", 2, "", {"unknown option --bogus\nTry 'vidlark-encode --help'"}});
        row("WebM codec and quality",
            {"--webm AV1 --quality small -f webm " + j, 0, "webm:made", {"\"codec\":\"av1\""}});
        row("no such codec", {"--webm vp10 @clip", 2, "", {"unknown WebM codec 'vp10'"}});
        row("captions for two sources",
            {"--captions a.srt @clip @clip", 2, "", {"--captions takes one source"}});
    }

    void arguments()
    {
        QFETCH(Case, c);
        Bed b(c.setup == "silent" ? "exit 1\n" : encodes);
        const QString in = b.at("in"), out = b.at("out"), mp4 = out + "/clip.mp4",
                      site = b.profile(c.profile);
        for (const char *name : {"clip.avi", "clip.mov", "movie.mp4"})
            writeFileBytes(in + '/' + name, "x");
        writeFileBytes(in + "/empty.vlp", "");
        QCOMPARE(::mkfifo(QFile::encodeName(in + "/fifo.vlp").constData(), 0600), 0);
        const QString kept = c.setup.section('=', 0, 0), old = c.setup.section('=', 1);
        if (!old.isEmpty())
            writeFileBytes(out + '/' + kept, old.toUtf8());
        if (!c.mark.isEmpty())
            writeFileBytes(cli::OutputClaims::markPath(mp4), c.mark + '\n');
        if (!c.line.contains("@cli "))
            c.line.prepend("@cli ");
        c.line.replace("@clip", "@in/clip.avi")
            .replace("@in", in)
            .replace("@out", out)
            .replace("@profile", site);

        qputenv("FAKE_LOG", QFile::encodeName(b.at("tools.log")));
        QProcess p;
        p.setWorkingDirectory(in);
        p.start("sh", {"-c", c.line.replace("@cli", b.cli)});
        const Run run(p);
        QCOMPARE(run.status, c.status);
        for (const QString &pattern : c.says)
            QVERIFY2(QRegularExpression(pattern).match(run.said).hasMatch(),
                     qPrintable(pattern + " in:\n" + run.said));
        QCOMPARE(run.results.join(' '), c.results);
        if (c.status == 2) // nothing run
            QCOMPARE(b.dir.toolLog().size(), 0);
        if (!run.events.isEmpty())
            QCOMPARE(run.events.constLast()["exit"].toInt(), c.status);
        QStringList made;
        for (const QJsonObject &e : run.events) {
            const QString path = e["path"].toString();
            if (e["status"] == "made")
                QCOMPARE(QFileInfo((made << path).constLast()).size(), 600000);
            else if (!path.isEmpty() && !made.contains(path)) // not another source's output
                QCOMPARE(QString(fileBytes(path)), path.endsWith('/' + kept) ? old : "");
        }
        // The others' marks stay, ours go.
        QCOMPARE(QDir(out).entryList({"*.vidlark-lock"}, QDir::Files | QDir::Hidden).size(),
                 c.mark.isEmpty() || c.status == 0 ? 0 : 1);
        QCOMPARE(QDir(out).entryList({"*.temp"}, QDir::Files), QStringList());
    }

    // Three sources by GNU parallel, two at a time, one of them no video.
    void parallelRuns()
    {
        Bed b;
        const QString in = b.work.path(), out = in + "/out", jobs = in + "/jobs.tsv";
        QVERIFY(makeClip(in + "/one.avi", 1, "160x120") && makeClip(in + "/two.avi", 1, "160x120"));
        QVERIFY(writeFileBytes(in + "/bad.avi", "no video in here"));
        QCOMPARE(QProcess::execute("parallel",
                                   {"-j", "2", "--joblog", jobs, b.cli, "-p",
                                    b.profile({{Webm, checkStateText(1)}}), "-o", out, ":::", in + "/one.avi",
                                    in + "/bad.avi", in + "/two.avi"}),
                 1);              // the number of failed jobs
        QMap<QString, int> exits; // source -> exit value
        for (const QByteArray &line : fileBytes(jobs).trimmed().split('\n').mid(1))
            exits[QFileInfo(QString(line.split('\t').at(8))).fileName()] = line.split('\t').at(6).toInt();
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
        Bed b(encodes);
        const QString clip = b.at("my clip.avi");
        writeFileBytes(clip, "x");
        const QString site = b.profile({{Webm, checkStateText(1)},
                                        {WindowSize, listIndexText(2)},
                                        {VideoFrameRate, listIndexText(1)},
                                        {GrabStillImage, checkStateText(1)},
                                        {StillSecond, "02"},
                                        {Watermark, checkStateText(1)},
                                        {BottomRight, optionText(true)},
                                        {WatermarkText, "it's 100%" + QString(40000, 'w')},
                                        {AudioBitrate, listIndexText(3)}});
        qputenv("FAKE_LOG", QFile::encodeName(b.at("window.log")));
        QVERIFY(b.start());
        b.window->LoadProfile(site);
        b.window->setSource(clip);
        b.prompts.expectMessage(encode::finalQuestion(b.work.path() + '/'), vbNo);
        b.window->cmdEncode_Click();
        VERIFY_PROMPTS(b.prompts);
        const QList<QStringList> window = b.dir.toolLog();
        QCOMPARE(window.size(), 5); // flv, mp4, faststart, webm, still image
        qputenv("FAKE_LOG", QFile::encodeName(b.at("cli.log")));
        QProcess p;
        p.start(b.cli, {"-p", site, "--overwrite", clip});
        QCOMPARE(Run(p).status, 0);
        QCOMPARE(b.dir.toolLog(), window);
    }

    // A run ended from outside while a tool runs (hanging): by a signal, by a
    // reader that goes away ("closed"), or killed outright and then simply
    // run again; kept: how many of clip.flv, clip.mp4 and clip.webm stay.
    void interrupt_data()
    {
        QTest::addColumn<QString>("hanging");
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("results");
        QTest::addColumn<int>("kept");
        // later.avi: never started
        const QString c = "mp4:cancelled webm:cancelled flv:cancelled mp4:cancelled webm:cancelled",
                      all = "flv:made mp4:made webm:made";
        QTest::newRow("encoder") << "engine/ffmpeg"
                                 << "SIGINT"
                                 << "flv:cancelled " + c << 0;
        QTest::newRow("faststart") << "ma"
                                   << "SIGINT"
                                   << "flv:made " + c << 2;
        QTest::newRow("still image") << "still"
                                     << "SIGINT"
                                     << "flv:made still:cancelled flv:cancelled still:cancelled" << 1;
        QTest::newRow("output closed") << "engine/ffmpeg"
                                       << "closed"
                                       << "" << 0;
        QTest::newRow("encoder killed, then a retry") << "engine/ffmpeg"
                                                      << "SIGKILL" << all << 3;
        QTest::newRow("faststart killed, then a retry") << "ma"
                                                        << "SIGKILL" << all << 3;
    }

    void interrupt()
    {
        QFETCH(QString, hanging);
        QFETCH(QString, how);
        QFETCH(QString, results);
        QFETCH(int, kept);
        Bed b(encodes);
        const QString pid = b.at("tool.pid"), out = b.at("out"), tmp = b.at("tmp"), clip = b.at("clip.avi");
        // Writes part of its output, then tells of progress until it is ended.
        const QByteArray hang = "echo $$ > " + pid.toUtf8()
            + "\nhead -c 1000 /dev/zero > \"$last\"\n"
              "while :; do printf 'frame= 1 time=00:00:01.00\\r' >&2; sleep 0.2; done\n";
        const bool still = hanging == "still", closed = how == "closed";
        b.dir.setTool(still ? "engine/ffmpeg" : hanging,
                      still ? "case \"$last\" in *.jpg) " + hang + ";; esac\n" + encodes : hang);
        writeFileBytes(clip, "x"); // later.avi is never reached
        QDir().mkpath(tmp);
        QStringList args{"--json", "-f", still ? "flv" : "flv,mp4,webm", "-o", out, clip};
        if (still)
            args << "--still"
                 << "0:1";
        QProcess p;
        p.setEnvironment(QProcess::systemEnvironment() << "TMPDIR=" + tmp);
        // "closed": a reader that takes one byte and goes
        p.start(closed ? "bash" : b.cli,
                (closed
                     ? QStringList{"-c", "\"$@\" | head -c 1 >/dev/null; exit ${PIPESTATUS[0]}", "-", b.cli}
                     : QStringList())
                    + args + QStringList{b.at("later.avi")});
        QTRY_VERIFY_WITH_TIMEOUT(fileBytes(pid).endsWith('\n'), 30000);
        const QString tool = fileBytes(pid).trimmed();
        QCOMPARE(::kill(pid_t(p.processId()), how == "SIGINT" ? SIGINT : how == "SIGKILL" ? SIGKILL : 0), 0);
        Run run(p);
        // The tool's process group ends with the run, however it ends (zombies aside).
        const QRegularExpression member("\\) [^Z] \\d+ " + tool + ' ');
        const auto running = [&] {
            int count = 0;
            for (const QString &id : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot))
                count += member.match(fileBytes("/proc/" + id + "/stat")).hasMatch();
            return count;
        };
        QTRY_COMPARE(running(), 0);
        if (how == "SIGKILL") {
            QCOMPARE(run.status, -1);
            b.tools(encodes); // run again as it was, with tools that work
            p.start(b.cli, args);
            run = Run(p);
        }
        QCOMPARE(run.status, how == "SIGKILL" ? 0 : 130);
        if (how == "SIGINT")
            QCOMPARE(run.events.constLast()["sources"].toInt(), 2);
        QCOMPARE(run.results.join(' '), results);
        const QStringList names = QStringList{"clip.flv", "clip.mp4", "clip.webm"}.mid(0, kept);
        QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden),
                 names); // no partial output, ".temp" or mark
        for (const QString &name : names)
            QCOMPARE(QFileInfo(out + '/' + name).size(), 600000);
        QCOMPARE(QDir(tmp).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    }

    // A dead run's partial stream goes on takeover and the older folder it had set aside comes back
    // (and, existing, is refused).
    void deadRunsStream()
    {
        Bed b(encodes);
        const QString clip = b.at("clip.avi"), folder = b.at("out/clip-hls");
        QVERIFY(writeFileBytes(clip, "x") && writeFileBytes(folder + "/720p_000.m4s", "partial"));
        QVERIFY(writeFileBytes(files::setAsidePath(folder) + "/720p.m3u8", "old"));
        QVERIFY(writeFileBytes(cli::OutputClaims::markPath(folder),
                               QSysInfo::machineHostName().toUtf8() + ' '
                                   + fileBytes("/proc/sys/kernel/pid_max").trimmed() + " 1\n-\n"));
        QProcess p;
        p.start(b.cli, {"--json", "-f", "hls", "-o", b.at("out"), clip});
        QCOMPARE(Run(p).results, QStringList{"hls:refused"});
        QCOMPARE(QDir(b.at("out")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{"clip-hls"});
        QCOMPARE(fileBytes(folder + "/720p.m3u8") + QDir(folder).entryList(QDir::Files).join(' ').toUtf8(),
                 "old720p.m3u8");
    }

    // An output folder with about 24 kB free: a small file system of its own
    // when this may mount one, else a limit on the size of the files written.
    void fullDisk()
    {
        Bed b;
        const QString clip = b.at("clip.avi"), out = b.at("out");
        QVERIFY(makeClip(clip, 2) && QDir().mkpath(out));
        const bool mounted = ::mount("tmpfs", QFile::encodeName(out), "tmpfs", 0, "size=1m") == 0;
        const auto unmount = qScopeGuard([&] { ::umount2(QFile::encodeName(out), MNT_DETACH); });
        if (mounted)
            QVERIFY(writeFileBytes(out + "/filler", QByteArray(1000 * 1024, 'x')));
        const QStringList args{"--json", "-f", "webm", "--still", "00:01", "-o", out, clip};
        QProcess p;
        p.start(mounted ? b.cli : "prlimit",
                (mounted ? QStringList() : QStringList{"--fsize=24000", b.cli}) + args);
        const Run run(p);
        QCOMPARE(run.status, 1);
        QCOMPARE(run.results, QStringList({"webm:failed", "still:failed"}));
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
        Bed b;
        const QString clip = b.at("clip.avi"), mark = b.at("mark.png");
        // Debian's ffmpeg, telling of any picture copy in the application folder while it runs.
        b.dir.setTool("engine/ffmpeg",
                      "ls " + QFile::encodeName(b.dir.path()) + "/*.png >> " + QFile::encodeName(b.at("log"))
                          + " 2>/dev/null\nexec ffmpeg \"$@\"\n");
        QVERIFY(makeClip(clip, 1, "160x120"));
        QVERIFY(runFfmpeg({"-f", "lavfi", "-i", "color=c=red:s=32x32", "-frames:v", "1", mark}));
        const QString site = b.profile({{Watermark, checkStateText(1)},
                                        {TextWatermark, optionText(false)},
                                        {ImageWatermark, optionText(true)},
                                        {ImagePath, mark}});
        QProcess runs[2];
        for (int i = 0; i < 2; ++i)
            runs[i].start(b.cli, {"-p", site, "-f", "mp4", "-o", b.at(QString::number(i)), clip});
        for (QProcess &run : runs)
            QCOMPARE(Run(run).status, 0);
        QVERIFY(!redCorner(clip) && redCorner(b.at("0/clip.mp4")) && redCorner(b.at("1/clip.mp4")));
        QCOMPARE(fileBytes(b.at("log")), QByteArray()); // no picture copy in the application folder, then
        QCOMPARE(QDir(b.dir.path()).entryList({"*.png"}, QDir::Files), QStringList()); // or afterwards
    }
};

QTEST_MAIN(tst_Cli)
#include "tst_cli.moc"
