#include "common/files.h"

#include "common/errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace files {

namespace {

// Anything at the path, a link that leads nowhere included.
bool occupied(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

} // namespace

bool sameFile(const QString &a, const QString &b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    struct stat sa {};
    struct stat sb {};
    if (::stat(QFile::encodeName(a).constData(), &sa) == 0
        && ::stat(QFile::encodeName(b).constData(), &sb) == 0)
        return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    const QString ca = QFileInfo(a).canonicalFilePath();
    return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
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

bool isNewFile(const QString &path, const FileSnapshot &before)
{
    const FileSnapshot after = FileSnapshot::of(path);
    return after.exists && QFileInfo(path).isFile() && !(before.exists && after == before);
}

Obstacle clearPlace(const QString &path, const QString &keep)
{
    const QFileInfo info(path);
    // QFileInfo::exists follows a link and says false for a dangling one.
    Obstacle obstacle = Obstacle::None;
    if (info.isSymLink())
        obstacle = Obstacle::Link;
    else if (!keep.isEmpty() && info.isFile() && sameFile(path, keep))
        obstacle = Obstacle::OtherName;
    return obstacle == Obstacle::None || QFile::remove(path) ? Obstacle::None : obstacle;
}

QString setAsidePath(const QString &path)
{
    const QFileInfo info(path);
    return info.path() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".vidlark-old");
}

namespace {

// A file, a link, or a whole folder (the stream's).
bool removeEntry(const QString &path)
{
    const QFileInfo entry(path);
    if (entry.isDir() && !entry.isSymLink())
        return QDir(path).removeRecursively();
    return QFile::remove(path);
}

} // namespace

Place::Place(const QString &path) : m_path(path)
{
    if (clearPlace(path) != Obstacle::None)
        throw RuntimeError(rt::PermissionDenied);
}

Place::~Place()
{
    putBack();
}

void Place::setAside(const QString &aside)
{
    m_aside = aside.isEmpty() ? setAsidePath(m_path) : aside;
    if (occupied(m_aside)) {
        const QFileInfo there(m_aside);
        if (there.isDir() && !there.isSymLink() && !QFileInfo(m_path).isDir())
            throw RuntimeError(rt::FileAlreadyExists);
        if (!removeEntry(m_aside))
            throw RuntimeError(rt::PermissionDenied);
    }
    if (!QFileInfo::exists(m_path))
        throw RuntimeError(rt::FileNotFound);
    if (!QFile::rename(m_path, m_aside))
        throw RuntimeError(rt::PathFileAccessError);
    m_held = true;
}

bool Place::keepNew()
{
    if (!m_held)
        return true;
    m_held = false;
    return removeEntry(m_aside);
}

bool Place::putBack()
{
    if (!m_held)
        return true;
    if (occupied(m_path) && !removeEntry(m_path))
        return false;
    m_held = !QFile::rename(m_aside, m_path);
    return !m_held;
}

} // namespace files
