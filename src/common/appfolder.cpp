#include "common/appfolder.h"

#include "common/cmdline.h"

#include <QFileInfo>
#include <QStringList>

namespace appfolder {

QString GetShortPath(const QString &path)
{
    if (path.isEmpty() || !QFileInfo::exists(path))
        return QString();
    return path;
}

QString joinPath(const QString &folder, const QString &name)
{
    if (folder.endsWith(QLatin1Char('/')))
        return folder + name;
    return folder + QLatin1Char('/') + name;
}

QString toolPath(const QString &appFolderShort, const QString &relativeTool)
{
    const QString folder = appFolderShort.isEmpty() ? QString() : cmdline::quoteIfNeeded(appFolderShort);
    return folder + QLatin1Char('/') + relativeTool;
}

bool isOwnName(const QString &name)
{
    static const QStringList own{QStringLiteral("config"),          QStringLiteral("wmfonts"),
                                 QStringLiteral("engine"),          QStringLiteral("ma"),
                                 QStringLiteral("vidlark-encoder"), QStringLiteral("vidlark-encode")};
    return own.contains(name);
}

} // namespace appfolder
