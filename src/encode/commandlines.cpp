#include "encode/commandlines.h"

#include "common/appfolder.h"
#include "common/cmdline.h"
#include "common/errors.h"
#include "common/textfiles.h"
#include "encode/faststart.h"

#include <QStringList>

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

QString webmCommand(const Request &r, const OptionPieces &p)
{
    // No frame rate here, whatever the list holds.
    return ffmpegHead(r) + QStringLiteral("  -f webm -acodec libvorbis ") + p.channelOption
        + p.audioBitrateOption + p.sampleRateOption + QStringLiteral(" -vcodec libvpx -b:v ")
        + p.videoBitrateText + p.sizeOption + QStringLiteral(" -quality good -cpu-used 0 -qmin 10 -qmax 42")
        + rateLimits(p) + (r.watermarking() ? r.watermarkFilter : QString()) + QLatin1Char(' ')
        + quoted(webmOutputPath(r));
}

QString stillImageCommand(const Request &r, const OptionPieces &p)
{
    // The time goes in as typed: minute 5 and second 7 give 00:5:7.000.
    return tool(r, ffmpeg) + QStringLiteral(" -i ") + quoted(r.source) + p.sizeOption
        + QStringLiteral(" -ss 00:") + r.minute + QLatin1Char(':') + r.second
        + QStringLiteral(".000 -vframes 1 ") + quoted(stillImagePath(r));
}

} // namespace commandlines
