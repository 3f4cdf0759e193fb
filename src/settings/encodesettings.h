#pragma once
// The settings model as the windows and vidlark-encode use it: the lists of
// the application folder with their start-up entries, the plain form of
// every setting a profile holds (what applying a profile line does, and what
// saving stores), Step 1's rules for a chosen source and output folder, and
// the encode request the settings give.
#include "common/settingsmodel.h"
#include "encode/encoderequest.h"
#include "settings/profile.h"
#include "watermark/fonts.h"

#include <QStringList>

namespace encodesettings {

// The fixed lists of the main window.
const QStringList &frameRates();    // 12 ... 30, "Auto"
const QStringList &sampleRates();   // 11025, 22050, 44100
const QStringList &audioBitrates(); // 16 ... 128
const QStringList &webmCodecs();    // "VP8 + Vorbis", "VP9 + Opus", "AV1 + Opus"
const QStringList &qualities();     // "Fixed bitrate", "High", "Standard", "Small"

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
// missing file, 380 for a list the start-up entries do not fit, 9 for a
// font line without "#".
Lists readLists(const QString &appFolder);

class Settings : public settings::Model
{
public:
    // The start-up settings, without lists.
    Settings() = default;
    // The start-up settings with the lists loaded, as the windows hold them
    // once started.
    explicit Settings(const Lists &lists) { loadLists(lists); }

    // Loads every list with its start-up entry, in the windows' order.
    // Throws RuntimeError 380 for a list too short for its entry.
    void loadLists(const Lists &lists);
    // The main window's start-up once its two list files are in: the fixed
    // lists on their start-up entries, and the original window size kept.
    void loadFixedLists();

    // Applies one line of a profile (1 to 31; other lines are passed over)
    // as its control takes the value. Throws RuntimeError for a value the
    // control does not take (13, 6, 380; 380 too for no WebM codec or
    // quality).
    void apply(int line, const QString &value);
    // Applies the lines after the signature in order, up to the first that
    // fails (which throws; the lines before it stay applied). Lines 29 to 31
    // that the profile lacks take their start-up values.
    void applyLines(const QStringList &lines);
    // A profile file, as Load Profile applies it. Throws a Refusal
    // (notAProfile) for a file that is no profile, RuntimeError for a file
    // that cannot be read and for the first bad line.
    void applyProfile(const QString &path);
    // The settings as a profile stores them.
    profile::Values values() const;

    // Step 1. A chosen source: the output folder follows it unless it is
    // locked and filled, and ends in "/"; the output names are the source's
    // title with each format's extension, "conv_" in front of a name that
    // would be the source itself, the HLS folder's "-hls" after the title.
    // The caption file beside the source is chosen (none when there is
    // none). Throws RuntimeError 9 for a path without a file title (the
    // source and the output folder are set by then).
    void chooseSource(const QString &path);
    // A caption file (empty: none) and its output name: the title of the
    // source with ".vtt", or "conv_" in front where that is the caption
    // file itself.
    void chooseCaptions(const QString &path);
    // A chosen output folder (none: the folder held), ending in "/".
    void chooseOutputFolder(const QString &folder);

    // The request these settings make, with the tools of appFolder.
    encode::Request request(const QString &appFolder) const;
};

} // namespace encodesettings
