#include "encode/encodejob.h"

#include "common/conversions.h"
#include "common/errors.h"
#include "common/files.h"
#include "encode/commandlines.h"
#include "encode/verify.h"
#include "watermark/watermarkfilter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstring>

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

// Why a run failed: the signal that ended it, the tool's last error line
// in upper case, or its exit status. `tool` names it: "ENCODER".
QString failureReason(const mdlDOSPipe::RunResult &run, const QString &tool = QStringLiteral("ENCODER"))
{
    const QString the = QStringLiteral("THE ") + tool;
    if (run.signal) {
        const char *abbreviation = sigabbrev_np(*run.signal);
        const QString name = abbreviation ? QStringLiteral(" (SIG") + QLatin1String(abbreviation) + QLatin1Char(')')
                                          : QString();
        return the + QStringLiteral(" WAS STOPPED BY SIGNAL ") + QString::number(*run.signal) + name
            + QLatin1Char('.');
    }
    QString line = run.report.lastErrorLine().toUpper();
    if (!line.isEmpty()) {
        if (!line.endsWith(QLatin1Char('.')) && !line.endsWith(QLatin1Char('!')) && !line.endsWith(QLatin1Char('?')))
            line += QLatin1Char('.');
        return line;
    }
    if (run.exitCode)
        return the + QStringLiteral(" STOPPED WITH STATUS ") + QString::number(*run.exitCode) + QLatin1Char('.');
    if (!run.started)
        return the + QStringLiteral(" COULD NOT BE STARTED.");
    return the + QStringLiteral(" COULD NOT BE WAITED FOR.");
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

// Renames the MP4 output to its ".temp" name, replacing a ".temp" left by an
// interrupted run. Throws RuntimeError when the rename fails.
void moveToTemp(const QString &mp4Path, const QString &tempPath)
{
    const QFileInfo temp(tempPath);
    if (temp.exists() || temp.isSymLink()) {
        if (temp.isDir() && !temp.isSymLink())
            throw RuntimeError(rt::FileAlreadyExists);
        if (!QFile::remove(tempPath))
            throw RuntimeError(rt::PermissionDenied);
    }
    if (!QFile::exists(mp4Path))
        throw RuntimeError(rt::FileNotFound);
    if (!QFile::rename(mp4Path, tempPath))
        throw RuntimeError(rt::PathFileAccessError);
}

// Whatever the faststart tool left goes and the ".temp" file is put back
// under the output name, so the encoded MP4 is never lost.
void restoreFromTemp(const QString &mp4Path, const QString &tempPath)
{
    if ((QFileInfo::exists(mp4Path) || QFileInfo(mp4Path).isSymLink()) && !QFile::remove(mp4Path))
        throw RuntimeError(rt::PermissionDenied);
    if (!QFile::rename(tempPath, mp4Path))
        throw RuntimeError(rt::PathFileAccessError);
}

QString twoDigits(const QString &text)
{
    return QStringLiteral("%1").arg(int(conv::CInt(text)), 2, 10, QLatin1Char('0'));
}

// The place of one output while its run goes on: a link there is removed
// (a tool would write wherever it leads), and an older file, when asked, is
// set aside until the new one is made. Unless kept or discarded, the older
// file comes back when this ends.
class Place
{
public:
    Place(const QString &path, bool setAside) : m_path(path), m_aside(files::setAsidePath(path))
    {
        if (!files::removeLink(path))
            throw RuntimeError(rt::PermissionDenied);
        if (!setAside || !QFileInfo(path).isFile())
            return;
        if ((QFileInfo::exists(m_aside) || QFileInfo(m_aside).isSymLink()) && !QFile::remove(m_aside))
            throw RuntimeError(rt::PermissionDenied);
        if (!QFile::rename(path, m_aside))
            throw RuntimeError(rt::PathFileAccessError);
        m_held = true;
    }
    ~Place() { restore(); }
    Place(const Place &) = delete;
    Place &operator=(const Place &) = delete;

    bool holdsOlder() const { return m_held; }
    // The new output is kept: the older file goes.
    void discard()
    {
        if (m_held)
            QFile::remove(m_aside);
        m_held = false;
    }
    // The older file comes back in place of whatever the run left.
    void restore()
    {
        if (!m_held)
            return;
        m_held = false;
        if (QFileInfo::exists(m_path) || QFileInfo(m_path).isSymLink())
            QFile::remove(m_path);
        QFile::rename(m_aside, m_path);
    }

private:
    QString m_path;
    QString m_aside;
    bool m_held = false;
};

// One encoder run as judged.
struct Judged {
    std::optional<Outcome> outcome; // nothing when the request ends here
    QString reason;                 // the notice for anything but made
    std::optional<double> encoded;  // what the encoder said it encoded
    bool audio = false;             // the source has sound
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
        Place place(output, true);
        const files::FileSnapshot before = files::FileSnapshot::of(output);
        const qint16 kind = format == Format::Flv ? ToolRun::Flv : format == Format::Mp4 ? ToolRun::Mp4 : ToolRun::Webm;
        const mdlDOSPipe::RunResult run = m_runner.run(ToolRun{command, kind, r.source, output, formatName(format)});
        Judged judged{judge(run, output, before), QString(), run.report.position(), run.report.inputHasAudio()};
        if (judged.outcome == Outcome::Made && run.succeeded()) {
            verify::Expectation expect;
            expect.audio = judged.audio;
            expect.encoded = judged.encoded;
            expect.stated = run.report.duration();
            if (const auto checked = check(output, expect)) {
                if (checked->cancelled)
                    judged.outcome = Outcome::Cancelled;
                else if (checked->verdict == verify::Verdict::Incomplete)
                    judged.outcome = Outcome::Failed;
                else if (checked->verdict == verify::Verdict::ShortSource)
                    judged.outcome = Outcome::BadSource;
                judged.reason = QStringLiteral("ENCODING FAILED! ") + checked->reason;
            }
        }
        switch (*judged.outcome) {
        case Outcome::Cancelled:
            // What the run wrote goes; an older file comes back.
            if (files::isNewFile(output, before))
                QFile::remove(output);
            place.restore();
            report(format, output, Status::Cancelled, QStringLiteral("ENCODING CANCELLED!"));
            endRest(Status::Cancelled, QStringLiteral("ENCODING CANCELLED!"));
            return {};
        case Outcome::NoOutput:
            place.restore();
            report(format, output, Status::Failed, QStringLiteral("UNSUPPORTED FILE!"));
            endRest(Status::Failed, QStringLiteral("UNSUPPORTED FILE!"));
            return {};
        case Outcome::Failed:
            // A broken file nobody can use, and on a full disk it holds the
            // space.
            QFile::remove(output);
            place.restore();
            if (judged.reason.isEmpty())
                judged.reason = QStringLiteral("ENCODING FAILED! ") + failureReason(run);
            break;
        case Outcome::BadSource:
            // What the source gave is kept, unless it would take an older
            // file's place.
            if (judged.reason.isEmpty())
                judged.reason = QStringLiteral("ENCODING FAILED! BAD SOURCE FILE.");
            place.restore();
            break;
        case Outcome::Made:
            judged.reason.clear();
            place.discard();
            break;
        }
        if (format != Format::Mp4 || judged.outcome == Outcome::Failed)
            settle(format, output, judged);
        return judged;
    }

    // The faststart step of an MP4 the encoder wrote, then its report.
    bool makeStreamable(const QString &mp4, const QString &temp, const QString &command, Judged judged)
    {
        moveToTemp(mp4, temp);
        const mdlDOSPipe::RunResult run =
            m_runner.run(ToolRun{command, ToolRun::Tool, r.source, mp4, QStringLiteral("faststart")});
        if (run.cancelled) {
            restoreFromTemp(mp4, temp);
            report(Format::Mp4, mp4, Status::Cancelled, QStringLiteral("ENCODING CANCELLED!"), false);
            endRest(Status::Cancelled, QStringLiteral("ENCODING CANCELLED!"));
            return false;
        }
        QString notStreamable;
        if (!run.succeeded() || !QFileInfo(mp4).isFile()) {
            notStreamable = failureReason(run, QStringLiteral("FASTSTART TOOL"));
        } else if (judged.outcome == Outcome::Made) {
            verify::Expectation expect;
            expect.audio = judged.audio;
            expect.encoded = judged.encoded;
            expect.moovFirst = true;
            if (const auto checked = check(mp4, expect)) {
                if (checked->cancelled) {
                    restoreFromTemp(mp4, temp);
                    report(Format::Mp4, mp4, Status::Cancelled, QStringLiteral("ENCODING CANCELLED!"), false);
                    endRest(Status::Cancelled, QStringLiteral("ENCODING CANCELLED!"));
                    return false;
                }
                if (checked->verdict != verify::Verdict::Complete)
                    notStreamable = checked->reason;
            }
        }
        if (notStreamable.isEmpty()) {
            if (!QFile::remove(temp))
                throw RuntimeError(rt::PermissionDenied);
        } else {
            restoreFromTemp(mp4, temp);
            // The tool declines an MP4 whose index stands first already.
            if (judged.outcome == Outcome::Made && !verify::moovBeforeMdat(mp4))
                judged = Judged{Outcome::Failed, QStringLiteral("MP4 NOT MADE STREAMABLE! ") + notStreamable, {}, false};
        }
        settle(Format::Mp4, mp4, judged);
        return true;
    }

    void grabStill(const QString &command, const QString &image, const QSize &size)
    {
        Place place(image, r.overwrite == Overwrite::Always);
        const files::FileSnapshot before = files::FileSnapshot::of(image);
        const mdlDOSPipe::RunResult run =
            m_runner.run(ToolRun{command, ToolRun::Tool, r.source, image, formatName(Format::Still)});
        const bool written = files::isNewFile(image, before);
        QString reason;
        bool cancelled = run.cancelled;
        if (!cancelled && written && run.statusKnown() && !run.succeeded()) {
            reason = failureReason(run);
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
                                     : failureReason(run);
        }
        if (!cancelled && reason.isEmpty()) {
            place.discard();
            m_result.made.stillImage = image;
            report(Format::Still, image, Status::Made, QString());
            return;
        }
        if (written)
            QFile::remove(image);
        place.restore();
        if (cancelled)
            report(Format::Still, image, Status::Cancelled, QStringLiteral("ENCODING CANCELLED!"), false);
        else
            report(Format::Still, image, Status::Failed, QStringLiteral("STILL IMAGE NOT GRABBED! ") + reason);
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

    // Every planned output not reported yet gets this status, without a
    // notice of its own.
    void endRest(Status status, const QString &reason)
    {
        for (const PlannedOutput &p : std::as_const(m_plan))
            if (!m_reportedPaths.contains(p.path))
                report(p.format, p.path, status, reason, false);
    }

private:
    std::optional<verify::Result> check(const QString &path, const verify::Expectation &expect)
    {
        if (!m_verify)
            return std::nullopt;
        const QString scratch = r.workingFolder.isEmpty() ? QDir::tempPath() : r.workingFolder;
        return verify::verifyOutput(m_runner, r.appFolder, scratch, r.source, path, expect);
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

// A still image's size as the command asks for it: the window size when
// the video is resized, else unknown (the source's own).
QSize requestedSize(const Request &r)
{
    if (r.originalWindowSize)
        return QSize();
    const QStringList wh = r.windowSize.section(QLatin1Char(' '), 0, 0).split(QLatin1Char('x'));
    return wh.size() == 2 ? QSize(wh.at(0).toInt(), wh.at(1).toInt()) : QSize();
}

} // namespace

QString formatName(Format format)
{
    switch (format) {
    case Format::Flv: return QStringLiteral("flv");
    case Format::Mp4: return QStringLiteral("mp4");
    case Format::Webm: return QStringLiteral("webm");
    case Format::Still: break;
    }
    return QStringLiteral("still");
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
    if (r.stillImage == 1)
        plan.append({Format::Still, commandlines::stillImagePath(r)});
    return plan;
}

bool JobResult::allMade() const
{
    return std::all_of(outputs.cbegin(), outputs.cend(), [](const OutputReport &o) { return o.status == Status::Made; });
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
                watermark::restorePictureCopy(r.tools(), r.pictureName, r.picturePath, watermark::programName());
            } catch (const Refusal &refusal) {
                return refused(refusal, Subject::WatermarkPicture);
            }
        }
        const commandlines::OptionPieces pieces = commandlines::optionPieces(r);
        if (r.flv == 1 && !job.encode(Format::Flv, commandlines::flvCommand(r, pieces), commandlines::flvOutputPath(r)).outcome)
            return result;
        if (r.mp4 == 1) {
            const QString mp4 = commandlines::mp4OutputPath(r);
            const Judged judged = job.encode(Format::Mp4, commandlines::mp4Command(r, pieces), mp4);
            if (!judged.outcome)
                return result;
            // A failed encode left nothing to rewrite.
            if (*judged.outcome != Outcome::Failed
                && !job.makeStreamable(mp4, commandlines::mp4TempPath(r), commandlines::faststartCommand(r), judged))
                return result;
        }
        if (r.webm == 1
            && !job.encode(Format::Webm, commandlines::webmCommand(r, pieces), commandlines::webmOutputPath(r)).outcome)
            return result;
        if (r.stillImage == 1)
            job.grabStill(commandlines::stillImageCommand(r, pieces), commandlines::stillImagePath(r), requestedSize(r));
        if (r.imageWatermark) {
            const QString copy = watermark::pictureCopyToDelete(r.tools(), r.pictureName, watermark::programName());
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
