#include "settings/encodesettings.h"

#include "common/errors.h"
#include "common/textfiles.h"
#include "encode/captions.h"
#include "encode/outputnames.h"
#include "settings/listfiles.h"

namespace encodesettings {

using namespace settings;

const QStringList &frameRates()
{
    static const QStringList list{QStringLiteral("12"), QStringLiteral("15"),  QStringLiteral("23.97"),
                                  QStringLiteral("24"), QStringLiteral("25"),  QStringLiteral("29.97"),
                                  QStringLiteral("30"), QStringLiteral("Auto")};
    return list;
}

const QStringList &sampleRates()
{
    static const QStringList list{QStringLiteral("11025"), QStringLiteral("22050"), QStringLiteral("44100")};
    return list;
}

const QStringList &audioBitrates()
{
    static const QStringList list{QStringLiteral("16"),  QStringLiteral("24"), QStringLiteral("32"),
                                  QStringLiteral("40"),  QStringLiteral("48"), QStringLiteral("56"),
                                  QStringLiteral("64"),  QStringLiteral("80"), QStringLiteral("96"),
                                  QStringLiteral("112"), QStringLiteral("128")};
    return list;
}

const QStringList &webmCodecs()
{
    static const QStringList list{QStringLiteral("VP8 + Vorbis"), QStringLiteral("VP9 + Opus"),
                                  QStringLiteral("AV1 + Opus")};
    return list;
}

const QStringList &qualities()
{
    static const QStringList list{QStringLiteral("Fixed bitrate"), QStringLiteral("High"),
                                  QStringLiteral("Standard"), QStringLiteral("Small")};
    return list;
}

QStringList listEntries(const QString &path)
{
    QStringList entries = textfiles::readLines(path);
    entries.removeAll(QString());
    return entries;
}

Lists readLists(const QString &appFolder)
{
    Lists lists;
    lists.windowSizes = listEntries(listfiles::windowSizesPath(appFolder));
    lists.videoBitrates = listEntries(listfiles::bitratesPath(appFolder));
    if (lists.windowSizes.isEmpty() || lists.videoBitrates.isEmpty())
        throw RuntimeError(rt::InvalidPropertyValue);
    lists.fonts = watermark::readFontList(appFolder);
    if (!lists.fonts.complete)
        throw RuntimeError(rt::SubscriptOutOfRange);
    lists.fontSizes = watermark::readFontSizes(appFolder);
    const int sizes = int(lists.fontSizes.size());
    if (startIndex(FontSize, sizes) >= sizes || lists.fonts.names.isEmpty())
        throw RuntimeError(rt::InvalidPropertyValue);
    return lists;
}

void Settings::loadLists(const Lists &lists)
{
    loadList(WindowSize, lists.windowSizes);
    loadList(VideoBitrate, lists.videoBitrates);
    loadFixedLists();
    // As the watermark dialog loads its lists: the fonts, the sizes, then
    // the start-up size and font.
    setEntries(FontName, lists.fonts.names);
    setEntries(FontFile, lists.fonts.files);
    setEntries(FontSize, lists.fontSizes);
    chooseStartEntry(FontSize);
    chooseStartEntry(FontName);
}

void Settings::loadFixedLists()
{
    loadList(VideoFrameRate, frameRates());
    loadList(AudioSamplerate, sampleRates());
    loadList(AudioBitrate, audioBitrates());
    loadList(WebmCodec, webmCodecs());
    loadList(WebmQuality, qualities());
    setValue(KeepWindowSize, 1);
}

void Settings::apply(int line, const QString &value)
{
    if (line < FLV || line > Hls)
        return;
    const Setting setting = Setting(line);
    // A WebM codec and quality are always chosen.
    if ((setting == WebmCodec || setting == WebmQuality)
        && profile::listIndex(value, int(entries(setting).size())) < 0)
        throw RuntimeError(rt::InvalidPropertyValue);
    switch (kindOf(setting)) {
    case Kind::Check: setValue(setting, profile::checkState(value)); break;
    case Kind::Option: setValue(setting, profile::optionState(value)); break;
    case Kind::Index: setValue(setting, profile::listIndex(value, int(entries(setting).size()))); break;
    case Kind::Color: setValue(setting, int(profile::colorValue(value))); break;
    case Kind::Text: setText(setting, value); break;
    }
}

void Settings::applyLines(const QStringList &lines)
{
    for (int line = profile::Signature + 1; line < lines.size(); ++line)
        apply(line, lines.at(line));
    for (int line = std::max(int(lines.size()), int(WebmCodec)); line <= Hls; ++line)
        setValue(Setting(line),
                 kindOf(Setting(line)) == Kind::Index
                     ? startIndex(Setting(line), int(entries(Setting(line)).size()))
                     : 0);
}

void Settings::applyProfile(const QString &path)
{
    const profile::ProfileFile file = profile::readProfileFile(path);
    if (!file.valid)
        throw Refusal(QLatin1String(profile::notAProfile));
    applyLines(file.lines);
}

profile::Values Settings::values() const
{
    using namespace profile;
    Values v;
    v[Signature] = QString::fromLatin1(signature);
    for (int line = FLV; line <= Hls; ++line) {
        const Setting setting = Setting(line);
        switch (kindOf(setting)) {
        case Kind::Check: v[size_t(line)] = checkStateText(value(setting)); break;
        case Kind::Option: v[size_t(line)] = optionText(isSelected(setting)); break;
        case Kind::Index: v[size_t(line)] = listIndexText(value(setting)); break;
        case Kind::Color: v[size_t(line)] = colorText(quint32(value(setting))); break;
        case Kind::Text: v[size_t(line)] = text(setting); break;
        }
    }
    return v;
}

void Settings::chooseSource(const QString &path)
{
    setText(Source, path);
    // An unlocked output folder follows each new source; a locked one is
    // only filled when it is still empty.
    if (value(LockOutputFolder) != 1 || text(OutputFolder).isEmpty())
        setText(OutputFolder, outputnames::folderPart(path));
    setText(OutputFolder, outputnames::withTrailingSlash(text(OutputFolder)));

    const Setting names[] = {FlvName, Mp4Name, WebmName, HlsName};
    if (!path.isEmpty()) {
        const QString base = outputnames::baseName(outputnames::nameParts(outputnames::fileTitle(path)));
        const QLatin1String extensions[] = {QLatin1String(".flv"), QLatin1String(".mp4"),
                                            QLatin1String(".webm"), QLatin1String("-hls")};
        for (int i = 0; i < 4; ++i)
            setText(names[i], base + extensions[i]);
    }
    // An output that would be the source file itself gets "conv_" in front.
    for (Setting name : names)
        setText(name, outputnames::outputName(text(OutputFolder), text(name), path));
    chooseCaptions(path.isEmpty() ? QString() : captions::findBeside(path));
}

void Settings::chooseCaptions(const QString &path)
{
    setText(CaptionsFile, path);
    const QString source = text(Source);
    const QString base = source.isEmpty() || path.isEmpty()
        ? QString()
        : outputnames::baseName(outputnames::nameParts(outputnames::fileTitle(source)));
    setText(CaptionsName,
            base.isEmpty()
                ? QString()
                : outputnames::outputName(text(OutputFolder), base + QStringLiteral(".vtt"), path));
}

void Settings::chooseOutputFolder(const QString &folder)
{
    if (!folder.isEmpty())
        setText(OutputFolder, folder);
    if (!text(OutputFolder).isEmpty())
        setText(OutputFolder, outputnames::withTrailingSlash(text(OutputFolder)));
}

encode::Request Settings::request(const QString &appFolder) const
{
    encode::Request r;
    r.appFolder = appFolder;
    r.source = text(Source);
    r.outDir = text(OutputFolder);
    r.flv = value(FLV);
    r.mp4 = value(Mp4);
    r.webm = value(Webm);
    r.flvName = text(FlvName);
    r.mp4Name = text(Mp4Name);
    r.webmName = text(WebmName);
    r.hls = value(Hls);
    r.hlsName = text(HlsName);
    // No choice (lists not loaded) is the start-up choice.
    r.webmCodec = encode::WebmCodec(std::max(0, value(WebmCodec)));
    r.quality = value(WebmQuality) < 0 ? encode::Quality::Standard : encode::Quality(value(WebmQuality));
    r.captions = text(CaptionsFile);
    r.captionsName = text(CaptionsName);
    r.captionsLanguage = captions::language(r.captions);
    r.videoBitrate = entry(VideoBitrate);
    r.frameRate = entry(VideoFrameRate);
    r.originalWindowSize = isSelected(KeepWindowSize);
    r.windowSize = entry(WindowSize);
    r.watermark = value(Watermark);
    r.watermarkFilter = text(WatermarkFilter);
    r.imageWatermark = isSelected(ImageWatermark);
    r.pictureName = text(PictureName);
    r.picturePath = text(ImagePath);
    r.stillImage = value(GrabStillImage);
    r.minute = text(StillMinute);
    r.second = text(StillSecond);
    r.audioBitrate = entry(AudioBitrate);
    r.sampleRate = entry(AudioSamplerate);
    return r;
}

} // namespace encodesettings
