#include "encode/encoderequest.h"

#include "app/conversions.h"
#include "app/runtimeerror.h"
#include "watermark/watermarkfilter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cfenv>
#include <cmath>
#include <cstring>
#include <sys/stat.h>

namespace encode {

namespace {

struct OutputCheck {
    int value;
    const QString &name;
    Target box;
    const char *missing;
    const char *change;
    const char *isSource;
};

} // namespace

bool isSameFile(const QString &a, const QString &b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    struct stat sa {};
    struct stat sb {};
    if (::stat(QFile::encodeName(a).constData(), &sa) == 0 && ::stat(QFile::encodeName(b).constData(), &sb) == 0)
        return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    const QString ca = QFileInfo(a).canonicalFilePath();
    return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
}

std::optional<Failure> validate(const RequestState &s, const std::function<bool(const QString &)> &overwrite)
{
    if (s.source.isEmpty())
        return Failure{QStringLiteral("INPUT OR SOURCE FILE REQUIRED!"), Style::Error, Reaction::OpenSource, Target::None};
    if (s.outDir.isEmpty())
        return Failure{QStringLiteral("OUTPUT FOLDER MISSING!"), Style::Error, Reaction::OpenOutputFolder, Target::None};
    if (s.flv == 0 && s.mp4 == 0 && s.webm == 0)
        return Failure{QStringLiteral("PLEASE SELECT AT LEAST ONE OUTPUT FORMAT!"), Style::Error, Reaction::Focus,
                       Target::chkFLV};

    const OutputCheck outputs[] = {
        {s.flv, s.flvName, Target::txtOutFileFLV, "OUTPUT FLV FILE NAME MISSING!",
         "CHANGE THE NAME OF THE OUTPUT FLV FILE.", "THE OUTPUT FLV FILE WOULD REPLACE THE SOURCE FILE. CHANGE ITS NAME."},
        {s.mp4, s.mp4Name, Target::txtOutFileMp4, "OUTPUT MP4 FILE NAME MISSING!",
         "CHANGE THE NAME OF THE OUTPUT MP4 FILE.", "THE OUTPUT MP4 FILE WOULD REPLACE THE SOURCE FILE. CHANGE ITS NAME."},
        {s.webm, s.webmName, Target::txtOutFileWebm, "OUTPUT WEBM FILE NAME MISSING!",
         "CHANGE THE NAME OF THE OUTPUT WEBM FILE.", "THE OUTPUT WEBM FILE WOULD REPLACE THE SOURCE FILE. CHANGE ITS NAME."},
    };
    for (const OutputCheck &o : outputs)
        if (o.value == 1 && o.name.isEmpty())
            return Failure{QLatin1String(o.missing), Style::Error, Reaction::Focus, o.box};

    for (const OutputCheck &o : outputs) {
        if (o.value != 1)
            continue;
        const QString path = s.outDir + o.name;
        // Never let the encoder write over the file it reads, nor the MP4's
        // intermediate ".temp" file replace it.
        if (isSameFile(path, s.source)
            || (o.box == Target::txtOutFileMp4 && isSameFile(path + QStringLiteral(".temp"), s.source)))
            return Failure{QLatin1String(o.isSource), Style::Error, Reaction::FocusSelectAll, o.box};
        if (QFileInfo(path).isFile()
            && !overwrite(o.name + QStringLiteral(" ALREADY EXISTS IN OUTPUT FOLDER. OVERWRITE?")))
            return Failure{QLatin1String(o.change), Style::Notice, Reaction::FocusSelectAll, o.box};
    }

    if (s.stillImage == 1) {
        const qint16 minute = conv::CInt(s.minute);
        if (minute < 0 || minute > 59)
            return Failure{QStringLiteral("INVALID INPUT FOR MINUTES. ENTER A VALUE FROM 0 TO 59!"), Style::Error,
                           Reaction::FocusSelectAll, Target::txtFrameMinute};
        const bool notNegative = conv::Int(conv::CDbl(s.second)) >= 0;
        const bool atMost59 = conv::CInt(s.second) <= 59;
        if (!notNegative || !atMost59)
            return Failure{QStringLiteral("INVALID INPUT FOR SECONDS. ENTER A VALUE FROM 0 TO 59!"), Style::Error,
                           Reaction::FocusSelectAll, Target::txtFrameSecond};
    }
    return std::nullopt;
}

FileSnapshot FileSnapshot::of(const QString &path)
{
    FileSnapshot snap;
    struct stat st {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0)
        return snap;
    snap.exists = true;
    snap.device = quint64(st.st_dev);
    snap.inode = quint64(st.st_ino);
    snap.size = qint64(st.st_size);
    snap.mtimeNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    snap.ctimeNs = qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return snap;
}

bool isTooSmall(qint64 bytes)
{
    const double mib = double(bytes) / 1024.0 / 1024.0;
    const int previous = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(mib);
    std::fesetround(previous);
    return rounded == 0.0;
}

QString failureReason(const mdlDOSPipe::RunResult &run)
{
    if (run.signal) {
        const char *abbreviation = sigabbrev_np(*run.signal);
        QString name = abbreviation ? QStringLiteral(" (SIG") + QLatin1String(abbreviation) + QLatin1Char(')')
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

Outcome judgeRun(bool cancelled, const mdlDOSPipe::RunResult &run, const QString &path, const FileSnapshot &before)
{
    if (cancelled)
        return Outcome::Cancelled;
    const FileSnapshot after = FileSnapshot::of(path);
    if (!after.exists || !QFileInfo(path).isFile())
        return Outcome::NoOutput;
    // An older file the run never touched is not this run's output.
    if (before.exists && after == before)
        return Outcome::NoOutput;
    if (run.statusKnown() && !run.succeeded())
        return Outcome::Failed;
    if (run.succeeded())
        return run.report.encodedVideo() ? Outcome::Made : Outcome::BadSource;
    return isTooSmall(after.size) ? Outcome::BadSource : Outcome::Made;
}

QString failureNotice(Outcome outcome, const mdlDOSPipe::RunResult &run)
{
    switch (outcome) {
    case Outcome::NoOutput: return QStringLiteral("UNSUPPORTED FILE!");
    case Outcome::Failed: return QStringLiteral("ENCODING FAILED! ") + failureReason(run);
    case Outcome::BadSource: return QStringLiteral("ENCODING FAILED! BAD SOURCE FILE.");
    case Outcome::Cancelled:
    case Outcome::Made: break;
    }
    return QString();
}

QString stillImageNotice(const mdlDOSPipe::RunResult &run, const QString &minute, const QString &second)
{
    QString reason;
    if (run.succeeded()) {
        const auto twoDigits = [](const QString &text) {
            return QStringLiteral("%1").arg(int(conv::CInt(text)), 2, 10, QLatin1Char('0'));
        };
        reason = QStringLiteral("THE VIDEO IS SHORTER THAN ") + twoDigits(minute) + QLatin1Char(':')
            + twoDigits(second) + QLatin1Char('.');
    } else {
        reason = failureReason(run);
    }
    return QStringLiteral("STILL IMAGE NOT GRABBED! ") + reason;
}

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

bool settleFaststart(const QString &mp4Path, const QString &tempPath, std::optional<int> toolStatus)
{
    // Only a tool known to have finished well has made the output: one that
    // failed, crashed or could not be waited for may have left half a file.
    const bool wrote = QFileInfo(mp4Path).isFile();
    const bool succeeded = toolStatus.has_value() && *toolStatus == 0;
    if (wrote && succeeded) {
        if (!QFile::remove(tempPath))
            throw RuntimeError(rt::PermissionDenied);
        return true;
    }
    // Keep the encoded MP4: drop what the tool left and take the original back.
    if (QFileInfo::exists(mp4Path) && !QFile::remove(mp4Path))
        throw RuntimeError(rt::PermissionDenied);
    if (!QFile::rename(tempPath, mp4Path))
        throw RuntimeError(rt::PathFileAccessError);
    return false;
}

QString pictureCopyToDelete(const QString &appFolder, const QString &imageName, const QString &programName)
{
    if (watermark::isReservedPictureName(appFolder, imageName, programName))
        return QString();
    const QString path = QDir(appFolder).filePath(imageName);
    const QFileInfo info(path);
    if (!info.isFile() || info.isSymLink())
        return QString();
    return path;
}

QString finalQuestion(const QString &outDir)
{
    return QStringLiteral("FILE(S) ENCODED - ") + outDir + QStringLiteral("\r\nDO YOU WANT TO OPEN THE OUTPUT FOLDER?");
}

} // namespace encode
