// What the WebM codecs cost and give. Each clip goes through vidlark-encode
// three times: the VP8 WebM (VP8 and Vorbis at the chosen bitrate), VP9
// and AV1 (with Opus) at the Standard quality. For each output it prints the
// codecs ffprobe reads back, the bytes (and of them the video's), the SSIM
// of its picture against the source's (ffmpeg's ssim filter, "All") and the
// wall seconds of the run; for AV1 Standard the ratios of its bytes and time
// to the VP8 WebM's and whether it reaches the aim: an SSIM at least
// the VP8 WebM's, at most half its bytes, in at most its time.
//
// The clips: movie-hello.avi from Debian's forensics-samples-files package
// (downloaded with apt-get, unpacked, never installed; left out when that
// fails) and a generated 10-second 1280x720 Mandelbrot zoom with a tone,
// kept losslessly (FFV1). Prints figures; it tests nothing.
//
// Usage: bench_webm [CLIP...]   (given clips replace the two above)
#include "support/fixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSize>
#include <QTemporaryDir>

#include <cstdio>
#include <optional>

namespace {

struct Finished {
    bool ok = false;
    QByteArray out, err;
};

// A program run to its end (at most `seconds`), its output kept.
Finished runTool(const QString &program, const QStringList &arguments, const QString &folder = QString(),
                 int seconds = 3600)
{
    QProcess p;
    p.setWorkingDirectory(folder);
    p.start(program, arguments);
    const bool ended = p.waitForFinished(seconds * 1000);
    Finished f;
    f.ok = ended && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    f.out = p.readAllStandardOutput();
    f.err = p.readAllStandardError();
    return f;
}

// movie-hello.avi out of Debian's package, unpacked into `folder`; empty
// when the package cannot be had.
QString fetchMovieHello(const QString &folder)
{
    QDir().mkpath(folder);
    if (!runTool(QStringLiteral("apt-get"),
                 {QStringLiteral("download"), QStringLiteral("forensics-samples-files")}, folder, 600)
             .ok)
        return QString();
    const QStringList debs = QDir(folder).entryList({QStringLiteral("forensics-samples-files_*.deb")});
    if (debs.isEmpty()
        || !runTool(QStringLiteral("dpkg-deb"),
                    {QStringLiteral("-x"), folder + QLatin1Char('/') + debs.first(),
                     folder + QStringLiteral("/x")})
                .ok)
        return QString();
    QDirIterator it(folder + QStringLiteral("/x"), {QStringLiteral("movie-hello.avi")}, QDir::Files,
                    QDirIterator::Subdirectories);
    return it.hasNext() ? it.next() : QString();
}

struct Probe {
    QString codecs; // "video/audio", e.g. "av1/opus"
    QSize size;
};

Probe probe(const QString &path)
{
    const Finished f =
        runTool(QStringLiteral("ffprobe"),
                {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                 QStringLiteral("stream=codec_type,codec_name,width,height"), QStringLiteral("-of"),
                 QStringLiteral("json"), path});
    Probe p;
    QString video = QStringLiteral("-"), audio = QStringLiteral("-");
    const QJsonArray streams =
        QJsonDocument::fromJson(f.out).object().value(QStringLiteral("streams")).toArray();
    for (const QJsonValue &s : streams) {
        const QJsonObject o = s.toObject();
        const QString type = o.value(QStringLiteral("codec_type")).toString();
        if (type == QLatin1String("video") && video == QLatin1String("-")) {
            video = o.value(QStringLiteral("codec_name")).toString();
            p.size =
                QSize(o.value(QStringLiteral("width")).toInt(), o.value(QStringLiteral("height")).toInt());
        } else if (type == QLatin1String("audio") && audio == QLatin1String("-")) {
            audio = o.value(QStringLiteral("codec_name")).toString();
        }
    }
    p.codecs = video + QLatin1Char('/') + audio;
    return p;
}

// The bytes of the file's video packets.
qint64 videoBytes(const QString &path)
{
    const Finished f =
        runTool(QStringLiteral("ffprobe"),
                {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"),
                 QStringLiteral("v:0"), QStringLiteral("-show_entries"), QStringLiteral("packet=size"),
                 QStringLiteral("-of"), QStringLiteral("csv=p=0"), path});
    qint64 bytes = 0;
    for (const QByteArray &line : f.out.split('\n'))
        bytes += line.split(',').first().trimmed().toLongLong();
    return bytes;
}

// ffmpeg's SSIM ("All:") of the output's picture against the source's, the
// source brought to the output's size first; nullopt when it reports none.
std::optional<double> ssimOf(const QString &output, const QString &source, QSize size)
{
    const QString graph =
        QStringLiteral("[1:v]scale=%1:%2[ref];[0:v][ref]ssim").arg(size.width()).arg(size.height());
    const Finished f = runTool(QStringLiteral("ffmpeg"),
                               {QStringLiteral("-nostdin"), QStringLiteral("-i"), output,
                                QStringLiteral("-i"), source, QStringLiteral("-lavfi"), graph,
                                QStringLiteral("-f"), QStringLiteral("null"), QStringLiteral("-")});
    static const QRegularExpression all(QStringLiteral("All:([0-9.]+)"));
    QRegularExpressionMatch last;
    for (auto it = all.globalMatch(QString::fromUtf8(f.err)); it.hasNext();)
        last = it.next();
    if (!f.ok || !last.hasMatch())
        return std::nullopt;
    return last.captured(1).toDouble();
}

struct Output {
    QString label;
    QStringList options;
    bool made = false;
    QString codecs;
    qint64 bytes = 0;
    qint64 video = 0; // of them, the video packets'
    std::optional<double> ssim;
    double seconds = 0;
};

// One vidlark-encode run of `clip` into a folder of its own; the figures of
// the WebM it made.
void encode(Output &o, const QString &clip, const QString &outDir)
{
    QDir(outDir).removeRecursively();
    QDir().mkpath(outDir);
    QElapsedTimer clock;
    clock.start();
    const Finished f = runTool(encodeBinary(),
                               o.options
                                   + QStringList{QStringLiteral("-o"), outDir, QStringLiteral("--overwrite"),
                                                 QStringLiteral("--quiet"), clip});
    o.seconds = double(clock.nsecsElapsed()) / 1e9;
    const QStringList made = QDir(outDir).entryList({QStringLiteral("*.webm")}, QDir::Files);
    if (!f.ok || made.size() != 1) {
        std::printf("  %s: vidlark-encode failed: %s\n", qPrintable(o.label), f.err.trimmed().constData());
        return;
    }
    const QString path = outDir + QLatin1Char('/') + made.first();
    const Probe p = probe(path);
    o.made = true;
    o.codecs = p.codecs;
    o.bytes = QFileInfo(path).size();
    o.video = videoBytes(path);
    o.ssim = ssimOf(path, clip, p.size);
    QDir(outDir).removeRecursively();
}

QString ssimText(const std::optional<double> &ssim)
{
    return ssim ? QString::number(*ssim, 'f', 6) : QStringLiteral("-");
}

void benchClip(const QString &clip, const QString &work)
{
    const QStringList webm{QStringLiteral("-f"), QStringLiteral("webm")};
    const QStringList standard{QStringLiteral("--quality"), QStringLiteral("standard")};
    QList<Output> outputs(3);
    outputs[0].label = QStringLiteral("VP8 WebM");
    outputs[0].options = webm;
    outputs[1].label = QStringLiteral("VP9 Standard");
    outputs[1].options = webm + QStringList{QStringLiteral("--webm"), QStringLiteral("vp9")} + standard;
    outputs[2].label = QStringLiteral("AV1 Standard");
    outputs[2].options = webm + QStringList{QStringLiteral("--webm"), QStringLiteral("av1")} + standard;
    const Probe source = probe(clip);
    std::printf("\n%s (%dx%d, %s)\n", qPrintable(QFileInfo(clip).fileName()), source.size.width(),
                source.size.height(), qPrintable(source.codecs));
    std::printf("  %-14s %-12s %10s %10s %9s %8s\n", "output", "codecs", "bytes", "video", "SSIM", "seconds");
    std::fflush(stdout);
    for (Output &o : outputs) {
        encode(o, clip, work + QStringLiteral("/out"));
        if (o.made)
            std::printf("  %-14s %-12s %10lld %10lld %9s %8.1f\n", qPrintable(o.label), qPrintable(o.codecs),
                        o.bytes, o.video, qPrintable(ssimText(o.ssim)), o.seconds);
        std::fflush(stdout);
    }
    const Output &vp8 = outputs.first();
    const Output &av1 = outputs.last();
    if (!vp8.made || !av1.made || !vp8.ssim || !av1.ssim || vp8.bytes == 0) {
        std::printf("  AV1 Standard against the VP8 WebM: not measured\n");
        return;
    }
    const double bytes = double(av1.bytes) / double(vp8.bytes);
    const double time = av1.seconds / vp8.seconds;
    QStringList missed;
    if (*av1.ssim < *vp8.ssim)
        missed << QStringLiteral("SSIM");
    if (bytes > 0.5)
        missed << QStringLiteral("bytes");
    if (time > 1.0)
        missed << QStringLiteral("time");
    std::printf("  AV1 Standard / VP8 WebM: bytes %.3f (aim <= 0.5), time %.3f (aim <= 1), "
                "SSIM %s vs %s (aim >=): %s\n",
                bytes, time, qPrintable(ssimText(av1.ssim)), qPrintable(ssimText(vp8.ssim)),
                missed.isEmpty() ? "aim met"
                                 : qPrintable(QStringLiteral("aim missed (")
                                              + missed.join(QStringLiteral(", ")) + QLatin1Char(')')));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir work;
    QStringList clips = app.arguments().mid(1);
    if (clips.isEmpty()) {
        std::printf("fetching movie-hello.avi (forensics-samples-files)...\n");
        std::fflush(stdout);
        const QString movie = fetchMovieHello(work.filePath(QStringLiteral("package")));
        if (movie.isEmpty())
            std::printf(
                "could not get movie-hello.avi with apt-get download; going on with the generated clip\n");
        else
            clips << movie;
        std::printf("making a 10-second 1280x720 Mandelbrot clip...\n");
        std::fflush(stdout);
        const QString mandelbrot = work.filePath(QStringLiteral("mandelbrot.mkv"));
        if (runFfmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                       QStringLiteral("mandelbrot=size=1280x720:rate=25"), QStringLiteral("-f"),
                       QStringLiteral("lavfi"), QStringLiteral("-i"),
                       QStringLiteral("sine=frequency=440:sample_rate=48000"), QStringLiteral("-t"),
                       QStringLiteral("10"), QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"),
                       QStringLiteral("-c:v"), QStringLiteral("ffv1"), QStringLiteral("-c:a"),
                       QStringLiteral("flac"), mandelbrot}))
            clips << mandelbrot;
        else
            std::printf("could not make the Mandelbrot clip\n");
    }
    if (clips.isEmpty()) {
        std::printf("bench_webm: no clip to encode\n");
        return 1;
    }
    for (const QString &clip : clips)
        benchClip(QFileInfo(clip).absoluteFilePath(), work.path());
    return 0;
}
