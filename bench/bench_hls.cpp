// What making the HLS ladder in one ffmpeg run gains. A generated 20-second
// 1280x720 clip with a tone goes through "vidlark-encode -f hls", whose one
// ffmpeg run makes 720p, 480p and 360p; the same ladder is then made with one
// ffmpeg run per rendition and the same settings (x264 at the program's
// preset, 2800/1400/800 kbit/s video, 128/96/64 kbit/s AAC, peaks of 1.07x
// and buffers of 1.5x the bitrate, a key frame every 2 seconds, 6-second
// fMP4 segments). Prints the program's ffmpeg command line, both wall times
// and their ratio (one run / separate runs; the aim is below 1), and the bytes
// of each rendition (its init segment and media segments).
//
// vidlark-encode's ffmpeg is a stand-in that logs its arguments and hands
// the run on to Debian's ffmpeg; that costs a shell start per run.
//
// Usage: bench_hls [pairs of runs, default 1; later pairs swap the order]
#include "support/fixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace {

void fail(const char *what)
{
    std::printf("bench_hls: %s\n", what);
    std::exit(1);
}

// Wall seconds of one program run; false in *ok unless it exits with 0.
double timed(const QString &program, const QStringList &arguments, bool *ok, QByteArray *errors = nullptr)
{
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    p.start(program, arguments);
    const bool ended = p.waitForFinished(-1);
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    *ok = ended && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (errors)
        *errors = p.readAllStandardError();
    return seconds;
}

struct Rendition {
    int height;
    const char *bitrate, *audio, *profile, *level;
    int kbits;
};

constexpr Rendition ladder[] = {
    {720, "2800k", "128k", "high", "3.1", 2800},
    {480, "1400k", "96k", "main", "3.0", 1400},
    {360, "800k", "64k", "main", "3.0", 800},
};

// One rendition by itself, as its own ffmpeg run.
QStringList renditionArguments(const Rendition &r, const QString &source, const QString &folder,
                               const QString &preset)
{
    const QString name = QStringLiteral("%1p").arg(r.height);
    return {QStringLiteral("-nostdin"),
            QStringLiteral("-v"),
            QStringLiteral("error"),
            QStringLiteral("-y"),
            QStringLiteral("-i"),
            source,
            QStringLiteral("-vf"),
            QStringLiteral("scale=-2:%1").arg(r.height),
            QStringLiteral("-c:v"),
            QStringLiteral("libx264"),
            QStringLiteral("-preset"),
            preset,
            QStringLiteral("-pix_fmt"),
            QStringLiteral("yuv420p"),
            QStringLiteral("-profile:v"),
            QLatin1String(r.profile),
            QStringLiteral("-level:v"),
            QLatin1String(r.level),
            QStringLiteral("-b:v"),
            QLatin1String(r.bitrate),
            QStringLiteral("-maxrate"),
            QStringLiteral("%1k").arg(qRound(r.kbits * 1.07)),
            QStringLiteral("-bufsize"),
            QStringLiteral("%1k").arg(qRound(r.kbits * 1.5)),
            QStringLiteral("-force_key_frames"),
            QStringLiteral("expr:gte(t,n_forced*2)"),
            QStringLiteral("-sc_threshold"),
            QStringLiteral("0"),
            QStringLiteral("-c:a"),
            QStringLiteral("aac"),
            QStringLiteral("-b:a"),
            QLatin1String(r.audio),
            QStringLiteral("-ac"),
            QStringLiteral("2"),
            QStringLiteral("-f"),
            QStringLiteral("hls"),
            QStringLiteral("-hls_time"),
            QStringLiteral("6"),
            QStringLiteral("-hls_playlist_type"),
            QStringLiteral("vod"),
            QStringLiteral("-hls_segment_type"),
            QStringLiteral("fmp4"),
            QStringLiteral("-hls_flags"),
            QStringLiteral("independent_segments"),
            QStringLiteral("-hls_segment_filename"),
            folder + QLatin1Char('/') + name + QStringLiteral("_%03d.m4s"),
            QStringLiteral("-hls_fmp4_init_filename"),
            name + QStringLiteral("_init.mp4"),
            folder + QLatin1Char('/') + name + QStringLiteral(".m3u8")};
}

// A media playlist's files (its init segment and its media segments), the
// names as the playlist gives them, relative to its folder.
QStringList playlistFiles(const QString &playlist)
{
    QStringList files;
    static const QRegularExpression map(QStringLiteral("^#EXT-X-MAP:.*URI=\"([^\"]+)\""));
    const QString folder = QFileInfo(playlist).absolutePath() + QLatin1Char('/');
    for (const QString &raw : QString::fromUtf8(fileBytes(playlist)).split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.isEmpty())
            continue;
        if (const QRegularExpressionMatch m = map.match(line); m.hasMatch())
            files << folder + m.captured(1);
        else if (!line.startsWith(QLatin1Char('#')))
            files << folder + line;
    }
    return files;
}

// Every media playlist under `folder` with the bytes of its files; a
// master playlist's variants are named by their RESOLUTION.
void printRenditions(const QString &folder)
{
    QMap<QString, QString> resolutionOf; // media playlist path -> "WxH"
    QStringList media;
    static const QRegularExpression resolution(QStringLiteral("RESOLUTION=([0-9]+x[0-9]+)"));
    QDirIterator it(folder, {QStringLiteral("*.m3u8")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QStringList lines = QString::fromUtf8(fileBytes(path)).split(QLatin1Char('\n'));
        if (lines.filter(QStringLiteral("#EXTINF")).isEmpty()) {
            QString pending;
            for (const QString &raw : lines) {
                const QString line = raw.trimmed();
                if (line.startsWith(QLatin1String("#EXT-X-STREAM-INF")))
                    pending = resolution.match(line).captured(1);
                else if (!line.isEmpty() && !line.startsWith(QLatin1Char('#')))
                    resolutionOf.insert(QFileInfo(QFileInfo(path).absolutePath() + QLatin1Char('/') + line)
                                            .absoluteFilePath(),
                                        pending);
            }
        } else {
            media << QFileInfo(path).absoluteFilePath();
        }
    }
    media.sort();
    for (const QString &playlist : media) {
        const QStringList files = playlistFiles(playlist);
        qint64 bytes = 0;
        int missing = 0;
        for (const QString &file : files) {
            const QFileInfo info(file);
            if (info.exists())
                bytes += info.size();
            else
                ++missing;
        }
        std::printf("  %-24s %-10s %10lld bytes in %lld files%s\n",
                    qPrintable(QDir(folder).relativeFilePath(playlist)),
                    qPrintable(resolutionOf.value(playlist, QStringLiteral("-"))), bytes,
                    qlonglong(files.size()),
                    missing ? qPrintable(QStringLiteral(" (%1 missing)").arg(missing)) : "");
    }
    if (media.isEmpty())
        std::printf("  no media playlist found\n");
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int pairs = argc > 1 ? std::max(1, atoi(argv[1])) : 1;

    // The program in an application folder of its own, its ffmpeg logged.
    TestAppDir dir;
    const QString cli = dir.file(QStringLiteral("vidlark-encode"));
    const QString ffmpeg = QFileInfo(buildAppDir() + QStringLiteral("/engine/ffmpeg")).symLinkTarget();
    const QString ffprobe = QFileInfo(buildAppDir() + QStringLiteral("/engine/ffprobe")).symLinkTarget();
    if (!QFile::copy(encodeBinary(), cli)
        || !QFile(cli).setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner) || ffmpeg.isEmpty())
        fail("could not install vidlark-encode");
    QTemporaryDir work;
    qputenv("FAKE_LOG", QFile::encodeName(work.filePath(QStringLiteral("tools.log"))));
    dir.setTool(QStringLiteral("engine/ffmpeg"), "exec '" + QFile::encodeName(ffmpeg) + "' \"$@\"\n");
    // The stand-in takes ffprobe away; the program reads its outputs back.
    if (!ffprobe.isEmpty())
        QFile::link(ffprobe, dir.file(QStringLiteral("engine/ffprobe")));

    const QString clip = work.filePath(QStringLiteral("clip.avi"));
    std::printf("making a 20-second 1280x720 clip with sound...\n");
    std::fflush(stdout);
    if (!makeClip(clip, 20, QStringLiteral("1280x720")))
        fail("could not make the clip");

    double oneRun = 0, separate = 0;
    QList<double> perRendition(std::size(ladder), 0.0);
    QString preset = QStringLiteral("veryfast");
    const QString ladderDir = work.filePath(QStringLiteral("ladder"));
    const QString separateDir = work.filePath(QStringLiteral("separate"));
    for (int i = 0; i < pairs; ++i) {
        const auto program = [&] {
            QDir(ladderDir).removeRecursively();
            QFile::remove(qEnvironmentVariable("FAKE_LOG"));
            bool ok = false;
            QByteArray errors;
            const double s =
                timed(cli,
                      {QStringLiteral("-f"), QStringLiteral("hls"), QStringLiteral("-o"), ladderDir,
                       QStringLiteral("--overwrite"), QStringLiteral("--quiet"), clip},
                      &ok, &errors);
            if (!ok) {
                std::printf("%s\n", errors.trimmed().constData());
                fail("vidlark-encode -f hls failed");
            }
            return s;
        };
        const auto perRun = [&] {
            QDir(separateDir).removeRecursively();
            QDir().mkpath(separateDir);
            double sum = 0;
            for (size_t r = 0; r < std::size(ladder); ++r) {
                bool ok = false;
                const double s = timed(QStringLiteral("ffmpeg"),
                                       renditionArguments(ladder[r], clip, separateDir, preset), &ok);
                if (!ok)
                    fail("a rendition's ffmpeg run failed");
                perRendition[r] += s;
                sum += s;
            }
            return sum;
        };
        double a = 0, b = 0;
        if (i % 2 == 0) {
            a = program();
            if (i == 0) {
                // The program's own command: its preset is the one to match.
                for (const QStringList &run : dir.toolLog()) {
                    if (!run.contains(QLatin1String("hls")))
                        continue;
                    std::printf("the program's ffmpeg run:\n  %s\n",
                                qPrintable(run.mid(1).join(QLatin1Char(' '))));
                    const qsizetype at = run.indexOf(QLatin1String("-preset"));
                    if (at > 0 && at + 1 < run.size())
                        preset = run.at(at + 1);
                }
                std::printf("separate runs use -preset %s\n", qPrintable(preset));
            }
            b = perRun();
        } else {
            b = perRun();
            a = program();
        }
        std::printf("pair %d: one run %.2f s, one run per rendition %.2f s\n", i + 1, a, b);
        std::fflush(stdout);
        oneRun += a;
        separate += b;
    }
    qunsetenv("FAKE_LOG");

    std::printf("HLS ladder of a 20 s 1280x720 clip, %d pair(s):\n", pairs);
    std::printf("  one ffmpeg run (vidlark-encode -f hls): %.2f s\n", oneRun);
    std::printf("  one ffmpeg run per rendition: %.2f s (", separate);
    for (size_t r = 0; r < std::size(ladder); ++r)
        std::printf("%s%dp %.2f s", r ? ", " : "", ladder[r].height, perRendition[r]);
    std::printf(")\n");
    std::printf("ratio of wall times (one run / separate runs): %.3f (aim: below 1)\n", oneRun / separate);
    std::printf("renditions of the one-run ladder:\n");
    printRenditions(ladderDir);
    std::printf("renditions of the separate runs:\n");
    printRenditions(separateDir);
    return 0;
}
