#include "mp4fix/fixmp4.h"

#include "common/appfolder.h"
#include "common/cmdline.h"
#include "common/errors.h"
#include "common/files.h"

#include <QFile>
#include <QFileInfo>

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
    return appfolder::toolPath(appfolder::GetShortPath(appFolder), QStringLiteral("ma")) + QLatin1Char(' ')
        + cmdline::quoteArgument(names.work) + QLatin1Char(' ') + cmdline::quoteArgument(names.fixed);
}

void removeUnsafeFixedFile(const FixNames &names)
{
    const QFileInfo fixed(names.fixed);
    // A link is removed whether it leads anywhere or not; QFileInfo::exists
    // follows it and says false for a dangling one.
    const bool link = fixed.isSymLink();
    if (!link && !(fixed.isFile() && files::sameFile(names.fixed, names.source)))
        return;
    if (!QFile::remove(names.fixed))
        throw Refusal(QStringLiteral("Mp4 COULD NOT BE WRITTEN TO ") + names.fixed + QStringLiteral(" (")
                      + (link ? QStringLiteral("a link in its place cannot be removed")
                              : QStringLiteral("it is another name of the source file and cannot be removed"))
                      + QStringLiteral(")."));
}

namespace {

// Why the copy failed, or nothing.
QString copyFile(const FixNames &names)
{
    const QFileInfo source(names.source);
    if (!source.exists())
        return QStringLiteral("the file is gone");
    if (!source.isFile())
        return QStringLiteral("it is not a file");
    const QFileInfo work(names.work);
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
    // From here on a failure leaves no half copy behind.
    QString why;
    while (why.isEmpty() && !in.atEnd()) {
        const QByteArray buffer = in.read(1 << 20);
        if (buffer.isEmpty() && in.error() != QFileDevice::NoError)
            why = in.errorString();
        else if (out.write(buffer) != buffer.size())
            why = out.errorString();
    }
    if (why.isEmpty() && !out.flush())
        why = out.errorString();
    out.close();
    if (why.isEmpty() && out.error() != QFileDevice::NoError)
        why = out.errorString();
    if (!why.isEmpty())
        QFile::remove(names.work);
    return why;
}

} // namespace

void copyToWorkFile(const FixNames &names)
{
    const QString why = copyFile(names);
    if (!why.isEmpty())
        throw Refusal(QStringLiteral("Mp4 COULD NOT BE COPIED TO ") + names.work + QStringLiteral(" (") + why
                      + QStringLiteral(")."));
}

} // namespace mp4fix
