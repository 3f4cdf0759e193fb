#pragma once
// Reads a made output back with the application folder's engine/ffprobe, so
// that "made" means a player can read it to its end: the container reads to
// its end without an error, it holds the streams it should, and it lasts as
// long as the encoder said it encoded. Packets are read, nothing is decoded
// (a still image is decoded: it is one picture). ffprobe runs through the
// same tool runner as the encoders, so a cancel or an interrupt reaches it;
// its findings go to a file in a scratch folder, its errors to the runner.
#include "process/toolrunner.h"

#include <QList>
#include <QSize>
#include <QString>
#include <QVariantMap>
#include <optional>

namespace verify {

// What an output must be.
struct Expectation {
    enum class Kind { Video, Still, Captions };
    Kind kind = Kind::Video;
    // A video: an audio stream as well (the source has sound).
    bool audio = false;
    // A video: the time the encoder reported it encoded (its last "time="),
    // and the source's own stated duration, each when known.
    std::optional<double> encoded;
    std::optional<double> stated;
    // An MP4 after the faststart step: its index (moov) before its media
    // data (mdat).
    bool moovFirst = false;
    // A still image: the picture's width and height, when known.
    QSize pictureSize;
    // A video: its streams described as well (Result::streams).
    bool describe = false;
};

enum class Verdict {
    Complete,   // a player reads it to its end
    Incomplete, // broken, cut off, missing a stream, too short, index last
    ShortSource // complete, but the source ended well before its stated end
};

struct Result {
    Verdict verdict = Verdict::Complete;
    // Why it is not complete, in the program's message style, without the
    // leading "ENCODING FAILED!": "THE OUTPUT FILE IS INCOMPLETE." followed
    // by ffprobe's own error line where it gave one; for a short source
    // "BAD SOURCE FILE. THE SOURCE ENDS AT 0:02.8 OF ITS 0:08.3." Empty
    // when complete.
    QString reason;
    // The run of ffprobe was cancelled (by the user or an interrupt): no
    // verdict.
    bool cancelled = false;
    // The output's duration as read from its packets, when it has any.
    std::optional<double> duration;
    // With Expectation::describe, each stream's fields as ffprobe names
    // them (codec_type, codec_name, profile, pix_fmt, width, height,
    // r_frame_rate, extradata), in the order of their indexes.
    QList<QVariantMap> streams;
};

// Duration tolerance: max(0.5 s, 2 %) of the encoded time.
bool durationMatches(double duration, double encoded);

// "<appFolder>/engine/ffprobe"; present() tells whether it is there and
// executable. Without it the exit-status rule alone decides.
QString ffprobePath(const QString &appFolder);
bool present(const QString &appFolder);

// Reads `path` with ffprobe through `runner` (a ToolRun of kind Tool, label
// "verify", source `source`, output `path`) and judges it against the
// expectation. The findings file lies in `scratchFolder` (made when
// missing) and is removed before the call returns. Without ffprobe, or
// without a findings file, nothing is run and the result is Complete.
Result verifyOutput(IToolRunner &runner, const QString &appFolder, const QString &scratchFolder,
                    const QString &source, const QString &path, const Expectation &expect);

// The judgement alone, for what ffprobe wrote: its findings file's text
// (compact sections, see verify.cpp), its last error line, and whether it
// ended with status 0.
Result judge(const QByteArray &findings, const QString &errorLine, bool exitedWell,
             const Expectation &expect);

// The top-level boxes of an MP4: true when "moov" comes before "mdat".
bool moovBeforeMdat(const QString &path);

} // namespace verify
