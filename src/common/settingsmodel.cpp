#include "common/settingsmodel.h"

#include "common/errors.h"

#include <span>

namespace settings {

namespace {

// The options of which at most one is selected.
std::span<const Setting> groupOf(Setting option)
{
    static constexpr Setting windowSize[] = {KeepWindowSize, ResizeWindow};
    static constexpr Setting kind[] = {TextWatermark, ImageWatermark};
    static constexpr Setting corner[] = {TopLeft, TopRight, BottomLeft, BottomRight};
    if (option == KeepWindowSize || option == ResizeWindow)
        return windowSize;
    if (option == TextWatermark || option == ImageWatermark)
        return kind;
    return corner;
}

int startValue(Setting setting)
{
    switch (setting) {
    case FLV:
    case Mp4:
    case KeepWindowSize:
    case TextWatermark:
    case TopLeft: return 1;
    case FontColor: return 0x008000;
    default: return kindOf(setting) == Kind::Index ? -1 : 0;
    }
}

QString startText(Setting setting)
{
    switch (setting) {
    case StillMinute: return QStringLiteral("00");
    case StillSecond: return QStringLiteral("30");
    case WatermarkText: return QStringLiteral("Your Watermark Text");
    case FontColorText: return QStringLiteral("0x008000");
    case Transparency: return QStringLiteral("60");
    default: return QString();
    }
}

} // namespace

Kind kindOf(Setting setting)
{
    switch (setting) {
    case FLV:
    case Mp4:
    case Webm:
    case Watermark:
    case GrabStillImage:
    case Hls:
    case LockOutputFolder: return Kind::Check;
    case KeepWindowSize:
    case ResizeWindow:
    case TextWatermark:
    case ImageWatermark:
    case TopLeft:
    case TopRight:
    case BottomLeft:
    case BottomRight: return Kind::Option;
    case WindowSize:
    case VideoBitrate:
    case VideoFrameRate:
    case FontName:
    case FontFile:
    case FontSize:
    case AudioBitrate:
    case AudioSamplerate:
    case WebmCodec:
    case WebmQuality: return Kind::Index;
    case FontColor: return Kind::Color;
    default: return Kind::Text;
    }
}

int maxLength(Setting setting)
{
    switch (setting) {
    // The time and transparency boxes take two characters.
    case StillMinute:
    case StillSecond:
    case Transparency: return 2;
    // Paths, and the filter text built from a long watermark text.
    case ImagePath:
    case CaptionsFile:
    case Source:
    case OutputFolder:
    case WatermarkFilter:
    case PictureName: return -1;
    // As much as a text box holds.
    default: return 32767;
    }
}

int startIndex(Setting list, int count)
{
    switch (list) {
    case VideoBitrate: return count >= 5 ? 4 : 0;
    case VideoFrameRate: return 4;
    case AudioSamplerate: return 1;
    case AudioBitrate: return 8;
    case FontSize: return 2;
    case WebmQuality: return 2;
    default: return 0;
    }
}

Model::Model()
{
    for (int s = FLV; s < SettingCount; ++s) {
        m_values[size_t(s)] = startValue(Setting(s));
        m_texts[size_t(s)] = startText(Setting(s));
    }
}

void Model::store(Setting setting, int value)
{
    int &held = m_values[size_t(setting)];
    if (held == value)
        return;
    held = value;
    emit changed(setting);
}

void Model::setValue(Setting setting, int value)
{
    switch (kindOf(setting)) {
    case Kind::Option:
        // The one selected before is cleared first, as a group of option
        // buttons does it.
        if (value != 0)
            for (Setting other : groupOf(setting))
                if (other != setting)
                    store(other, 0);
        store(setting, value != 0 ? 1 : 0);
        return;
    case Kind::Index:
        if (value == this->value(setting))
            return;
        // The file list follows the name list.
        if (setting == FontName && value >= 0 && value < entries(FontFile).size())
            store(FontFile, value);
        store(setting, value);
        // Choosing another size is choosing to resize.
        if (setting == WindowSize && value >= 0)
            setValue(ResizeWindow, 1);
        return;
    default: store(setting, value);
    }
}

void Model::setText(Setting setting, const QString &text)
{
    const int limit = maxLength(setting);
    const QString cut = limit < 0 ? text : text.left(limit);
    QString &held = m_texts[size_t(setting)];
    if (held == cut)
        return;
    held = cut;
    emit changed(setting);
}

QString Model::entry(Setting list) const
{
    return entries(list).value(value(list));
}

void Model::setEntries(Setting list, const QStringList &entries)
{
    store(list, -1);
    m_entries[size_t(list)] = entries;
    emit entriesChanged(list);
}

void Model::chooseStartEntry(Setting list)
{
    const int start = startIndex(list, int(entries(list).size()));
    if (start >= entries(list).size())
        throw RuntimeError(rt::InvalidPropertyValue);
    setValue(list, start);
}

void Model::loadList(Setting list, const QStringList &entries)
{
    setEntries(list, entries);
    chooseStartEntry(list);
}

void Model::pickWindowSize(int index)
{
    setValue(WindowSize, index);
    setValue(ResizeWindow, 1);
}

void Model::resetWatermark()
{
    for (int s = TextWatermark; s <= ImagePath; ++s) {
        const Setting setting = Setting(s);
        const int count = int(entries(setting).size());
        if (kindOf(setting) == Kind::Text)
            setText(setting, startText(setting));
        else if (kindOf(setting) == Kind::Index)
            setValue(setting, startIndex(setting, count) < count ? startIndex(setting, count) : -1);
        else
            setValue(setting, startValue(setting));
    }
    setText(WatermarkFilter, QString());
    setText(PictureName, QString());
}

} // namespace settings
