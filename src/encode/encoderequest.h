#pragma once
// An encode request as values: what the main window's controls and the
// watermark dialog hold when "Start Encoding" is pressed (or what
// vidlark-encode takes from its arguments and a profile), and the checks it
// must pass before anything runs.
#include "common/prompts.h"

#include <QString>

namespace encode {

// What to do with an output that exists already.
enum class Overwrite { Ask, Always, Never };

// The WebM's codecs, and how its video bitrate is chosen: the bitrate list
// as a fixed rate, or a constant quality with that bitrate as a ceiling.
// The order is the drop-downs' and the profile's.
enum class WebmCodec { Vp8, Vp9, Av1 };
enum class Quality { Bitrate, High, Standard, Small };

struct Request {
    // Where the tools are, and where they run: the picture copy of an image
    // watermark lies in the working folder, as the encoder opens it by its
    // bare name (empty: the application folder).
    QString appFolder; // full path, no trailing "/"
    QString workingFolder;

    // Step 1.
    QString source;   // lblInput
    QString outDir;   // lblOutDir, ending in "/"
    int flv = 0;      // chkFLV value: 0, 1 or 2 (greyed)
    int mp4 = 0;      // chkMp4
    int webm = 0;     // chkWebm
    QString flvName;  // txtOutFileFLV
    QString mp4Name;  // txtOutFileMp4
    QString webmName; // txtOutFileWebm
    int hls = 0;      // chkHls
    QString hlsName;  // txtOutFileHls: the folder of the stream
    WebmCodec webmCodec = WebmCodec::Vp8;
    Quality quality = Quality::Standard;
    // A caption file to convert to WebVTT (empty: none), its output name,
    // and the language its name carries ("en" of "clip.en.srt").
    QString captions;
    QString captionsName;
    QString captionsLanguage;

    // Step 2.
    QString videoBitrate;           // cmbVideoBitrate text (kbit/s)
    QString frameRate;              // cmbVideoFrameRate text ("Auto" for none)
    bool originalWindowSize = true; // optVideoWindowOriginal is selected
    QString windowSize;             // cmbVideoWindow text ("640x480 4:3 VGA")
    int watermark = 0;              // chkWatermark value
    QString watermarkFilter;        // the watermark dialog's filter text
    bool imageWatermark = false;    // the picture kind is chosen
    QString pictureName;            // the picture copy's name
    QString picturePath;            // the picture it is copied from
    int stillImage = 0;             // chkGrabStillImage value
    QString minute;                 // txtFrameMinute, as typed
    QString second;                 // txtFrameSecond, as typed

    // Step 3.
    QString audioBitrate; // cmbAudioBitrate text (kbit/s)
    QString sampleRate;   // cmbAudioSamplerate text

    // How the front end answers for the user.
    Overwrite overwrite = Overwrite::Ask;
    bool askToOpenFolder = true;

    QString tools() const { return workingFolder.isEmpty() ? appFolder : workingFolder; }
    bool watermarking() const { return watermark == 1; }
};

// Runs the checks in their order and throws a Refusal for the first that
// fails. An existing output is put to the user as a question
// ("clip.flv ALREADY EXISTS IN OUTPUT FOLDER. OVERWRITE?") when the request
// says Ask; Never refuses it without asking ("clip.flv ALREADY EXISTS IN
// OUTPUT FOLDER."). An output that is the source
// file itself (or whose MP4 ".temp" file would be) is refused before its
// question. A minute or second text that is not a number throws
// RuntimeError 13, a number beyond 16 bits 6; with no still image the texts
// are not read. A ticked watermark box without a filter text is refused
// last: encoding would silently leave the watermark out.
void validate(const Request &request, IPrompts &prompts);

// Three of those checks, for a front end that checks its settings before it
// has a source: at least one format; a still-image time from 0 to 59 each; a
// filter text for a ticked watermark.
void checkFormats(const Request &request);
void checkStillTime(const QString &minute, const QString &second);
void checkWatermark(const Request &request);

// "FILE(S) ENCODED - <folder>\r\nDO YOU WANT TO OPEN THE OUTPUT FOLDER?"
QString finalQuestion(const QString &outDir);

} // namespace encode
