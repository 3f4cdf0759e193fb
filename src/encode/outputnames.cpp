#include "encode/outputnames.h"

#include "common/errors.h"
#include "common/files.h"

namespace outputnames {

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

bool outputIsSource(const QString &outputFolder, const QString &name, const QString &sourcePath)
{
    if (sourcePath.isEmpty())
        return false;
    const QString output = outputFolder + name;
    if (output.compare(sourcePath, Qt::CaseInsensitive) == 0)
        return true;
    return files::sameFile(output, sourcePath);
}

QString outputName(const QString &outputFolder, const QString &name, const QString &sourcePath)
{
    if (outputIsSource(outputFolder, name, sourcePath))
        return QStringLiteral("conv_") + name;
    return name;
}

} // namespace outputnames
