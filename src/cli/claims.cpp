#include "cli/claims.h"

#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace cli {

namespace {

QByteArray owner()
{
    return QSysInfo::machineHostName().toUtf8() + ' ' + QByteArray::number(qint64(::getpid())) + '\n';
}

// A mark of this host whose process has ended.
bool isStale(const QString &mark)
{
    QFile file(mark);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QList<QByteArray> fields = file.readAll().trimmed().split(' ');
    if (fields.size() != 2 || fields.at(0) != QSysInfo::machineHostName().toUtf8())
        return false;
    bool numeric = false;
    const qint64 pid = fields.at(1).toLongLong(&numeric);
    return numeric && pid > 0 && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
}

enum class Mark { Made, Taken, Impossible };

Mark makeMark(const QString &mark)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int fd = ::open(QFile::encodeName(mark).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            const QByteArray text = owner();
            [[maybe_unused]] const ssize_t written = ::write(fd, text.constData(), size_t(text.size()));
            ::close(fd);
            return Mark::Made;
        }
        // A folder that takes no mark takes no output either: the encode
        // reports that itself.
        if (errno != EEXIST)
            return Mark::Impossible;
        if (!isStale(mark) || !QFile::remove(mark))
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
        switch (makeMark(mark)) {
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

} // namespace cli
