#pragma once
// The encode settings a profile holds, as values: the lists the main window
// and the watermark dialog offer, their start-up choices, and what applying
// a profile line does to them (the controls' reactions included). The
// windows keep the settings in their controls; vidlark-encode keeps them
// here and turns them into an encode request.
#include "encode/encoderequest.h"
#include "settings/profile.h"
#include "watermark/fonts.h"
#include "watermark/watermarkfilter.h"

#include <QStringList>

namespace encodesettings {

// The fixed lists of the main window, and its start-up choices in them.
const QStringList &frameRates();    // 12 ... 30, "Auto"; starts on 25
const QStringList &sampleRates();   // 11025, 22050, 44100; starts on 22050
const QStringList &audioBitrates(); // 16 ... 128; starts on 96
constexpr int startFrameRate = 4;
constexpr int startSampleRate = 1;
constexpr int startAudioBitrate = 8;
// The fifth bitrate where there is one; a shorter list starts on its first.
inline int startVideoBitrate(int count) { return count >= 5 ? 4 : 0; }

// The entries of a list file: its lines without the empty ones. Throws
// RuntimeError as textfiles::readLines does.
QStringList listEntries(const QString &path);

// Everything the indexes of a profile point into.
struct Lists {
    QStringList windowSizes;   // config/configvws.txt
    QStringList videoBitrates; // config/configvbr.txt
    watermark::FontList fonts; // wmfonts/_fontlist.txt
    QStringList fontSizes;     // wmfonts/_fontsize.txt
};
// Reads the lists as the windows load them, with their failures: 53 for a
// missing file, 380 for a list the start-up choices do not fit, 9 for a
// font line without "#".
Lists readLists(const QString &appFolder);

class Settings
{
public:
    // The windows' start-up settings.
    explicit Settings(const Lists &lists);

    // Applies one line of a profile (1 to 28) as setting its control does:
    // a changed window size selects "Resize to (W x H)", a changed font name
    // moves the font file along, an option set to True clears the others of
    // its group and one set to False leaves its group without a choice.
    // Throws RuntimeError for a value the control does not take (13, 6,
    // 380), as loading a profile in the window does.
    void apply(int line, const QString &value);

    // Applies a profile file: every line in order. Throws a Refusal for a
    // file that is no profile, RuntimeError for a file that cannot be read
    // and for the first bad line.
    void applyProfile(const QString &path);

    const profile::Values &values() const { return m_values; }

    // The watermark dialog's settings, for watermark::buildFilter.
    watermark::Settings watermark(const QString &appFolder) const;

    // The request for one source with these settings; the output names and
    // folder, the watermark filter and the picture copy are the caller's.
    encode::Request request(const QString &appFolder) const;

private:
    QString entry(const QStringList &list, int line) const;
    void selectOption(int line, bool selected, std::initializer_list<int> group);
    const Lists &m_lists;
    profile::Values m_values;
};

} // namespace encodesettings
