#pragma once
// The encoder command lines, built from the values the main window holds
// when encoding starts. Every piece and every blank is fixed: the pieces are
// joined with no separator of their own, so doubled blanks stand wherever a
// piece ending in a blank meets one beginning with a blank.
//
// Paths are joined with "/". Source and output paths are quoted with
// cmdline::quoteArgument, so splitCommandLine gives each back as one
// unchanged argument. The application folder stands unquoted at the head of
// each command unless it holds a blank or a double quote; then it is quoted
// the same way and the tool's relative path follows the closing quote, which
// still splits into one argument.
//
// Failures throw RuntimeError: 53 for a missing option file, 5 for an empty
// window-size text while resizing and for an FLV name shorter than four
// characters when the still image is built.
#include <QString>

namespace commandlines {

// What the main window holds when encoding starts (each field names the
// control it comes from).
struct EncodeValues {
    QString appFolder;          // Forms::appFolder(), full path, no trailing "/"
    QString appFolderShort;     // mdlMain::GetShortPath(appFolder)
    QString sourcePath;         // lblInput
    QString outputFolder;       // lblOutDir, with its trailing "/"
    QString flvName;            // txtOutFileFLV
    QString mp4Name;            // txtOutFileMp4
    QString webmName;           // txtOutFileWebm
    bool originalWindowSize = true; // optVideoWindowOriginal is selected
    QString windowSize;         // cmbVideoWindow text ("640x480 4:3 VGA")
    QString videoBitrate;       // cmbVideoBitrate text (kbit/s)
    QString frameRate;          // cmbVideoFrameRate text ("Auto" for none)
    QString audioBitrate;       // cmbAudioBitrate text (kbit/s)
    QString sampleRate;         // cmbAudioSamplerate text
    QString frameMinute;        // txtFrameMinute, as typed
    QString frameSecond;        // txtFrameSecond, as typed
    bool watermark = false;     // chkWatermark value is 1
    QString watermarkFilter;    // the watermark dialog's filter text (txtWMString)
};

// The option pieces, taken once per request.
struct OptionPieces {
    QString sizeOption;         // "" or " -s " + first word of the window-size text
    QString videoBitrateText;   // bitrate + "k"
    QString frameRateOption;    // "" for "Auto", otherwise " -r " + rate
    QString audioBitrateOption; // " -ab " + bitrate + "k"
    QString sampleRateOption;   // " -ar " + rate
    QString channelOption;      // " -ac 2 "
};

// Throws 5 when resizing with an empty window-size text.
OptionPieces optionPieces(const EncodeValues &values);

// The x264 option files of the application folder.
enum class OptionFile { Flv, Mp4 };
QString optionFilePath(const QString &appFolder, OptionFile file);

// One blank and the line for each line of the file, nothing trimmed or
// skipped (an empty line adds a lone blank). Throws 53 for a missing file.
QString readOptionFile(const QString &path);

// The extra options of the FLV or MP4 command: the option file's lines read
// from the full application-folder path, then the watermark filter text when
// watermarking.
QString extraOptions(const EncodeValues &values, OptionFile file);

// The head of a command: the application folder (unquoted when it needs no
// quoting) followed by the tool's relative path ("engine/ffmpeg", "ma").
QString toolPath(const QString &appFolderShort, const QString &relativeTool);

// A path as it stands in a command: '"' + path + '"' for ordinary paths.
QString quotedPath(const QString &path);

QString flvOutputPath(const EncodeValues &values);
QString mp4OutputPath(const EncodeValues &values);
QString webmOutputPath(const EncodeValues &values);
// The MP4 output renamed for the faststart run: the output path + ".temp".
QString mp4TempPath(const EncodeValues &values);
// The output folder, the FLV name less its last four characters, ".jpg".
// Throws 5 when the FLV name is shorter than four characters.
QString stillImagePath(const EncodeValues &values);

// The builders. extraOptions is the text extraOptions() gives for the format.
QString flvCommand(const EncodeValues &values, const OptionPieces &pieces, const QString &extraOptions);
QString mp4Command(const EncodeValues &values, const OptionPieces &pieces, const QString &extraOptions);
QString faststartCommand(const EncodeValues &values);
QString webmCommand(const EncodeValues &values, const OptionPieces &pieces);
QString stillImageCommand(const EncodeValues &values, const OptionPieces &pieces);

} // namespace commandlines
