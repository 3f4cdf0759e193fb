#include "encode/encodejob.h"

#include "common/conversions.h"
#include "common/errors.h"
#include "common/files.h"
#include "encode/commandlines.h"
#include "watermark/watermarkfilter.h"

#include <QFile>
#include <QFileInfo>

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
// in upper case, or its exit status.
QString failureReason(const mdlDOSPipe::RunResult &run)
{
    if (run.signal) {
        const char *abbreviation = sigabbrev_np(*run.signal);
        const QString name = abbreviation ? QStringLiteral(" (SIG") + QLatin1String(abbreviation) + QLatin1Char(')')
                                          : QString();
        return QStringLiteral("THE ENCODER WAS STOPPED BY SIGNAL ") + QString::number(*run.signal) + name
            + QLatin1Char('.');
    }
    QString line = run.report.lastErrorLine().toUpper();
    if (!line.isEmpty()) {
        if (!line.endsWith(QLatin1Char('.')) && !line.endsWith(QLatin1Char('!')) && !line.endsWith(QLatin1Char('?')))
            line += QLatin1Char('.');
        return line;
    }
    if (run.exitCode)
        return QStringLiteral("THE ENCODER STOPPED WITH STATUS ") + QString::number(*run.exitCode)
            + QLatin1Char('.');
    return QStringLiteral("THE ENCODER COULD NOT BE WAITED FOR.");
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

// After the faststart run: only a tool known to have finished well has made
// the output. Otherwise whatever it left goes and the ".temp" file is put
// back under the output name, so the encoded MP4 is never lost.
void settleFaststart(const QString &mp4Path, const QString &tempPath, const mdlDOSPipe::RunResult &run)
{
    if (QFileInfo(mp4Path).isFile() && run.succeeded()) {
        if (!QFile::remove(tempPath))
            throw RuntimeError(rt::PermissionDenied);
        return;
    }
    if (QFileInfo::exists(mp4Path) && !QFile::remove(mp4Path))
        throw RuntimeError(rt::PermissionDenied);
    if (!QFile::rename(tempPath, mp4Path))
        throw RuntimeError(rt::PathFileAccessError);
}

QString twoDigits(const QString &text)
{
    return QStringLiteral("%1").arg(int(conv::CInt(text)), 2, 10, QLatin1Char('0'));
}

class Sequence
{
public:
    Sequence(const Request &request, IPrompts &prompts, IToolRunner &runner, JobResult &result,
             const Reporter &reported)
        : r(request), m_prompts(prompts), m_runner(runner), m_result(result), m_reported(reported)
    {
    }

    // Runs one encoder and judges what it did; nothing when the request
    // ends here.
    std::optional<Outcome> encode(Format format, const QString &command, const QString &output)
    {
        const files::FileSnapshot before = files::FileSnapshot::of(output);
        const qint16 kind = format == Format::Flv ? ToolRun::Flv : format == Format::Mp4 ? ToolRun::Mp4 : ToolRun::Webm;
        const mdlDOSPipe::RunResult run = m_runner.run(ToolRun{command, kind, r.source, output, formatName(format)});
        const Outcome outcome = judge(run, output, before);
        switch (outcome) {
        case Outcome::Cancelled:
            // What the run wrote goes; an older file it never reached stays.
            if (files::isNewFile(output, before))
                QFile::remove(output);
            report(format, output, Status::Cancelled, QStringLiteral("ENCODING CANCELLED!"));
            return std::nullopt;
        case Outcome::NoOutput:
            report(format, output, Status::Failed, QStringLiteral("UNSUPPORTED FILE!"));
            return std::nullopt;
        case Outcome::Failed:
            // A broken file nobody can use, and on a full disk it holds the
            // space.
            QFile::remove(output);
            report(format, output, Status::Failed, QStringLiteral("ENCODING FAILED! ") + failureReason(run));
            return outcome;
        case Outcome::BadSource:
            report(format, output, Status::Failed, QStringLiteral("ENCODING FAILED! BAD SOURCE FILE."));
            return outcome;
        case Outcome::Made:
            m_lastOutput = output;
            if (format == Format::Mp4)
                m_result.made.mp4 = output;
            else if (format == Format::Webm)
                m_result.made.webm = output;
            report(format, output, Status::Made, QString());
            return outcome;
        }
        return outcome;
    }

    void makeStreamable(const QString &mp4, const QString &temp, const QString &command)
    {
        moveToTemp(mp4, temp);
        settleFaststart(mp4, temp, m_runner.run(ToolRun{command, ToolRun::Tool, r.source, mp4, QStringLiteral("faststart")}));
    }

    void grabStill(const QString &command, const QString &image)
    {
        const files::FileSnapshot before = files::FileSnapshot::of(image);
        const mdlDOSPipe::RunResult run = m_runner.run(ToolRun{command, ToolRun::Tool, r.source, image, formatName(Format::Still)});
        if (files::isNewFile(image, before)) {
            m_result.made.stillImage = image;
            report(Format::Still, image, Status::Made, QString());
        } else if (run.cancelled) {
            m_result.outputs.append(OutputReport{Format::Still, image, Status::Cancelled, QString()});
        } else {
            // Ended well but wrote nothing: the time lies past the end.
            const QString reason = run.succeeded() ? QStringLiteral("THE VIDEO IS SHORTER THAN ") + twoDigits(r.minute)
                    + QLatin1Char(':') + twoDigits(r.second) + QLatin1Char('.')
                                                   : failureReason(run);
            report(Format::Still, image, Status::Failed, QStringLiteral("STILL IMAGE NOT GRABBED! ") + reason);
        }
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

private:
    void report(Format format, const QString &path, Status status, const QString &reason)
    {
        const OutputReport report{format, path, status, reason};
        m_result.outputs.append(report);
        if (!reason.isEmpty())
            m_prompts.notice(reason);
        if (m_reported)
            m_reported(report);
    }

    const Request &r;
    IPrompts &m_prompts;
    IToolRunner &m_runner;
    JobResult &m_result;
    const Reporter &m_reported;
    QString m_lastOutput;
};

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

JobResult runEncodeJob(const Request &r, IPrompts &prompts, IToolRunner &runner, const Reporter &reported)
{
    JobResult result;
    result.made.outDir = r.outDir;
    try {
        const auto refused = [&](const Refusal &refusal, int subject) {
            showRefusal(prompts, refusal);
            result.refusal = refusal.message();
            result.refusedSubject = subject;
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
                return refused(refusal, WatermarkPicture);
            }
        }
        const commandlines::OptionPieces pieces = commandlines::optionPieces(r);
        Sequence job(r, prompts, runner, result, reported);
        if (r.flv == 1 && !job.encode(Format::Flv, commandlines::flvCommand(r, pieces), commandlines::flvOutputPath(r)))
            return result;
        if (r.mp4 == 1) {
            const QString mp4 = commandlines::mp4OutputPath(r);
            const auto outcome = job.encode(Format::Mp4, commandlines::mp4Command(r, pieces), mp4);
            if (!outcome)
                return result;
            // A failed encode left nothing to rewrite.
            if (*outcome != Outcome::Failed)
                job.makeStreamable(mp4, commandlines::mp4TempPath(r), commandlines::faststartCommand(r));
        }
        if (r.webm == 1
            && !job.encode(Format::Webm, commandlines::webmCommand(r, pieces), commandlines::webmOutputPath(r)))
            return result;
        if (r.stillImage == 1)
            job.grabStill(commandlines::stillImageCommand(r, pieces), commandlines::stillImagePath(r));
        if (r.imageWatermark) {
            const QString copy = watermark::pictureCopyToDelete(r.tools(), r.pictureName, watermark::programName());
            if (!copy.isEmpty())
                QFile::remove(copy);
        }
        job.finish();
    } catch (const RuntimeError &e) {
        showGeneralError(prompts, e);
    }
    return result;
}

} // namespace encode
