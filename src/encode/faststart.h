#pragma once
// The faststart step: the faststart tool (<application folder>/ma) rewrites
// an MP4 with its index (the moov atom) before its media data, so that a
// player can start it before the whole file has come. The encode job takes
// each MP4 it makes through it, the "Make Mp4 Streamable" tool a copy of the
// chosen file; both go by its verdict.
#include "encode/verify.h"
#include "process/toolrunner.h"

#include <QString>
#include <optional>

namespace faststart {

// <application folder>/ma "INPUT" "OUTPUT", the folder quoted only when it
// needs it.
QString command(const QString &appFolder, const QString &input, const QString &output);

struct Step {
    QString appFolder;
    QString source; // what the run is about, for its captions
    QString input;  // the MP4 the tool reads
    QString output; // the MP4 it writes
    // True: the MP4 stands at `output` (as the encoder made it) and moves to
    // `input` for the run. False: `input` is a copy the caller made and
    // removes; a file at `output` (of an earlier run) is set aside.
    bool inPlace = false;
    // What the written MP4 must be when read back with engine/ffprobe
    // (where there is one), its index first. Without it, the tool's exit
    // status and a file written decide.
    std::optional<verify::Expectation> readBack;
    QString scratchFolder; // for ffprobe's findings; the system's when empty
};

enum class Verdict {
    Streamable,        // written, and read back where asked
    AlreadyStreamable, // not made, but the input's index stood first already
    NotStreamable,     // not made: the reason says why
    Cancelled,         // by the user or an interrupt
};

struct Result {
    Verdict verdict = Verdict::Streamable;
    // Why it was not made: "THE FASTSTART TOOL STOPPED WITH STATUS 1.",
    // "THE OUTPUT FILE IS INCOMPLETE. ITS INDEX STANDS AFTER ITS MEDIA DATA."
    QString reason;
    // What the read-back of the written MP4 found when it was complete
    // (possibly of a source that ended early).
    std::optional<verify::Result> readBack;
};

// Runs the step through the runner (a ToolRun of kind Tool, label
// "faststart", then ffprobe's). Unless the verdict is Streamable, whatever
// the tool wrote goes and what stood at the output comes back; when it is,
// what stood there goes. Throws RuntimeError when that cannot be done (see
// files::Place: 58, 70, 53, 75).
Result run(IToolRunner &runner, const Step &step);

} // namespace faststart
