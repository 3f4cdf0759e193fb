#pragma once
// The rules of an encode request that need no window: the checks before
// anything runs, the judgement of each output, and the faststart step's
// temporary file.
#include "process/mdlDOSPipe.h"

#include <QString>
#include <functional>
#include <optional>

namespace encode {

// What the checks read from the main window.
struct RequestState {
    QString source;       // lblInput
    QString outDir;       // lblOutDir, ending in "/"
    int flv = 0;          // chkFLV value (0, 1, 2)
    int mp4 = 0;          // chkMp4
    int webm = 0;         // chkWebm
    QString flvName;      // txtOutFileFLV
    QString mp4Name;      // txtOutFileMp4
    QString webmName;     // txtOutFileWebm
    int stillImage = 0;   // chkGrabStillImage
    QString minute;       // txtFrameMinute
    QString second;       // txtFrameSecond
};

enum class Style { Error, Notice };
enum class Reaction { OpenSource, OpenOutputFolder, Focus, FocusSelectAll };
enum class Target { None, chkFLV, txtOutFileFLV, txtOutFileMp4, txtOutFileWebm, txtFrameMinute, txtFrameSecond };

struct Failure {
    QString message;
    Style style = Style::Error;
    Reaction reaction = Reaction::Focus;
    Target target = Target::None;
};

// Runs the checks in their order and returns the first that fails, or
// nothing when the request may go on. overwrite(question) asks the user and
// returns true for Yes; it is called once per existing output, FLV first.
// An output that is the source file itself (or whose MP4 ".temp" file would
// be) is refused before its question.
// A minute or second text that is not a number throws RuntimeError 13, a
// number beyond 16 bits 6; with no still image the texts are not read.
std::optional<Failure> validate(const RequestState &state,
                                const std::function<bool(const QString &question)> &overwrite);

// True when two paths name the same file: the same device and inode, or
// the same canonical path.
bool isSameFile(const QString &a, const QString &b);

// What stood at a path before a run, to tell a new output from an old file
// that the run left alone.
struct FileSnapshot {
    bool exists = false;
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 mtimeNs = 0;
    qint64 ctimeNs = 0;
    static FileSnapshot of(const QString &path);
    bool operator==(const FileSnapshot &other) const = default;
};

enum class Outcome {
    Cancelled, // the user cancelled the run
    NoOutput,  // nothing new at the output path
    Failed,    // the encoder failed: the output is unusable
    BadSource, // the encoder ended well but encoded no video
    Made,
};

// A size in bytes rounded to whole MiB, halves to even, is 0: at most
// 524,288 bytes.
bool isTooSmall(qint64 bytes);

// Why a run failed, in the program's words: the tool's last error line in
// upper case ("ERROR CLOSING FILE X.FLV: NO SPACE LEFT ON DEVICE."), the
// signal that ended it ("THE ENCODER WAS STOPPED BY SIGNAL 9 (SIGKILL)."),
// or "THE ENCODER STOPPED WITH STATUS n." when it said nothing of use.
QString failureReason(const mdlDOSPipe::RunResult &run);

// The outcome of an encoder run, in this order: cancelled; no file at the
// output path, or the file exactly as it stood before the run; the encoder
// ended with a non-zero status or by a signal (Failed, whatever the size);
// status 0 with video encoded (Made, whatever the size); status 0 without
// (BadSource); status unknown: the size rule (BadSource at 512 KiB or less).
Outcome judgeRun(bool cancelled, const mdlDOSPipe::RunResult &run, const QString &path, const FileSnapshot &before);

// The notice for an outcome that is a failure; empty for Made and
// Cancelled.
QString failureNotice(Outcome outcome, const mdlDOSPipe::RunResult &run);

// The notice when the still-image run left no new picture: "STILL IMAGE NOT
// GRABBED! " and the reason; a run that ended well but encoded nothing asked
// for a time beyond the video's end ("THE VIDEO IS SHORTER THAN 00:30.").
QString stillImageNotice(const mdlDOSPipe::RunResult &run, const QString &minute, const QString &second);

// Renames the MP4 output to its ".temp" name, replacing a ".temp" left by an
// interrupted run. Throws RuntimeError when the rename fails.
void moveToTemp(const QString &mp4Path, const QString &tempPath);

// After the faststart run: when the tool wrote the output and is known to
// have ended with exit status 0, deletes the ".temp" file and returns true. Otherwise removes whatever the
// tool left at the output path, puts the ".temp" file back under the output
// name and returns false, so the encoded MP4 is never lost.
bool settleFaststart(const QString &mp4Path, const QString &tempPath, std::optional<int> toolStatus);

// The watermark picture copy to delete at the end of a request: the plain
// picture file <appFolder>/<name>, or nothing when the name is empty, names
// a folder, a link or one of the program's own files, or reaches outside the
// application folder.
QString pictureCopyToDelete(const QString &appFolder, const QString &imageName, const QString &programName);

// "FILE(S) ENCODED - <folder>\r\nDO YOU WANT TO OPEN THE OUTPUT FOLDER?"
QString finalQuestion(const QString &outDir);

} // namespace encode
