#include "app/selection.h"

#include "app/runtimeerror.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace selection {

QString folderPart(const QString &fullPath)
{
    const qsizetype slash = fullPath.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : fullPath.left(slash + 1);
}

QString fileTitle(const QString &fullPath)
{
    return fullPath.mid(fullPath.lastIndexOf(QLatin1Char('/')) + 1);
}

QString withTrailingSlash(const QString &folder)
{
    if (folder.endsWith(QLatin1Char('/')))
        return folder;
    return folder + QLatin1Char('/');
}

QStringList nameParts(const QString &title)
{
    if (title.isEmpty())
        return {};
    return title.split(QLatin1Char('.'), Qt::KeepEmptyParts, Qt::CaseSensitive);
}

QString baseName(const QStringList &parts)
{
    if (parts.isEmpty())
        throw RuntimeError(rt::SubscriptOutOfRange);
    return parts.first();
}

bool sameFile(const QString &a, const QString &b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    struct stat sa {};
    struct stat sb {};
    if (::stat(QFile::encodeName(a).constData(), &sa) == 0 && ::stat(QFile::encodeName(b).constData(), &sb) == 0
        && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino)
        return true;
    const QString ca = QFileInfo(a).canonicalFilePath();
    return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
}

bool outputIsSource(const QString &outputFolder, const QString &name, const QString &sourcePath)
{
    if (sourcePath.isEmpty())
        return false;
    const QString output = outputFolder + name;
    if (output.compare(sourcePath, Qt::CaseInsensitive) == 0)
        return true;
    return sameFile(output, sourcePath);
}

QString outputName(const QString &outputFolder, const QString &name, const QString &sourcePath)
{
    if (outputIsSource(outputFolder, name, sourcePath))
        return QStringLiteral("conv_") + name;
    return name;
}

} // namespace selection
