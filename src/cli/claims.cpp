#include "cli/claims.h"

#include "common/files.h"
#include "process/mdlKillProcess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace cli {

namespace {

const QByteArray ownerFile = ".owner";

// "HOST PID START": this process, by its pid and the time it started, so
// that another process given the same pid later is not taken for it.
QByteArray owner()
{
    const qint64 pid = qint64(::getpid());
    return QSysInfo::machineHostName().toUtf8() + ' ' + QByteArray::number(pid) + ' '
        + QByteArray::number(mdlKillProcess::startTime(pid).value_or(0));
}

// What stands at an output when it is claimed: "-" for nothing.
QByteArray snapshotText(const QString &path)
{
    const files::FileSnapshot s = files::FileSnapshot::of(path);
    if (!s.exists)
        return "-";
    return QByteArray::number(s.device) + ' ' + QByteArray::number(s.inode) + ' ' + QByteArray::number(s.size)
        + ' ' + QByteArray::number(s.mtimeNs) + ' ' + QByteArray::number(s.ctimeNs);
}

// True when an owner line names a process of this host that has ended (or
// whose pid now belongs to another process).
bool ownerGone(const QByteArray &line)
{
    const QList<QByteArray> fields = line.trimmed().split(' ');
    if (fields.size() < 2 || fields.size() > 3 || fields.at(0) != QSysInfo::machineHostName().toUtf8())
        return false;
    bool numeric = false;
    const qint64 pid = fields.at(1).toLongLong(&numeric);
    if (!numeric || pid <= 0)
        return false;
    if (::kill(pid_t(pid), 0) != 0 && errno == ESRCH)
        return true;
    if (fields.size() < 3)
        return false;
    const std::optional<quint64> started = mdlKillProcess::startTime(pid);
    return started && QByteArray::number(*started) != fields.at(2);
}

QByteArray readSmall(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(4096) : QByteArray();
}

bool removeAny(const QString &path)
{
    const QFileInfo info(path);
    if (info.isDir() && !info.isSymLink())
        return QDir(path).removeRecursively();
    return !(info.exists() || info.isSymLink()) || QFile::remove(path);
}

// What a run that ended without cleaning up left of an output: a file (or
// a stream's folder) that is not the one that stood there when it claimed
// the output (its partial output), the MP4's working copy, and the older
// one it had set aside, which goes back in place.
void cleanUpAfter(const QString &output, const QByteArray &claimedOver)
{
    if (snapshotText(output) != claimedOver.trimmed() || QFileInfo(output).isSymLink())
        removeAny(output);
    removeAny(output + QStringLiteral(".temp"));
    const QString aside = files::setAsidePath(output);
    if (QFileInfo::exists(aside) && !QFileInfo::exists(output))
        QFile::rename(aside, output);
}

enum class Mark { Made, Taken, Impossible };

Mark makeMark(const QString &mark, const QString &output)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int fd =
            ::open(QFile::encodeName(mark).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            const QByteArray text = owner() + '\n' + snapshotText(output) + '\n';
            [[maybe_unused]] const ssize_t written = ::write(fd, text.constData(), size_t(text.size()));
            ::close(fd);
            return Mark::Made;
        }
        // A folder that takes no mark takes no output either: the encode
        // reports that itself.
        if (errno != EEXIST)
            return Mark::Impossible;
        const QList<QByteArray> lines = readSmall(mark).split('\n');
        if (!ownerGone(lines.value(0)))
            return Mark::Taken;
        // A mark of the earlier form says nothing of what stood there.
        if (lines.size() > 1 && !lines.at(1).isEmpty())
            cleanUpAfter(output, lines.at(1));
        if (!QFile::remove(mark))
            return Mark::Taken;
    }
    return Mark::Taken;
}

} // namespace

QString OutputClaims::markPath(const QString &output)
{
    const QFileInfo info(output);
    return info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".vidlark-lock");
}

bool OutputClaims::claim(const QStringList &paths, QString *taken)
{
    for (const QString &path : paths) {
        const QString mark = markPath(path);
        switch (makeMark(mark, path)) {
        case Mark::Made: m_marks << mark; break;
        case Mark::Impossible: break;
        case Mark::Taken:
            release();
            if (taken)
                *taken = path;
            return false;
        }
    }
    return true;
}

void OutputClaims::release()
{
    for (const QString &mark : std::as_const(m_marks))
        QFile::remove(mark);
    m_marks.clear();
}

bool markWorkFolder(const QString &folder)
{
    QFile file(folder + QLatin1Char('/') + QLatin1String(ownerFile));
    return file.open(QIODevice::WriteOnly) && file.write(owner() + '\n') > 0 && file.flush();
}

void sweepWorkFolders(const QString &tempRoot)
{
    const QStringList names = QDir(tempRoot).entryList({QStringLiteral("vidlark-encode-*")},
                                                       QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        const QString folder = tempRoot + QLatin1Char('/') + name;
        const QByteArray line = readSmall(folder + QLatin1Char('/') + QLatin1String(ownerFile));
        if (!line.isEmpty() && ownerGone(line))
            QDir(folder).removeRecursively();
    }
}

} // namespace cli
