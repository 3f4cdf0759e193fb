#pragma once
// The settings of an encode request, as the main window, the watermark
// dialog and vidlark-encode share them: every setting a profile holds
// (numbered as its lines), the choices of Step 1, the entries each list
// setting chooses from, and the watermark last built from the settings.
//
// The rules that tie settings together live here, once: selecting an option
// clears the others of its group, choosing another window size chooses to
// resize, and the font file follows the font name. changed() tells every
// change of a value, once the value and its consequences are in place; the
// windows show the settings from it and write their controls' changes back.
#include <QObject>
#include <QStringList>

#include <array>

namespace settings {

enum Setting : int {
    // Lines 1 to 31 of a profile, in their order.
    FLV = 1,
    Mp4,
    Webm,
    KeepWindowSize,
    ResizeWindow,
    WindowSize,
    VideoBitrate,
    VideoFrameRate,
    Watermark,
    GrabStillImage,
    StillMinute,
    StillSecond,
    TextWatermark,
    ImageWatermark,
    TopLeft,
    TopRight,
    BottomLeft,
    BottomRight,
    WatermarkText,
    FontName,
    FontFile,
    FontSize,
    FontColorText,
    FontColor,
    Transparency,
    ImagePath,
    AudioBitrate,
    AudioSamplerate,
    // The WebM codec (an index of webmCodecs()), its quality (of
    // qualities()), and the HLS box.
    WebmCodec,
    WebmQuality,
    Hls,
    // Step 1: the source, the output folder (ending in "/"), whether that
    // folder stays when another source is chosen, the output names, the
    // caption file found beside the source (or chosen) and the WebVTT file
    // it becomes.
    Source,
    OutputFolder,
    LockOutputFolder,
    FlvName,
    Mp4Name,
    WebmName,
    HlsName,
    CaptionsFile,
    CaptionsName,
    // The watermark last built: the filter option text and the name of the
    // picture copy it opens.
    WatermarkFilter,
    PictureName,
    SettingCount
};

// How a setting is held: a check-box state (0, 1, or 2 for greyed), an
// option (0 or 1), a list index (-1 for no choice), a colour (0x00BBGGRR)
// or a text.
enum class Kind { Check, Option, Index, Color, Text };
Kind kindOf(Setting setting);

// The most characters a text setting holds, as its box takes them; -1 for
// no limit.
int maxLength(Setting setting);

// The start-up entry of a list of `count` entries (it may lie beyond a
// short list): the first window size, font and font file, the fifth video
// bitrate where there is one (else the first), 25 fps, 22050 Hz, 96 kbit/s,
// the third font size, "VP8 + Vorbis" and "Standard".
int startIndex(Setting list, int count);

class Model : public QObject
{
    Q_OBJECT
public:
    // The start-up settings: FLV and MP4, the original window size, a still
    // image at 00:30, a text watermark "Your Watermark Text" at the top left
    // in green (0x008000) at 60 %, and lists without entries, so without a
    // choice.
    Model();

    // Every setting but the texts.
    int value(Setting setting) const { return m_values[size_t(setting)]; }
    bool isSelected(Setting option) const { return value(option) != 0; }
    const QString &text(Setting setting) const { return m_texts[size_t(setting)]; }

    // Sets a value with its consequences; a list index is -1 or one of the
    // list's entries.
    void setValue(Setting setting, int value);
    // Sets a text, cut to maxLength().
    void setText(Setting setting, const QString &text);

    // The entries of a list setting; those of FontFile are the font files,
    // in the order of the font names.
    const QStringList &entries(Setting list) const { return m_entries[size_t(list)]; }
    // The chosen entry; empty when there is no choice.
    QString entry(Setting list) const;
    // New entries, with no choice among them.
    void setEntries(Setting list, const QStringList &entries);
    // Chooses the start-up entry. Throws RuntimeError 380 when the list is
    // too short for it.
    void chooseStartEntry(Setting list);
    // Both: a list as the windows load it.
    void loadList(Setting list, const QStringList &entries);

    // Picking a window size chooses to resize, even when the size picked is
    // the one already chosen.
    void pickWindowSize(int index);

    // The watermark settings as they start, each font list on its start-up
    // entry where it has one; the built watermark goes.
    void resetWatermark();

signals:
    void changed(int setting);
    void entriesChanged(int setting);

private:
    // Stores a value and tells the change, if it is one.
    void store(Setting setting, int value);

    std::array<int, SettingCount> m_values{};
    std::array<QString, SettingCount> m_texts;
    std::array<QStringList, SettingCount> m_entries;
};

} // namespace settings
