#include "encode/commandlines.h"

#include "app/mdlMain.h"
#include "app/runtimeerror.h"
#include "app/textfiles.h"
#include "process/cmdline.h"

#include <QStringList>

namespace commandlines {

namespace {

const QString ffmpeg = QStringLiteral("engine/ffmpeg");

QString ffmpegHead(const EncodeValues &v)
{
    return toolPath(v.appFolderShort, ffmpeg) + QStringLiteral("  -y -i  ") + quotedPath(v.sourcePath);
}

// " -minrate 500k -maxrate 500k -bufsize 500k": one bitrate for all three.
QString rateLimits(const OptionPieces &p)
{
    return QStringLiteral(" -minrate ") + p.videoBitrateText + QStringLiteral(" -maxrate ") + p.videoBitrateText
        + QStringLiteral(" -bufsize ") + p.videoBitrateText;
}

} // namespace

OptionPieces optionPieces(const EncodeValues &v)
{
    OptionPieces p;
    if (!v.originalWindowSize) {
        // The first word of the entry ("640x480" of "640x480 4:3 VGA"); an
        // entry starting with a blank has an empty first word.
        if (v.windowSize.isEmpty())
            throw RuntimeError(rt::InvalidProcedureCall);
        p.sizeOption = QStringLiteral(" -s ") + v.windowSize.section(QLatin1Char(' '), 0, 0);
    }
    p.videoBitrateText = v.videoBitrate + QLatin1Char('k');
    if (v.frameRate != QLatin1String("Auto"))
        p.frameRateOption = QStringLiteral(" -r ") + v.frameRate;
    p.audioBitrateOption = QStringLiteral(" -ab ") + v.audioBitrate + QLatin1Char('k');
    p.sampleRateOption = QStringLiteral(" -ar ") + v.sampleRate;
    p.channelOption = QStringLiteral(" -ac 2 ");
    return p;
}

QString optionFilePath(const QString &appFolder, OptionFile file)
{
    return mdlMain::joinPath(appFolder, file == OptionFile::Flv ? QStringLiteral("config/configx264v1.txt")
                                                                : QStringLiteral("config/configx264v2.txt"));
}

QString readOptionFile(const QString &path)
{
    QString options;
    const QStringList lines = textfiles::readLines(path);
    for (const QString &line : lines) {
        mdlMain::strLineIn = line;
        options += QLatin1Char(' ') + line;
    }
    return options;
}

QString extraOptions(const EncodeValues &v, OptionFile file)
{
    QString options = readOptionFile(optionFilePath(v.appFolder, file));
    if (v.watermark)
        options += v.watermarkFilter;
    return options;
}

QString toolPath(const QString &appFolderShort, const QString &relativeTool)
{
    const QString folder = appFolderShort.isEmpty() ? QString() : cmdline::quoteIfNeeded(appFolderShort);
    return folder + QLatin1Char('/') + relativeTool;
}

QString quotedPath(const QString &path)
{
    return cmdline::quoteArgument(path);
}

QString flvOutputPath(const EncodeValues &v) { return v.outputFolder + v.flvName; }
QString mp4OutputPath(const EncodeValues &v) { return v.outputFolder + v.mp4Name; }
QString webmOutputPath(const EncodeValues &v) { return v.outputFolder + v.webmName; }
QString mp4TempPath(const EncodeValues &v) { return mp4OutputPath(v) + QStringLiteral(".temp"); }

QString stillImagePath(const EncodeValues &v)
{
    if (v.flvName.size() < 4)
        throw RuntimeError(rt::InvalidProcedureCall);
    return v.outputFolder + v.flvName.left(v.flvName.size() - 4) + QStringLiteral(".jpg");
}

QString flvCommand(const EncodeValues &v, const OptionPieces &p, const QString &extra)
{
    return ffmpegHead(v) + QStringLiteral(" -f flv -acodec aac -strict experimental") + p.audioBitrateOption
        + p.sampleRateOption + p.channelOption + QStringLiteral(" -vcodec libx264 -b:v ") + p.videoBitrateText
        + p.sizeOption + p.frameRateOption + rateLimits(p)
        + QStringLiteral(" -coder 1 -flags +loop -cmp +chroma -partitions +parti4x4+parti8x8+partp8x8+partb8x8 ")
        + extra + QLatin1Char(' ') + quotedPath(flvOutputPath(v));
}

QString mp4Command(const EncodeValues &v, const OptionPieces &p, const QString &extra)
{
    return ffmpegHead(v) + QStringLiteral(" -f mp4 -acodec aac -strict experimental -ar ") + v.sampleRate
        + QStringLiteral(" -ab ") + v.audioBitrate + QStringLiteral("k ") + p.channelOption
        + QStringLiteral(" -vcodec libx264 -b:v ") + p.videoBitrateText + p.sizeOption + p.frameRateOption
        + rateLimits(p)
        + QStringLiteral(" -coder 0 -flags +loop+mv4 -cmp 256 -partitions +parti4x4+partp8x8+partb8x8 ") + extra
        + QLatin1Char(' ') + quotedPath(mp4OutputPath(v));
}

QString faststartCommand(const EncodeValues &v)
{
    return toolPath(v.appFolderShort, QStringLiteral("ma")) + QLatin1Char(' ') + quotedPath(mp4TempPath(v))
        + QLatin1Char(' ') + quotedPath(mp4OutputPath(v));
}

QString webmCommand(const EncodeValues &v, const OptionPieces &p)
{
    // No frame rate here, whatever the list holds.
    return ffmpegHead(v) + QStringLiteral("  -f webm -acodec libvorbis ") + p.channelOption + p.audioBitrateOption
        + p.sampleRateOption + QStringLiteral(" -vcodec libvpx -b:v ") + p.videoBitrateText + p.sizeOption
        + QStringLiteral(" -quality good -cpu-used 0 -qmin 10 -qmax 42") + rateLimits(p)
        + (v.watermark ? v.watermarkFilter : QString()) + QLatin1Char(' ') + quotedPath(webmOutputPath(v));
}

QString stillImageCommand(const EncodeValues &v, const OptionPieces &p)
{
    // The time goes in as typed: minute 5 and second 7 give 00:5:7.000.
    return toolPath(v.appFolderShort, ffmpeg) + QStringLiteral(" -i ") + quotedPath(v.sourcePath) + p.sizeOption
        + QStringLiteral(" -ss 00:") + v.frameMinute + QLatin1Char(':') + v.frameSecond
        + QStringLiteral(".000 -vframes 1 ") + quotedPath(stillImagePath(v));
}

} // namespace commandlines
