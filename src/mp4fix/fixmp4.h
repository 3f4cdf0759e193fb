#pragma once
// Rules of the "Make Mp4 Streamable" tool: the names derived from the chosen
// file, what may stand in the fixed file's place, the working copy, and the
// faststart step from it.
#include "encode/faststart.h"

#include <QString>

namespace mp4fix {

struct FixNames {
    QString source; // S: the chosen file, only ever read
    QString fixed;  // F: S less its last four characters + "-fixed.mp4"
    QString work;   // W: F + ".tmp", the copy the tool reads
};

// The extension is removed by length, not by looking for a dot
// ("clip.m4v" -> "clip-fixed.mp4"). A path shorter than four characters
// throws RuntimeError 5.
FixNames deriveNames(const QString &source);

// Makes F safe for the tool to write (files::clearPlace): a symbolic link in
// its place (to S or any other file) or another name of S itself (a hard
// link) is removed. A plain F left from an earlier run stays. Throws a
// Refusal ("Mp4 COULD NOT BE WRITTEN TO F (why).") when F cannot be removed;
// the tool must not run then.
void removeUnsafeFixedFile(const FixNames &names);

// Copies S to W, replacing a W left from an earlier run. Throws a Refusal
// ("Mp4 COULD NOT BE COPIED TO W (why).") when that fails; a failed copy
// leaves no W.
void copyToWorkFile(const FixNames &names);

// What became of a run.
struct Outcome {
    faststart::Result made;
    bool workLeft = false; // W could not be deleted
};

// The faststart step from W to F (an F of an earlier run comes back unless
// a streamable one replaces it), read back as a video with its index first;
// W is deleted whatever happened. Throws RuntimeError as faststart::run does.
Outcome makeStreamable(IToolRunner &runner, const QString &appFolder, const FixNames &names);

} // namespace mp4fix
