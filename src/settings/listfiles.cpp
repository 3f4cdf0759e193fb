#include "settings/listfiles.h"

#include "common/appfolder.h"

namespace listfiles {

QString bitratesPath(const QString &appFolder)
{
    return appfolder::joinPath(appFolder, QStringLiteral("config/configvbr.txt"));
}

QString windowSizesPath(const QString &appFolder)
{
    return appfolder::joinPath(appFolder, QStringLiteral("config/configvws.txt"));
}

QString editorText(const QByteArray &fileBytes)
{
    QString text = QString::fromUtf8(fileBytes);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

QByteArray savedBytes(const QString &editorText)
{
    QString text = editorText;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    text += QLatin1String("\r\n");
    return text.toUtf8();
}

bool hasEntry(const QString &editorText)
{
    for (QChar c : editorText)
        if (c != QLatin1Char('\n') && c != QLatin1Char('\r'))
            return true;
    return false;
}

bool bitrateKeyAllowed(int keyAscii)
{
    return (keyAscii >= '0' && keyAscii <= '9') || keyAscii == 8 || keyAscii == 13 || keyAscii == 'x';
}

} // namespace listfiles
