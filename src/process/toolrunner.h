#pragma once
// One run of an external tool, as the encode job and the fixer ask for it,
// and the interface of whatever carries it out: the progress window in the
// program, a console runner in vidlark-encode, a scripted one in tests.
#include "process/mdlDOSPipe.h"

#include <QString>

struct ToolRun {
    enum Kind : qint16 { Tool = 0, Flv = 1, Mp4 = 2, Webm = 3, Hls = 4 };
    QString commandLine;
    qint16 kind = Tool; // an encoder run (1 to 4), or any other tool
    bool isEncoder() const { return kind >= Flv && kind <= Hls; }
    // What is encoded, and the output the run writes.
    QString source;
    QString output;
    // What the run makes, in a word: "flv", "mp4", "webm", "faststart",
    // "still".
    QString label;
};

class IToolRunner
{
public:
    virtual ~IToolRunner() = default;
    // Runs the command and returns how it ended; result.cancelled tells that
    // the user (or an interrupt) stopped it. A tool that could not be
    // started (result.startFailure) has been reported to the user.
    virtual mdlDOSPipe::RunResult run(const ToolRun &run) = 0;
};
