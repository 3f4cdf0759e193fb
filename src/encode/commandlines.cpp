#include "encode/commandlines.h"

#include "common/appfolder.h"
#include "common/cmdline.h"
#include "common/errors.h"
#include "common/textfiles.h"
#include "encode/faststart.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

namespace commandlines {

namespace {

const QString ffmpeg = QStringLiteral("engine/ffmpeg");

QString quoted(const QString &path)
{
    return cmdline::quoteArgument(path);
}

QString tool(const Request &r, const QString &relative)
{
    return appfolder::toolPath(appfolder::GetShortPath(r.appFolder), relative);
}

QString ffmpegHead(const Request &r)
{
    return tool(r, ffmpeg) + QStringLiteral("  -y -i  ") + quoted(r.source);
}

// " -minrate 500k -maxrate 500k -bufsize 500k": one bitrate for all three.
QString rateLimits(const OptionPieces &p)
{
    return QStringLiteral(" -minrate ") + p.videoBitrateText + QStringLiteral(" -maxrate ")
        + p.videoBitrateText + QStringLiteral(" -bufsize ") + p.videoBitrateText;
}

// The option file's lines, then the watermark filter text when watermarking.
QString extraOptions(const Request &r, const char *optionFile)
{
    QString options;
    for (const QString &line :
         textfiles::readLines(appfolder::joinPath(r.appFolder, QLatin1String(optionFile))))
        options += QLatin1Char(' ') + line;
    if (r.watermarking())
        options += r.watermarkFilter;
    return options;
}

} // namespace

OptionPieces optionPieces(const Request &r)
{
    OptionPieces p;
    if (!r.originalWindowSize) {
        // The first word of the entry ("640x480" of "640x480 4:3 VGA"); an
        // entry starting with a blank has an empty first word.
        if (r.windowSize.isEmpty())
            throw RuntimeError(rt::InvalidProcedureCall);
        p.sizeOption = QStringLiteral(" -s ") + r.windowSize.section(QLatin1Char(' '), 0, 0);
    }
    p.videoBitrateText = r.videoBitrate + QLatin1Char('k');
    if (r.frameRate != QLatin1String("Auto"))
        p.frameRateOption = QStringLiteral(" -r ") + r.frameRate;
    p.audioBitrateOption = QStringLiteral(" -ab ") + r.audioBitrate + QLatin1Char('k');
    p.sampleRateOption = QStringLiteral(" -ar ") + r.sampleRate;
    p.channelOption = QStringLiteral(" -ac 2 ");
    return p;
}

QString flvOutputPath(const Request &r)
{
    return r.outDir + r.flvName;
}
QString mp4OutputPath(const Request &r)
{
    return r.outDir + r.mp4Name;
}
QString webmOutputPath(const Request &r)
{
    return r.outDir + r.webmName;
}
QString mp4TempPath(const Request &r)
{
    return mp4OutputPath(r) + QStringLiteral(".temp");
}

QString stillImagePath(const Request &r)
{
    if (r.flvName.size() < 4)
        throw RuntimeError(rt::InvalidProcedureCall);
    return r.outDir + r.flvName.left(r.flvName.size() - 4) + QStringLiteral(".jpg");
}

QString flvCommand(const Request &r, const OptionPieces &p)
{
    return ffmpegHead(r) + QStringLiteral(" -f flv -acodec aac -strict experimental") + p.audioBitrateOption
        + p.sampleRateOption + p.channelOption + QStringLiteral(" -vcodec libx264 -b:v ") + p.videoBitrateText
        + p.sizeOption + p.frameRateOption + rateLimits(p)
        + QStringLiteral(
               " -coder 1 -flags +loop -cmp +chroma -partitions +parti4x4+parti8x8+partp8x8+partb8x8 ")
        + extraOptions(r, "config/configx264v1.txt") + QLatin1Char(' ') + quoted(flvOutputPath(r));
}

QString mp4Command(const Request &r, const OptionPieces &p)
{
    return ffmpegHead(r) + QStringLiteral(" -f mp4 -acodec aac -strict experimental -ar ") + r.sampleRate
        + QStringLiteral(" -ab ") + r.audioBitrate + QStringLiteral("k ") + p.channelOption
        + QStringLiteral(" -vcodec libx264 -b:v ") + p.videoBitrateText + p.sizeOption + p.frameRateOption
        + rateLimits(p)
        + QStringLiteral(" -coder 0 -flags +loop+mv4 -cmp 256 -partitions +parti4x4+partp8x8+partb8x8 ")
        + extraOptions(r, "config/configx264v2.txt") + QLatin1Char(' ') + quoted(mp4OutputPath(r));
}

QString faststartCommand(const Request &r)
{
    return faststart::command(r.appFolder, mp4TempPath(r), mp4OutputPath(r));
}

QSize outputSize(const Request &r, const SourceFacts &source)
{
    if (r.originalWindowSize)
        return source.size;
    const QStringList wh = r.windowSize.section(QLatin1Char(' '), 0, 0).split(QLatin1Char('x'));
    return wh.size() == 2 ? QSize(wh.at(0).toInt(), wh.at(1).toInt()) : QSize();
}

std::optional<int> crf(encode::WebmCodec codec, encode::Quality quality)
{
    // Measured on a talking-head clip and a high-motion one: see bench/.
    static constexpr int vp9[] = {31, 33, 36};
    static constexpr int av1[] = {30, 35, 40};
    if (codec == encode::WebmCodec::Vp8 || quality == encode::Quality::Bitrate)
        return std::nullopt;
    const int level = int(quality) - int(encode::Quality::High);
    return codec == encode::WebmCodec::Vp9 ? vp9[level] : av1[level];
}

QString webmCommand(const Request &r, const OptionPieces &p, const SourceFacts &source)
{
    const QString watermark = r.watermarking() ? r.watermarkFilter : QString();
    const QString output = QLatin1Char(' ') + quoted(webmOutputPath(r));
    // No frame rate here, whatever the list holds.
    if (r.webmCodec == encode::WebmCodec::Vp8)
        return ffmpegHead(r) + QStringLiteral("  -f webm -acodec libvorbis ") + p.channelOption
            + p.audioBitrateOption + p.sampleRateOption + QStringLiteral(" -vcodec libvpx -b:v ")
            + p.videoBitrateText + p.sizeOption
            + QStringLiteral(" -quality good -cpu-used 0 -qmin 10 -qmax 42") + rateLimits(p) + watermark
            + output;
    const bool vp9 = r.webmCodec == encode::WebmCodec::Vp9;
    const std::optional<int> level = crf(r.webmCodec, r.quality);
    QString rate;
    if (!level)
        // SVT-AV1 keeps no constant rate: the bitrate is its average.
        rate = QStringLiteral(" -b:v ") + p.videoBitrateText + (vp9 ? rateLimits(p) : QString());
    else if (vp9)
        rate = QStringLiteral(" -crf %1 -b:v ").arg(*level) + p.videoBitrateText;
    else
        rate = QStringLiteral(" -crf %1 -svtav1-params mbr=").arg(*level) + r.videoBitrate;
    QString speed = QStringLiteral(" -preset 8");
    if (vp9) {
        speed = QStringLiteral(" -deadline good -cpu-used 4 -row-mt 1");
        const int width = outputSize(r, source).width();
        if (width > 0)
            speed += QStringLiteral(" -tile-columns %1")
                         .arg(std::clamp(int(std::log2(std::max(1, width / 256))), 0, 4));
    }
    return ffmpegHead(r) + QStringLiteral("  -f webm -acodec libopus ") + p.channelOption
        + p.audioBitrateOption + QStringLiteral(" -ar 48000 -vcodec ")
        + (vp9 ? QStringLiteral("libvpx-vp9") : QStringLiteral("libsvtav1")) + rate + p.sizeOption + speed
        + watermark + output;
}

QString readSourceCommand(const Request &r)
{
    return tool(r, ffmpeg) + QStringLiteral(" -hide_banner -i ") + quoted(r.source);
}

QString captionsOutputPath(const Request &r)
{
    return r.outDir + r.captionsName;
}

QString captionsCommand(const Request &r)
{
    return tool(r, ffmpeg) + QStringLiteral("  -y -i  ") + quoted(r.captions) + QStringLiteral(" -f webvtt ")
        + quoted(captionsOutputPath(r));
}

QString stillImageCommand(const Request &r, const OptionPieces &p)
{
    // The time goes in as typed: minute 5 and second 7 give 00:5:7.000.
    return tool(r, ffmpeg) + QStringLiteral(" -i ") + quoted(r.source) + p.sizeOption
        + QStringLiteral(" -ss 00:") + r.minute + QLatin1Char(':') + r.second
        + QStringLiteral(".000 -vframes 1 ") + quoted(stillImagePath(r));
}

} // namespace commandlines
