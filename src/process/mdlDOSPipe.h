#pragma once
// The console runner: starts one external console tool from a command text,
// hidden, and hands everything it writes on stdout and stderr to the caller
// while it runs, keeping the event loop turning.
#include "process/progressparser.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

namespace mdlDOSPipe {

// Why a tool was not started: no pipe for its output could be made, or the
// program could not be started (no such program, not executable, no such
// working folder).
enum class StartFailure { None, Pipe, Process };

// Receives each piece of output in the order read: the bytes (1 to 256 of
// them) and their text, decoded as UTF-8 with the state carried from piece to
// piece, so a character cut between two reads arrives whole with the later
// piece (the earlier text can then be empty); and what the tool has reported
// so far, the piece included.
using ChunkSink =
    std::function<void(const QString &text, const QByteArray &bytes, const ProgressParser &report)>;

// How a run ended, as far as the runner could see.
struct RunResult {
    bool started = false;
    // Why the runner could not start it (None when it did, or never tried).
    StartFailure startFailure = StartFailure::None;
    // The tool exited by itself with this code once its output had ended (or
    // within half a second after).
    std::optional<int> exitCode;
    // The tool was ended by this signal.
    std::optional<int> signal;
    // Neither: not started, or still running when the runner gave up waiting.
    bool statusKnown() const { return exitCode.has_value() || signal.has_value(); }
    // The user cancelled the run (set by whoever showed it).
    bool cancelled = false;
    bool succeeded() const { return exitCode == 0; }
    // What the tool said: progress, frames, its last error line.
    ProgressParser report;
};

// Runs the command text: the program first, then its arguments, split by
// cmdline::splitCommandLine (never by a shell). A program without "/" is
// looked up in PATH; a relative path is taken from the current directory.
// The tool runs in workingFolder (unless empty) in a process group of its
// own, with stdin on /dev/null and stdout and stderr sharing one pipe, so
// their texts arrive in the order written; it inherits the environment and
// no other descriptor, and starts with no signal blocked and the common ones
// (SIGPIPE among them) at their defaults, whatever the caller set aside.
// The tool ends with this program: it gets SIGKILL when the thread that
// started it ends, even when the program is killed, so call this from the
// main thread.
// Output is read at most 256 bytes at a time; each piece goes to the sink
// and is followed by one turn of the event loop. While the tool is silent
// the loop still turns at least every 10 ms, so timers and buttons stay
// alive. The call returns when the output has ended (every writer has closed
// the pipe); the tool itself is not waited for beyond a short moment, and a
// tool still running then is reaped later, so it never stays a zombie.
// A tool that cannot be started is told in result.startFailure; the runner
// shows nothing, its caller does (startFailureText).
RunResult ExecuteApp(const QString &commandLine, const QString &workingFolder, const ChunkSink &sink);

// "EXECUTEAPP FAILED AT CREATEPIPE", "EXECUTEAPP FAILED AT CREATEPROCESS";
// empty for None.
QString startFailureText(StartFailure failure);

// Why a run did not end well, in the program's message style, naming the
// tool ("ENCODER", "FASTSTART TOOL"): the signal that ended it, its last
// error line in upper case, its exit status, or that it could not be
// started or waited for.
QString failureReason(const RunResult &run, const QString &tool);

} // namespace mdlDOSPipe
