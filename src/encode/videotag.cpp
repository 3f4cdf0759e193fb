#include "encode/videotag.h"

#include "common/appfolder.h"
#include "encode/verify.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QUrl>

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

namespace videotag {

namespace {

// A path relative to the output folder, as a URL path with its special
// characters escaped and then made safe for a double-quoted attribute.
QString relative(const QString &outDir, const QString &path)
{
    QString name = path;
    if (!outDir.isEmpty() && path.startsWith(outDir))
        name = path.mid(outDir.size());
    else
        name = QFileInfo(path).fileName();
    QStringList parts = name.split(QLatin1Char('/'));
    for (QString &p : parts)
        p = QString::fromUtf8(QUrl::toPercentEncoding(p, "!$&'()*+,;=:@-._~"));
    return parts.join(QLatin1Char('/')).toHtmlEscaped();
}

const QString masterName = QStringLiteral("/master.m3u8");

// Where the browser cannot play the stream itself but has Media Source
// Extensions, hls.js plays it; otherwise the video's own sources do.
QString hlsScript(const QString &master)
{
    return QStringLiteral(
               "<script>\n"
               "  // hls.js (hls.min.js, served beside this page) plays the stream where the browser\n"
               "  // cannot; without it the WebM or MP4 above plays.\n"
               "  (function (video) {\n"
               "    if (video.canPlayType(\"application/vnd.apple.mpegurl\") || !window.MediaSource) "
               "return;\n"
               "    var script = document.createElement(\"script\");\n"
               "    script.src = \"hls.min.js\";\n"
               "    script.onload = function () {\n"
               "      if (!window.Hls || !Hls.isSupported()) return;\n"
               "      var hls = new Hls();\n"
               "      hls.loadSource(\"%1\");\n"
               "      hls.attachMedia(video);\n"
               "    };\n"
               "    document.head.appendChild(script);\n"
               "  })(document.currentScript.previousElementSibling);\n"
               "</script>\n")
        .arg(master);
}

// The bytes of ffprobe's hex dump: "\n00000000: 0164 001f ffe1  .d...\n".
QByteArray extradata(const QString &dump)
{
    QByteArray bytes;
    for (const QString &line : dump.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const qsizetype colon = line.indexOf(QLatin1String(": "));
        if (colon < 0)
            continue;
        const QString hex = line.mid(colon + 2, 39);
        bytes += QByteArray::fromHex(hex.section(QStringLiteral("  "), 0, 0).toLatin1());
    }
    return bytes;
}

double frameRate(const QString &rational)
{
    const double denominator = rational.section(QLatin1Char('/'), 1, 1).toDouble();
    return denominator > 0 ? rational.section(QLatin1Char('/'), 0, 0).toDouble() / denominator : 0;
}

// The lowest VP9 level whose picture size and sample rate hold the
// stream's.
int vp9Level(int width, int height, double fps)
{
    struct Level {
        int level;
        double pictureSize;
        double sampleRate;
    };
    static constexpr Level levels[] = {
        {10, 36864, 829440},         {11, 73728, 2764800},       {20, 122880, 4608000},
        {21, 245760, 9216000},       {30, 552960, 20736000},     {31, 983040, 36864000},
        {40, 2228224, 83558400},     {41, 2228224, 160432128},   {50, 8912896, 311951360},
        {51, 8912896, 588251136},    {52, 8912896, 1176502272},  {60, 35651584, 1176502272},
        {61, 35651584, 2353004544.}, {62, 35651584, 4706009088.}};
    const double picture = double(width) * height;
    for (const Level &l : levels)
        if (picture <= l.pictureSize && picture * fps <= l.sampleRate)
            return l.level;
    return 62;
}

// What a tool prints (both channels, or its standard output), started so that it ends with this
// program even when that is killed; empty when it takes too long.
QByteArray capture(const QString &program, const QStringList &arguments,
                   QProcess::ProcessChannelMode channels = QProcess::MergedChannels)
{
    QProcess probe;
    probe.setProcessChannelMode(channels);
    probe.setStandardInputFile(QProcess::nullDevice());
    // The death signal follows the thread that starts the probe: the main
    // thread here.
    const pid_t parent = ::getpid();
    probe.setChildProcessModifier([parent] {
        if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != parent)
            ::_exit(127);
    });
    probe.start(program, arguments);
    if (!probe.waitForFinished(15000)) {
        probe.kill();
        probe.waitForFinished();
        return QByteArray();
    }
    return probe.readAll();
}

} // namespace

bool hasVideo(const Made &made)
{
    return !made.webm.isEmpty() || !made.mp4.isEmpty() || !made.hls.isEmpty();
}

QString html5VideoTag(const Made &made)
{
    QString tag = QStringLiteral("<video controls preload=\"metadata\" playsinline");
    if (made.size.isValid() && !made.size.isEmpty())
        tag += QStringLiteral(" width=\"%1\" height=\"%2\"").arg(made.size.width()).arg(made.size.height());
    if (!made.stillImage.isEmpty())
        tag += QStringLiteral(" poster=\"") + relative(made.outDir, made.stillImage) + QLatin1Char('"');
    tag += QStringLiteral(">\n");
    const QString master = made.hls.isEmpty() ? QString() : relative(made.outDir, made.hls + masterName);
    if (!master.isEmpty())
        tag += QStringLiteral("  <source src=\"") + master
            + QStringLiteral("\" type=\"application/vnd.apple.mpegurl\">\n");
    // A codecs parameter holds double quotes: the type goes in single ones.
    const auto source = [&](const QString &path, const char *type, const QString &codecs) {
        if (path.isEmpty())
            return;
        tag += QStringLiteral("  <source src=\"") + relative(made.outDir, path) + QStringLiteral("\" type=");
        tag += codecs.isEmpty() ? QLatin1Char('"') + QLatin1String(type) + QLatin1Char('"')
                                : QStringLiteral("'") + QLatin1String(type) + QStringLiteral("; codecs=\"")
                + codecs.toHtmlEscaped() + QStringLiteral("\"'");
        tag += QStringLiteral(">\n");
    };
    source(made.webm, "video/webm", made.webmCodecs);
    source(made.mp4, "video/mp4", made.mp4Codecs);
    if (!made.captions.isEmpty()) {
        tag += QStringLiteral("  <track kind=\"captions\" src=\"") + relative(made.outDir, made.captions)
            + QStringLiteral("\" label=\"Captions\"");
        if (!made.captionsLanguage.isEmpty())
            tag += QStringLiteral(" srclang=\"") + made.captionsLanguage.toHtmlEscaped() + QLatin1Char('"');
        tag += QStringLiteral(" default>\n");
    }
    tag += QStringLiteral("  Your browser cannot play this video.");
    const QString download = !made.mp4.isEmpty() ? made.mp4 : made.webm;
    if (!download.isEmpty())
        tag += QStringLiteral(" <a href=\"") + relative(made.outDir, download)
            + QStringLiteral("\">Download it</a>.");
    tag += QStringLiteral("\n</video>\n");
    if (!master.isEmpty())
        tag += hlsScript(master);
    return tag;
}

QString codecOf(const QVariantMap &stream)
{
    const QString name = stream.value(QStringLiteral("codec_name")).toString();
    const QByteArray extra = extradata(stream.value(QStringLiteral("extradata")).toString());
    if (name == QLatin1String("h264") && extra.size() >= 4 && extra.at(0) == 1)
        return QStringLiteral("avc1.") + QString::fromLatin1(extra.mid(1, 3).toHex());
    if (name == QLatin1String("aac"))
        return QStringLiteral("mp4a.40.") + QString::number(extra.isEmpty() ? 2 : quint8(extra.at(0)) >> 3);
    if (name == QLatin1String("vp8") || name == QLatin1String("vorbis") || name == QLatin1String("opus"))
        return name;
    const QString pixels = stream.value(QStringLiteral("pix_fmt")).toString();
    if (name == QLatin1String("vp9")) {
        const int profile =
            stream.value(QStringLiteral("profile")).toString().section(QLatin1Char(' '), 1).toInt();
        const int depth = pixels.contains(QLatin1String("12")) ? 12
            : pixels.contains(QLatin1String("10"))             ? 10
                                                               : 8;
        const int level = vp9Level(stream.value(QStringLiteral("width")).toInt(),
                                   stream.value(QStringLiteral("height")).toInt(),
                                   frameRate(stream.value(QStringLiteral("r_frame_rate")).toString()));
        return QStringLiteral("vp09.%1.%2.%3")
            .arg(profile, 2, 10, QLatin1Char('0'))
            .arg(level)
            .arg(depth, 2, 10, QLatin1Char('0'));
    }
    // The AV1 configuration record: marker and version, then profile and
    // level, then tier and bit depth.
    if (name == QLatin1String("av1") && extra.size() >= 3 && quint8(extra.at(0)) == 0x81) {
        const quint8 b1 = quint8(extra.at(1));
        const quint8 b2 = quint8(extra.at(2));
        const int depth = (b2 & 0x20) ? 12 : (b2 & 0x40) ? 10 : 8;
        return QStringLiteral("av01.%1.%2%3.%4")
            .arg(b1 >> 5)
            .arg(b1 & 0x1f, 2, 10, QLatin1Char('0'))
            .arg((b2 & 0x80) ? QLatin1Char('H') : QLatin1Char('M'))
            .arg(depth, 2, 10, QLatin1Char('0'));
    }
    return QString();
}

Streams describeStreams(const QList<QVariantMap> &streams)
{
    Streams described;
    bool known = true;
    for (const QVariantMap &stream : streams) {
        const QString type = stream.value(QStringLiteral("codec_type")).toString();
        if (type != QLatin1String("video") && type != QLatin1String("audio"))
            continue;
        const QString codec = codecOf(stream);
        known = known && !codec.isEmpty();
        described.codecs << codec;
        const QSize size(stream.value(QStringLiteral("width")).toInt(),
                         stream.value(QStringLiteral("height")).toInt());
        if (type == QLatin1String("video") && !described.size.isValid() && !size.isEmpty()) {
            described.size = size;
            described.frameRate = frameRate(stream.value(QStringLiteral("r_frame_rate")).toString());
        }
    }
    if (!known)
        described.codecs.clear();
    return described;
}

QSize videoSizeFromProbe(const QString &ffmpegOutput)
{
    static const QRegularExpression stream(
        QStringLiteral("Stream #\\d+:\\d+.*?: Video: .*?\\b(\\d{2,5})x(\\d{2,5})\\b"));
    const QRegularExpressionMatch m = stream.match(ffmpegOutput);
    if (!m.hasMatch())
        return QSize();
    return QSize(m.captured(1).toInt(), m.captured(2).toInt());
}

void describe(const QString &appFolder, Made &made)
{
    // A stream alone: the size of its first rendition, as its master playlist names it.
    if (!made.hls.isEmpty() && made.webm.isEmpty() && made.mp4.isEmpty()) {
        QFile master(made.hls + masterName);
        static const QRegularExpression resolution(QStringLiteral("RESOLUTION=(\\d+)x(\\d+)"));
        const QRegularExpressionMatch m =
            resolution.match(QString::fromUtf8(master.open(QIODevice::ReadOnly) ? master.read(65536) : ""));
        if (m.hasMatch())
            made.size = QSize(m.captured(1).toInt(), m.captured(2).toInt());
    }
    const bool ffprobe = verify::present(appFolder);
    for (const auto &[path, codecs] :
         {std::pair{made.webm, &made.webmCodecs}, std::pair{made.mp4, &made.mp4Codecs}}) {
        if (path.isEmpty())
            continue;
        if (!ffprobe) {
            if (!made.size.isValid())
                made.size = videoSizeFromProbe(
                    QString::fromUtf8(capture(appfolder::joinPath(appFolder, QStringLiteral("engine/ffmpeg")),
                                              {QStringLiteral("-hide_banner"), QStringLiteral("-i"), path})));
            continue;
        }
        const QJsonArray streams =
            QJsonDocument::fromJson(
                capture(verify::ffprobePath(appFolder),
                        {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_data"),
                         QStringLiteral("-show_entries"),
                         QStringLiteral("stream=codec_type,codec_name,profile,pix_fmt,width,height,"
                                        "r_frame_rate,extradata"),
                         QStringLiteral("-of"), QStringLiteral("json"), QStringLiteral("file:") + path},
                        QProcess::SeparateChannels))
                .object()
                .value(QLatin1String("streams"))
                .toArray();
        QList<QVariantMap> fields;
        for (const QJsonValue &stream : streams)
            fields << stream.toObject().toVariantMap();
        const Streams described = describeStreams(fields);
        if (!made.size.isValid())
            made.size = described.size;
        *codecs = described.codecs.join(QStringLiteral(", "));
    }
}

} // namespace videotag
