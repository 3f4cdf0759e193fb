#include "common/files.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace files {

bool sameFile(const QString &a, const QString &b)
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

bool removeLink(const QString &path)
{
    return !QFileInfo(path).isSymLink() || QFile::remove(path);
}

QString setAsidePath(const QString &path)
{
    const QFileInfo info(path);
    return info.path() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".vidlark-old");
}

} // namespace files
