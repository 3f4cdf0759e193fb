#pragma once
// Rules of the "Make Mp4 Streamable" tool: the names derived from the chosen
// file and the faststart command.
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

// <application folder>/ma "W" "F", the folder quoted only when it needs it.
QString faststartCommand(const QString &appFolder, const FixNames &names);

// Makes F safe for the tool to write: a symbolic link in its place (to S or
// any other file) or another name of S itself (a hard link) is removed, since
// the tool would write through it and destroy what it leads to. A plain F
// left from an earlier run stays. Throws a Refusal ("Mp4 COULD NOT BE
// WRITTEN TO F (why).") when F cannot be removed; the tool must not run then.
void removeUnsafeFixedFile(const FixNames &names);

// Copies S to W, replacing a W left from an earlier run. Throws a Refusal
// ("Mp4 COULD NOT BE COPIED TO W (why).") when that fails; a failed copy
// leaves no W.
void copyToWorkFile(const FixNames &names);

} // namespace mp4fix
