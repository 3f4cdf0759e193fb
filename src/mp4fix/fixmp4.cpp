#include "mp4fix/fixmp4.h"

#include "app/mdlMain.h"
#include "app/runtimeerror.h"
#include "encode/commandlines.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace mp4fix {

FixNames deriveNames(const QString &source)
{
    if (source.size() < 4)
        throw RuntimeError(rt::InvalidProcedureCall);
    FixNames names;
    names.source = source;
    names.fixed = source.left(source.size() - 4) + QStringLiteral("-fixed.mp4");
    names.work = names.fixed + QStringLiteral(".tmp");
    return names;
}

QString faststartCommand(const QString &appFolder, const FixNames &names)
{
    return commandlines::toolPath(mdlMain::GetShortPath(appFolder), QStringLiteral("ma")) + QLatin1Char(' ')
        + commandlines::quotedPath(names.work) + QLatin1Char(' ') + commandlines::quotedPath(names.fixed);
}

namespace {

// Whether the two names lead to one and the same file.
bool sameFile(const QString &a, const QString &b)
{
    struct stat sa{}, sb{};
    return ::stat(QFile::encodeName(a).constData(), &sa) == 0 && ::stat(QFile::encodeName(b).constData(), &sb) == 0
        && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

} // namespace

QString removeUnsafeFixedFile(const FixNames &names)
{
    const QFileInfo fixed(names.fixed);
    // A link is removed whether it leads anywhere or not; QFileInfo::exists
    // follows it and says false for a dangling one.
    const bool link = fixed.isSymLink();
    if (!link && !(fixed.isFile() && sameFile(names.fixed, names.source)))
        return QString();
    if (!QFile::remove(names.fixed))
        return link ? QStringLiteral("a link in its place cannot be removed")
                    : QStringLiteral("it is another name of the source file and cannot be removed");
    return QString();
}

QString copyToWorkFile(const FixNames &names)
{
    const QFileInfo source(names.source);
    if (!source.exists())
        return QStringLiteral("the file is gone");
    if (!source.isFile())
        return QStringLiteral("it is not a file");
    QFileInfo work(names.work);
    if (work.exists() || work.isSymLink()) {
        if (work.isDir() && !work.isSymLink())
            return QStringLiteral("a folder has the name of the working copy");
        if (!QFile::remove(names.work))
            return QStringLiteral("the working copy left from an earlier run cannot be replaced");
    }
    QFile in(names.source);
    if (!in.open(QIODevice::ReadOnly))
        return in.errorString();
    QFile out(names.work);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return out.errorString();
    QByteArray buffer;
    while (!in.atEnd()) {
        buffer = in.read(1 << 20);
        if (buffer.isEmpty() && in.error() != QFileDevice::NoError)
            break;
        if (out.write(buffer) != buffer.size()) {
            const QString why = out.errorString();
            out.close();
            QFile::remove(names.work);
            return why;
        }
    }
    if (in.error() != QFileDevice::NoError) {
        const QString why = in.errorString();
        out.close();
        QFile::remove(names.work);
        return why;
    }
    if (!out.flush()) {
        const QString why = out.errorString();
        out.close();
        QFile::remove(names.work);
        return why;
    }
    out.close();
    if (out.error() != QFileDevice::NoError) {
        QFile::remove(names.work);
        return out.errorString();
    }
    return QString();
}

} // namespace mp4fix
