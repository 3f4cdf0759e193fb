#include "settings/encodesettings.h"

#include "common/appfolder.h"
#include "common/conversions.h"
#include "common/errors.h"
#include "common/textfiles.h"

namespace encodesettings {

using namespace profile;

const QStringList &frameRates()
{
    static const QStringList list{QStringLiteral("12"), QStringLiteral("15"), QStringLiteral("23.97"),
                                  QStringLiteral("24"), QStringLiteral("25"), QStringLiteral("29.97"),
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
    static const QStringList list{QStringLiteral("16"), QStringLiteral("24"), QStringLiteral("32"),
                                  QStringLiteral("40"), QStringLiteral("48"), QStringLiteral("56"),
                                  QStringLiteral("64"), QStringLiteral("80"), QStringLiteral("96"),
                                  QStringLiteral("112"), QStringLiteral("128")};
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
    const auto path = [&appFolder](const char *relative) {
        return appfolder::joinPath(appFolder, QLatin1String(relative));
    };
    Lists lists;
    lists.windowSizes = listEntries(path("config/configvws.txt"));
    lists.videoBitrates = listEntries(path("config/configvbr.txt"));
    if (lists.windowSizes.isEmpty() || lists.videoBitrates.isEmpty())
        throw RuntimeError(rt::InvalidPropertyValue);
    lists.fonts = watermark::readFontList(appFolder);
    if (!lists.fonts.complete)
        throw RuntimeError(rt::SubscriptOutOfRange);
    lists.fontSizes = watermark::readFontSizes(appFolder);
    if (lists.fontSizes.size() <= watermark::startFontSize || lists.fonts.names.isEmpty())
        throw RuntimeError(rt::InvalidPropertyValue);
    return lists;
}

Settings::Settings(const Lists &lists) : m_lists(lists)
{
    Values &v = m_values;
    v[Signature] = QString::fromLatin1(signature);
    v[FLV] = checkStateText(1);
    v[Mp4] = checkStateText(1);
    v[Webm] = checkStateText(0);
    v[KeepWindowSize] = optionText(true);
    v[ResizeWindow] = optionText(false);
    v[WindowSize] = listIndexText(0);
    v[VideoBitrate] = listIndexText(startVideoBitrate(int(lists.videoBitrates.size())));
    v[VideoFrameRate] = listIndexText(startFrameRate);
    v[Watermark] = checkStateText(0);
    v[GrabStillImage] = checkStateText(0);
    v[StillMinute] = QStringLiteral("00");
    v[StillSecond] = QStringLiteral("30");
    v[TextWatermark] = optionText(true);
    v[ImageWatermark] = optionText(false);
    v[TopLeft] = optionText(true);
    v[TopRight] = v[BottomLeft] = v[BottomRight] = optionText(false);
    v[WatermarkText] = QStringLiteral("Your Watermark Text");
    v[FontName] = v[FontFile] = listIndexText(0);
    v[FontSize] = listIndexText(watermark::startFontSize);
    v[FontColorText] = QStringLiteral("0x008000");
    v[FontColor] = colorText(0x008000);
    v[Transparency] = QStringLiteral("60");
    v[AudioBitrate] = listIndexText(startAudioBitrate);
    v[AudioSamplerate] = listIndexText(startSampleRate);
}

void Settings::selectOption(int line, bool selected, std::initializer_list<int> group)
{
    if (selected)
        for (int other : group)
            m_values[size_t(other)] = optionText(false);
    m_values[size_t(line)] = optionText(selected);
}

void Settings::apply(int line, const QString &value)
{
    Values &v = m_values;
    const auto index = [&value](const QStringList &list) { return listIndexText(listIndex(value, int(list.size()))); };
    switch (line) {
    case FLV:
    case Mp4:
    case Webm:
    case Watermark:
    case GrabStillImage: v[size_t(line)] = checkStateText(checkState(value)); break;
    case KeepWindowSize:
    case ResizeWindow: selectOption(line, optionState(value), {KeepWindowSize, ResizeWindow}); break;
    case TextWatermark:
    case ImageWatermark: selectOption(line, optionState(value), {TextWatermark, ImageWatermark}); break;
    case TopLeft:
    case TopRight:
    case BottomLeft:
    case BottomRight: selectOption(line, optionState(value), {TopLeft, TopRight, BottomLeft, BottomRight}); break;
    case WindowSize: {
        const QString chosen = index(m_lists.windowSizes);
        // Choosing another size is choosing to resize.
        if (chosen != v[WindowSize] && chosen != listIndexText(-1))
            selectOption(ResizeWindow, true, {KeepWindowSize, ResizeWindow});
        v[WindowSize] = chosen;
        break;
    }
    case VideoBitrate: v[VideoBitrate] = index(m_lists.videoBitrates); break;
    case VideoFrameRate: v[VideoFrameRate] = index(frameRates()); break;
    case FontName: {
        const QString chosen = index(m_lists.fonts.names);
        // The file list follows the name list.
        if (chosen != v[FontName] && listIndex(chosen, int(m_lists.fonts.files.size())) >= 0)
            v[FontFile] = chosen;
        v[FontName] = chosen;
        break;
    }
    case FontFile: v[FontFile] = index(m_lists.fonts.files); break;
    case FontSize: v[FontSize] = index(m_lists.fontSizes); break;
    case FontColor: v[FontColor] = colorText(colorValue(value)); break;
    case AudioBitrate: v[AudioBitrate] = index(audioBitrates()); break;
    case AudioSamplerate: v[AudioSamplerate] = index(sampleRates()); break;
    // The time and transparency boxes take two characters, the other boxes
    // as many as a text box holds.
    case StillMinute:
    case StillSecond:
    case Transparency: v[size_t(line)] = value.left(2); break;
    case WatermarkText:
    case FontColorText: v[size_t(line)] = value.left(32767); break;
    case ImagePath: v[ImagePath] = value; break;
    default: break;
    }
}

void Settings::applyProfile(const QString &path)
{
    const ProfileFile file = readProfileFile(path);
    if (!file.valid)
        throw Refusal(QStringLiteral("NOT A VALID VIDLARK WEB VIDEO ENCODER PROFILE!"));
    for (int line = 1; line < file.lines.size(); ++line)
        apply(line, file.lines.at(line));
}

QString Settings::entry(const QStringList &list, int line) const
{
    return list.value(listIndex(m_values[size_t(line)], int(list.size())));
}

watermark::Settings Settings::watermark(const QString &appFolder) const
{
    using watermark::Corner;
    using watermark::Kind;
    const Values &v = m_values;
    const auto on = [&v](int line) { return optionState(v[size_t(line)]); };
    watermark::Settings s;
    s.kind = on(TextWatermark) ? Kind::Text : on(ImageWatermark) ? Kind::Image : Kind::None;
    s.corner = on(TopLeft)      ? Corner::TopLeft
               : on(TopRight)   ? Corner::TopRight
               : on(BottomLeft) ? Corner::BottomLeft
               : on(BottomRight) ? Corner::BottomRight
                                 : Corner::None;
    s.text = v[WatermarkText];
    s.fontSize = entry(m_lists.fontSizes, FontSize);
    s.fontFolder = watermark::fontFolder(appFolder);
    s.fontFile = entry(m_lists.fonts.files, FontFile);
    s.colorCode = v[FontColorText];
    s.transparency = v[Transparency];
    s.imagePath = v[ImagePath];
    return s;
}

encode::Request Settings::request(const QString &appFolder) const
{
    const Values &v = m_values;
    encode::Request r;
    r.appFolder = appFolder;
    r.flv = checkState(v[FLV]);
    r.mp4 = checkState(v[Mp4]);
    r.webm = checkState(v[Webm]);
    r.videoBitrate = entry(m_lists.videoBitrates, VideoBitrate);
    r.frameRate = entry(frameRates(), VideoFrameRate);
    r.originalWindowSize = optionState(v[KeepWindowSize]);
    r.windowSize = entry(m_lists.windowSizes, WindowSize);
    r.watermark = checkState(v[Watermark]);
    r.imageWatermark = optionState(v[ImageWatermark]);
    r.picturePath = v[ImagePath];
    r.stillImage = checkState(v[GrabStillImage]);
    r.minute = v[StillMinute];
    r.second = v[StillSecond];
    r.audioBitrate = entry(audioBitrates(), AudioBitrate);
    r.sampleRate = entry(sampleRates(), AudioSamplerate);
    return r;
}

} // namespace encodesettings
