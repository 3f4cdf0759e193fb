#include "encode/encodejob.h"

#include "common/conversions.h"
#include "common/errors.h"
#include "common/files.h"
#include "encode/commandlines.h"
#include "encode/faststart.h"
#include "encode/hls.h"
#include "encode/verify.h"
#include "watermark/watermarkfilter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

namespace encode {

namespace {

enum class Outcome {
    Cancelled, // the user cancelled the run
    NoOutput,  // nothing new at the output path
    Failed,    // the encoder failed: the output is unusable
    BadSource, // the encoder ended well but encoded no video
    Made,
};

// A size in bytes rounded to whole MiB, halves to even, is 0: at most
// 524,288 bytes.
bool isTooSmall(qint64 bytes)
{
    return conv::roundHalfEven(double(bytes) / 1024.0 / 1024.0) == 0.0;
}

Outcome judge(const mdlDOSPipe::RunResult &run, const QString &path, const files::FileSnapshot &before)
{
    if (run.cancelled)
        return Outcome::Cancelled;
    // An older file the run never touched is not this run's output.
    if (!files::isNewFile(path, before))
        return Outcome::NoOutput;
    if (run.statusKnown() && !run.succeeded())
        return Outcome::Failed;
    if (run.succeeded())
        return run.report.encodedVideo() ? Outcome::Made : Outcome::BadSource;
    return isTooSmall(QFileInfo(path).size()) ? Outcome::BadSource : Outcome::Made;
}

QString encoderFailure(const mdlDOSPipe::RunResult &run)
{
    return mdlDOSPipe::failureReason(run, QStringLiteral("ENCODER"));
}

QString twoDigits(const QString &text)
{
    return QStringLiteral("%1").arg(int(conv::CInt(text)), 2, 10, QLatin1Char('0'));
}

// One encoder run as judged.
struct Judged {
    std::optional<Outcome> outcome = {}; // nothing when the request ends here
    QString reason;                      // the notice for anything but made
    std::optional<double> encoded = {};  // what the encoder said it encoded
    bool audio = false;                  // the source has sound
    std::optional<double> stated = {};   // the source's own duration
    bool readBack = false;               // the output was read back already
};

class Sequence
{
public:
    Sequence(const Request &request, IPrompts &prompts, IToolRunner &runner, JobResult &result,
             const Reporter &reported)
        : r(request), m_prompts(prompts), m_runner(runner), m_result(result), m_reported(reported),
          m_verify(verify::present(request.appFolder))
    {
    }

    void setPlan(const QList<PlannedOutput> &plan) { m_plan = plan; }

    // Runs one encoder and judges what it did. An MP4 the encoder wrote is
    // not reported yet: its faststart step comes first.
    Judged encode(Format format, const QString &command, const QString &output)
    {
        // A link there is removed (the encoder would write wherever it
        // leads); an older file is set aside until the new one is made.
        files::Place place(output);
        if (QFileInfo(output).isFile())
            place.setAside();
        const files::FileSnapshot before = files::FileSnapshot::of(output);
        const qint16 kind = format == Format::Flv ? ToolRun::Flv
            : format == Format::Mp4               ? ToolRun::Mp4
                                                  : ToolRun::Webm;
        const mdlDOSPipe::RunResult run =
            m_runner.run(ToolRun{command, kind, r.source, output, formatName(format)});
        Judged judged{judge(run, output, before), QString(), run.report.position(),
                      run.report.inputHasAudio(), run.report.duration()};
        // An MP4 is read back once, after its faststart step, unless an
        // older file waits to be put back should the new one prove broken.
        if (judged.outcome == Outcome::Made && run.succeeded()
            && (format != Format::Mp4 || place.holdsOlder()))
            readBack(judged, output);
        switch (*judged.outcome) {
        case Outcome::Cancelled:
            // What the run wrote goes; an older file comes back.
            if (files::isNewFile(output, before))
                QFile::remove(output);
            place.putBack();
            cancelRequest(format, output, true);
            return {};
        case Outcome::NoOutput:
            place.putBack();
            report(format, output, Status::Failed, QStringLiteral("UNSUPPORTED FILE!"));
            endRest(Status::Failed, QStringLiteral("UNSUPPORTED FILE!"));
            return {};
        case Outcome::Failed:
            // A broken file nobody can use, and on a full disk it holds the
            // space.
            QFile::remove(output);
            place.putBack();
            if (judged.reason.isEmpty())
                judged.reason = QStringLiteral("ENCODING FAILED! ") + encoderFailure(run);
            break;
        case Outcome::BadSource:
            // What the source gave is kept, unless it would take an older
            // file's place.
            if (judged.reason.isEmpty())
                judged.reason = QStringLiteral("ENCODING FAILED! BAD SOURCE FILE.");
            place.putBack();
            break;
        case Outcome::Made:
            judged.reason.clear();
            place.keepNew();
            break;
        }
        if (format != Format::Mp4 || judged.outcome == Outcome::Failed)
            settle(format, output, judged);
        return judged;
    }

    // The faststart step of an MP4 the encoder wrote, then its report.
    bool makeStreamable(const QString &mp4, const QString &temp, Judged judged)
    {
        faststart::Step step;
        step.appFolder = r.appFolder;
        step.source = r.source;
        step.input = temp;
        step.output = mp4;
        step.inPlace = true;
        step.scratchFolder = scratchFolder();
        // A made MP4 is read back after the tool; one the encoder left as a
        // bad source only goes through the tool.
        if (judged.outcome == Outcome::Made && m_verify) {
            step.readBack = expectation(judged);
            if (!judged.readBack)
                step.readBack->stated = judged.stated;
        }
        const faststart::Result made = faststart::run(m_runner, step);
        const bool shortSource = made.readBack && made.readBack->verdict == verify::Verdict::ShortSource;
        if (made.verdict == faststart::Verdict::Streamable && shortSource && judged.outcome == Outcome::Made)
            judged = Judged{.outcome = Outcome::BadSource,
                            .reason = QStringLiteral("ENCODING FAILED! ") + made.readBack->reason};
        // Not rewritten: the MP4 as the encoder made it is back, and is read
        // back now if it was not before.
        if (made.verdict != faststart::Verdict::Streamable && made.verdict != faststart::Verdict::Cancelled
            && judged.outcome == Outcome::Made && !judged.readBack && m_verify) {
            readBack(judged, mp4);
            if (judged.outcome == Outcome::Failed || judged.outcome == Outcome::Cancelled)
                QFile::remove(mp4);
        }
        if (made.verdict == faststart::Verdict::Cancelled || judged.outcome == Outcome::Cancelled) {
            cancelRequest(Format::Mp4, mp4, false);
            return false;
        }
        if (made.verdict == faststart::Verdict::NotStreamable && judged.outcome == Outcome::Made)
            judged = Judged{.outcome = Outcome::Failed,
                            .reason = QStringLiteral("MP4 NOT MADE STREAMABLE! ") + made.reason};
        settle(Format::Mp4, mp4, judged);
        return true;
    }

    // The stream's folder: one encoder run makes every rendition, then each
    // playlist and the segments it names are read back and the master
    // playlist is written from what they hold. A stream not made leaves no
    // folder behind (an older one comes back). False when the run was
    // cancelled (the request ends).
    bool encodeHls(const QString &command, const QList<hls::Rendition> &ladder)
    {
        const QString folder = hls::folderPath(r);
        const QString master = folder + QLatin1Char('/') + QLatin1String(hls::masterName);
        files::Place place(folder);
        if (QFileInfo::exists(folder))
            place.setAside();
        QDir().mkpath(folder);
        const mdlDOSPipe::RunResult run =
            m_runner.run(ToolRun{command, ToolRun::Hls, r.source, master, formatName(Format::Hls)});
        bool cancelled = run.cancelled;
        QString reason;
        if (!cancelled && !run.succeeded())
            reason = QStringLiteral("ENCODING FAILED! ") + encoderFailure(run);
        else if (!cancelled && !run.report.encodedVideo())
            reason = QStringLiteral("ENCODING FAILED! BAD SOURCE FILE.");
        else if (!cancelled)
            reason = checkStream(folder, ladder, run.report, cancelled);
        if (!cancelled && reason.isEmpty()) {
            place.keepNew();
            m_result.made.hls = folder;
            m_lastOutput = folder;
            report(Format::Hls, folder, Status::Made, QString());
            return true;
        }
        QDir(folder).removeRecursively();
        place.putBack();
        if (cancelled) {
            cancelRequest(Format::Hls, folder, true);
            return false;
        }
        report(Format::Hls, folder, Status::Failed, reason);
        return true;
    }

    // Reads the source's picture size and sound, as the encoder sees them;
    // nothing when the read was cancelled (the request ends).
    std::optional<commandlines::SourceFacts> readSource()
    {
        const mdlDOSPipe::RunResult run = m_runner.run(ToolRun{
            commandlines::readSourceCommand(r), ToolRun::Tool, r.source, r.source, QStringLiteral("probe")});
        if (run.cancelled) {
            m_prompts.notice(QStringLiteral("ENCODING CANCELLED!"));
            endRest(Status::Cancelled, QStringLiteral("ENCODING CANCELLED!"));
            return std::nullopt;
        }
        return commandlines::SourceFacts{run.report.inputVideoSize(), run.report.inputHasAudio(),
                                         run.report.inputFrameRate()};
    }

    // The caption file as WebVTT beside the videos; it fails alone.
    void convertCaptions(const QString &command, const QString &vtt)
    {
        files::Place place(vtt);
        if (QFileInfo(vtt).isFile())
            place.setAside();
        const files::FileSnapshot before = files::FileSnapshot::of(vtt);
        const mdlDOSPipe::RunResult run =
            m_runner.run(ToolRun{command, ToolRun::Tool, r.captions, vtt, formatName(Format::Captions)});
        const bool written = files::isNewFile(vtt, before);
        bool cancelled = run.cancelled;
        QString reason;
        if (!cancelled && !(written && run.succeeded())) {
            reason = encoderFailure(run);
        } else if (!cancelled) {
            verify::Expectation expect;
            expect.kind = verify::Expectation::Kind::Captions;
            if (const auto checked = check(vtt, expect)) {
                cancelled = checked->cancelled;
                reason = checked->reason;
            }
        }
        if (!cancelled && reason.isEmpty()) {
            m_result.made.captions = vtt;
            m_result.made.captionsLanguage = r.captionsLanguage;
        }
        settleFile(Format::Captions, vtt, place, written, cancelled,
                   reason.isEmpty() ? QString() : QStringLiteral("CAPTIONS NOT CONVERTED! ") + reason);
    }

    // False when the run was cancelled (the request ends).
    bool grabStill(const QString &command, const QString &image, const QSize &size)
    {
        files::Place place(image);
        if (r.overwrite == Overwrite::Always && QFileInfo(image).isFile())
            place.setAside();
        const files::FileSnapshot before = files::FileSnapshot::of(image);
        const mdlDOSPipe::RunResult run =
            m_runner.run(ToolRun{command, ToolRun::Tool, r.source, image, formatName(Format::Still)});
        const bool written = files::isNewFile(image, before);
        QString reason;
        bool cancelled = run.cancelled;
        if (!cancelled && written && run.statusKnown() && !run.succeeded()) {
            reason = encoderFailure(run);
        } else if (!cancelled && written && run.succeeded()) {
            verify::Expectation expect;
            expect.kind = verify::Expectation::Kind::Still;
            expect.pictureSize = size.isValid() ? size : run.report.inputVideoSize();
            if (const auto checked = check(image, expect)) {
                cancelled = checked->cancelled;
                if (checked->verdict != verify::Verdict::Complete)
                    reason = checked->reason;
            }
        } else if (!cancelled && !written) {
            // Ended well but wrote nothing: the time lies past the end.
            reason = run.succeeded() ? QStringLiteral("THE VIDEO IS SHORTER THAN ") + twoDigits(r.minute)
                    + QLatin1Char(':') + twoDigits(r.second) + QLatin1Char('.')
                                     : encoderFailure(run);
        }
        if (!cancelled && reason.isEmpty())
            m_result.made.stillImage = image;
        return settleFile(Format::Still, image, place, written, cancelled,
                          reason.isEmpty() ? QString()
                                           : QStringLiteral("STILL IMAGE NOT GRABBED! ") + reason);
    }

    // The final question shows the last video made, else the still image.
    void finish()
    {
        if (m_lastOutput.isEmpty() && m_result.made.stillImage.isEmpty())
            return;
        if (!r.askToOpenFolder || m_prompts.question(finalQuestion(r.outDir)) != vbYes)
            return;
        m_prompts.showInFileManager(m_lastOutput.isEmpty() ? m_result.made.stillImage : m_lastOutput);
    }

    // The run of this output was cancelled: it and every output after it
    // are reported so.
    void cancelRequest(Format format, const QString &path, bool notify)
    {
        report(format, path, Status::Cancelled, QStringLiteral("ENCODING CANCELLED!"), notify);
        endRest(Status::Cancelled, QStringLiteral("ENCODING CANCELLED!"));
    }

    // Every planned output not reported yet gets this status, without a
    // notice of its own.
    void endRest(Status status, const QString &reason)
    {
        for (const PlannedOutput &p : std::as_const(m_plan))
            if (!m_reportedPaths.contains(p.path))
                report(p.format, p.path, status, reason, false);
    }

private:
    // The end of a tool run that writes one small file: made without a
    // failure (an older file goes), else what it wrote goes and an older
    // file comes back. False when the run was cancelled (the request ends).
    bool settleFile(Format format, const QString &path, files::Place &place, bool written, bool cancelled,
                    const QString &failure)
    {
        if (!cancelled && failure.isEmpty()) {
            place.keepNew();
            report(format, path, Status::Made, QString());
            return true;
        }
        if (written)
            QFile::remove(path);
        place.putBack();
        if (cancelled) {
            cancelRequest(format, path, false);
            return false;
        }
        report(format, path, Status::Failed, failure);
        return true;
    }

    // Why the stream in `folder` is not whole; empty when it is, and then
    // its master playlist names what each rendition holds.
    QString checkStream(const QString &folder, const QList<hls::Rendition> &ladder,
                        const ProgressParser &encoded, bool &cancelled)
    {
        QList<hls::Variant> variants;
        for (const hls::Rendition &rendition : ladder) {
            const QString playlist = rendition.name + QStringLiteral(".m3u8");
            QFile file(folder + QLatin1Char('/') + playlist);
            const hls::MediaPlaylist list = hls::readMediaPlaylist(
                file.open(QIODevice::ReadOnly) ? file.read(1024 * 1024) : QByteArray());
            const QString failed =
                QStringLiteral("ENCODING FAILED! THE PLAYLIST ") + playlist + QLatin1Char(' ');
            if (!list.error.isEmpty())
                return failed + list.error;
            QList<qint64> bytes;
            for (const QString &name : QStringList{list.init} + list.segments) {
                const QFileInfo segment(folder + QLatin1Char('/') + name);
                if (name.contains(QLatin1Char('/')) || !segment.isFile() || segment.size() == 0)
                    return failed + QStringLiteral("NAMES ") + name + QStringLiteral(", WHICH IS MISSING.");
                bytes << segment.size();
            }
            bytes.removeFirst();
            hls::Variant variant;
            variant.playlist = playlist;
            std::tie(variant.bandwidth, variant.averageBandwidth) = hls::bandwidths(bytes, list.durations);
            variant.size = rendition.size;
            verify::Expectation expect;
            expect.audio = rendition.audioKbps > 0;
            expect.encoded = encoded.position();
            expect.describe = true;
            if (const auto checked = check(file.fileName(), expect)) {
                if ((cancelled = checked->cancelled))
                    return QString();
                if (checked->verdict != verify::Verdict::Complete)
                    return failed + QStringLiteral("READS BACK WRONG: ") + checked->reason;
                const videotag::Streams described = videotag::describeStreams(checked->streams);
                variant.codecs = described.codecs.join(QLatin1Char(','));
                if (described.size.isValid())
                    variant.size = described.size;
                variant.frameRate = described.frameRate;
            }
            variants << variant;
        }
        // Without ffprobe the encoder's own master playlist stays.
        if (!m_verify)
            return QString();
        QSaveFile master(folder + QLatin1Char('/') + QLatin1String(hls::masterName));
        if (!master.open(QIODevice::WriteOnly) || master.write(hls::masterPlaylist(variants)) < 0
            || !master.commit())
            return QStringLiteral("ENCODING FAILED! THE MASTER PLAYLIST COULD NOT BE WRITTEN.");
        return QString();
    }

    QString scratchFolder() const { return r.workingFolder.isEmpty() ? QDir::tempPath() : r.workingFolder; }

    static verify::Expectation expectation(const Judged &judged)
    {
        verify::Expectation expect;
        expect.audio = judged.audio;
        expect.encoded = judged.encoded;
        return expect;
    }

    // A video the encoder made is read back; it may still prove incomplete
    // or a bad source.
    void readBack(Judged &judged, const QString &output)
    {
        judged.readBack = true;
        verify::Expectation expect = expectation(judged);
        expect.stated = judged.stated;
        const auto checked = check(output, expect);
        if (!checked)
            return;
        if (checked->cancelled) {
            judged.outcome = Outcome::Cancelled;
            return;
        }
        if (checked->verdict == verify::Verdict::Complete)
            return;
        judged.outcome =
            checked->verdict == verify::Verdict::Incomplete ? Outcome::Failed : Outcome::BadSource;
        judged.reason = QStringLiteral("ENCODING FAILED! ") + checked->reason;
    }

    std::optional<verify::Result> check(const QString &path, const verify::Expectation &expect)
    {
        if (!m_verify)
            return std::nullopt;
        return verify::verifyOutput(m_runner, r.appFolder, scratchFolder(), r.source, path, expect);
    }

    void settle(Format format, const QString &output, const Judged &judged)
    {
        if (judged.outcome != Outcome::Made) {
            report(format, output, Status::Failed, judged.reason);
            return;
        }
        m_lastOutput = output;
        if (format == Format::Mp4)
            m_result.made.mp4 = output;
        else if (format == Format::Webm)
            m_result.made.webm = output;
        report(format, output, Status::Made, QString());
    }

    void report(Format format, const QString &path, Status status, const QString &reason, bool notify = true)
    {
        const OutputReport report{format, path, status, reason};
        m_reportedPaths << path;
        m_result.outputs.append(report);
        if (notify && !reason.isEmpty())
            m_prompts.notice(reason);
        if (m_reported)
            m_reported(report);
    }

    const Request &r;
    IPrompts &m_prompts;
    IToolRunner &m_runner;
    JobResult &m_result;
    const Reporter &m_reported;
    const bool m_verify;
    QList<PlannedOutput> m_plan;
    QStringList m_reportedPaths;
    QString m_lastOutput;
};

} // namespace

QString formatName(Format format)
{
    switch (format) {
    case Format::Flv: return QStringLiteral("flv");
    case Format::Mp4: return QStringLiteral("mp4");
    case Format::Webm: return QStringLiteral("webm");
    case Format::Hls: return QStringLiteral("hls");
    case Format::Captions: return QStringLiteral("captions");
    case Format::Still: break;
    }
    return QStringLiteral("still");
}

QString codecName(const Request &r, Format format)
{
    switch (format) {
    case Format::Flv:
    case Format::Mp4:
    case Format::Hls: return QStringLiteral("h264");
    case Format::Webm: break;
    case Format::Still:
    case Format::Captions: return QString();
    }
    switch (r.webmCodec) {
    case WebmCodec::Vp9: return QStringLiteral("vp9");
    case WebmCodec::Av1: return QStringLiteral("av1");
    case WebmCodec::Vp8: break;
    }
    return QStringLiteral("vp8");
}

QString statusName(Status status)
{
    switch (status) {
    case Status::Made: return QStringLiteral("made");
    case Status::Refused: return QStringLiteral("refused");
    case Status::Cancelled: return QStringLiteral("cancelled");
    case Status::Failed: break;
    }
    return QStringLiteral("failed");
}

QList<PlannedOutput> plannedOutputs(const Request &r)
{
    QList<PlannedOutput> plan;
    if (r.flv == 1)
        plan.append({Format::Flv, commandlines::flvOutputPath(r)});
    if (r.mp4 == 1)
        plan.append({Format::Mp4, commandlines::mp4OutputPath(r)});
    if (r.webm == 1)
        plan.append({Format::Webm, commandlines::webmOutputPath(r)});
    if (r.hls == 1)
        plan.append({Format::Hls, hls::folderPath(r)});
    if (r.stillImage == 1)
        plan.append({Format::Still, commandlines::stillImagePath(r)});
    if (!r.captions.isEmpty())
        plan.append({Format::Captions, commandlines::captionsOutputPath(r)});
    return plan;
}

bool JobResult::allMade() const
{
    return std::all_of(outputs.cbegin(), outputs.cend(),
                       [](const OutputReport &o) { return o.status == Status::Made; });
}

JobResult runEncodeJob(const Request &r, IPrompts &prompts, IToolRunner &runner, const Reporter &reported)
{
    JobResult result;
    result.made.outDir = r.outDir;
    Sequence job(r, prompts, runner, result, reported);
    try {
        job.setPlan(plannedOutputs(r));
        const auto refused = [&](const Refusal &refusal, Subject subject) {
            showRefusal(prompts, refusal);
            result.refusal = refusal.message();
            result.refusedSubject = subject;
            job.endRest(Status::Refused, refusal.message());
            return result;
        };
        try {
            validate(r, prompts);
        } catch (const Refusal &refusal) {
            return refused(refusal, refusal.subject());
        }
        // The picture copy the filter draws from is removed at the end of
        // every request; a later request puts it back first.
        if (r.watermarking() && r.imageWatermark) {
            try {
                watermark::restorePictureCopy(r.tools(), r.pictureName, r.picturePath,
                                              watermark::programName());
            } catch (const Refusal &refusal) {
                return refused(refusal, Subject::WatermarkPicture);
            }
        }
        const commandlines::OptionPieces pieces = commandlines::optionPieces(r);
        if (r.flv == 1
            && !job.encode(Format::Flv, commandlines::flvCommand(r, pieces), commandlines::flvOutputPath(r))
                    .outcome)
            return result;
        if (r.mp4 == 1) {
            const QString mp4 = commandlines::mp4OutputPath(r);
            const Judged judged = job.encode(Format::Mp4, commandlines::mp4Command(r, pieces), mp4);
            if (!judged.outcome)
                return result;
            // A failed encode left nothing to rewrite.
            if (*judged.outcome != Outcome::Failed
                && !job.makeStreamable(mp4, commandlines::mp4TempPath(r), judged))
                return result;
        }
        // VP9 needs the width it encodes, the stream's ladder the size,
        // sound and frame rate; they are read once, before the WebM's run.
        commandlines::SourceFacts source;
        if ((r.webm == 1 && r.webmCodec == WebmCodec::Vp9 && r.originalWindowSize) || r.hls == 1) {
            const std::optional<commandlines::SourceFacts> read = job.readSource();
            if (!read)
                return result;
            source = *read;
        }
        if (r.webm == 1
            && !job.encode(Format::Webm, commandlines::webmCommand(r, pieces, source),
                           commandlines::webmOutputPath(r))
                    .outcome)
            return result;
        if (r.hls == 1) {
            const QList<hls::Rendition> ladder = hls::ladder(source.size, source.audio, source.frameRate);
            if (!job.encodeHls(hls::command(r, ladder), ladder))
                return result;
        }
        if (r.stillImage == 1
            && !job.grabStill(commandlines::stillImageCommand(r, pieces), commandlines::stillImagePath(r),
                              commandlines::outputSize(r, {})))
            return result;
        if (!r.captions.isEmpty())
            job.convertCaptions(commandlines::captionsCommand(r), commandlines::captionsOutputPath(r));
        if (r.imageWatermark) {
            const QString copy =
                watermark::pictureCopyToDelete(r.tools(), r.pictureName, watermark::programName());
            if (!copy.isEmpty())
                QFile::remove(copy);
        }
        job.finish();
    } catch (const RuntimeError &e) {
        showGeneralError(prompts, e);
        job.endRest(Status::Failed, generalErrorText(e));
    }
    return result;
}

} // namespace encode
