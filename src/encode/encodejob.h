#pragma once
// The whole encode request, from the checks to the final question, without
// a window: the FLV, MP4 (made streamable by the faststart tool), WebM and
// still-image runs in that order, each judged by what the encoder did, and
// the picture copy of an image watermark put back before and removed after.
// It talks to the user only through IPrompts and runs tools only through an
// IToolRunner, so the main window and vidlark-encode share it.
#include "common/errors.h"
#include "encode/encoderequest.h"
#include "encode/videotag.h"
#include "process/toolrunner.h"

#include <QList>
#include <functional>

namespace encode {

enum class Format { Flv, Mp4, Webm, Hls, Still, Captions };
enum class Status { Made, Failed, Refused, Cancelled };

// "flv", "mp4", "webm", "hls", "still", "captions".
QString formatName(Format format);
// "made", "failed", "refused", "cancelled".
QString statusName(Status status);

// One output the request asks for.
struct PlannedOutput {
    Format format = Format::Flv;
    QString path;
};

// The video codec of an output of that format ("h264", "vp8", "vp9",
// "av1"); empty for the still image and the captions.
QString codecName(const Request &request, Format format);

// The outputs of a request, in the order the job makes them. Throws
// RuntimeError as the still image's path does.
QList<PlannedOutput> plannedOutputs(const Request &request);

// What became of one output, as the job tells it.
struct OutputReport {
    Format format = Format::Flv;
    QString path;
    Status status = Status::Made;
    QString reason; // the notice shown for a failure or a cancel
};

struct JobResult {
    // The checks refused the request: its message and what it is about
    // (nothing when the request went on).
    QString refusal;
    std::optional<Subject> refusedSubject;
    // One report for every planned output, in the plan's order.
    QList<OutputReport> outputs;
    // What was made, for the HTML5 video tag.
    videotag::Made made;
    bool allMade() const;
};

using Reporter = std::function<void(const OutputReport &report)>;

// Runs the request. Every message goes to the prompts (refusals in their
// style, verdicts as notices, run-time failures as the general error
// report). Every planned output is reported exactly once, to `reported` as
// it is settled and in JobResult::outputs: made, failed, refused (every one,
// when the checks refuse the request) or cancelled; the outputs a request
// that ended early never reached share the ending's status (cancelled after
// a cancel, failed otherwise).
//
// An output path that is a symbolic link is removed first, never followed.
// A file that stands at a video output's path (the user agreed to replace
// it) is set aside and comes back unless the new one is made; so is an old
// still image when the request says Overwrite::Always.
//
// Where the application folder has engine/ffprobe, a run that ended with
// status 0 is made only when its output reads back to its end (see verify.h):
// an incomplete output fails and is removed; one that covers under 90 % of
// the source's stated duration is a bad source and is kept. The MP4 is
// reported after its faststart step, which must leave the index first; when
// that step fails, the encoded MP4 is put back and reported as not made
// streamable.
//
// The verdict of an encoder run, in this order: cancelled (the partial
// output removed, the request ends); no file at the output path, or the
// file exactly as it stood before ("UNSUPPORTED FILE!", the request ends);
// a non-zero exit status or a signal (failed whatever the size: the tool's
// last error line or its status shown, the file removed, a failed MP4 not
// handed to the faststart tool); status 0 with video encoded (made, whatever
// the size); status 0 without ("ENCODING FAILED! BAD SOURCE FILE.", the file
// kept); status unknown: a file of 512 KiB or less is a bad source. The
// still image that left no new picture says why. The final question comes
// only when something was made, and only when the request asks for it.
JobResult runEncodeJob(const Request &request, IPrompts &prompts, IToolRunner &runner,
                       const Reporter &reported = {});

} // namespace encode
