#include "watermark/fonts.h"

#include "common/appfolder.h"
#include "common/textfiles.h"

namespace watermark {

FontList readFontList(const QString &appFolder)
{
    FontList fonts;
    for (const QString &line :
         textfiles::readLines(appfolder::joinPath(appFolder, QStringLiteral("wmfonts/_fontlist.txt")))) {
        const QStringList fields = line.split(QLatin1Char('#'));
        if (fields.size() < 2) {
            fonts.complete = false;
            break;
        }
        fonts.names << fields.at(0);
        fonts.files << fields.at(1);
    }
    return fonts;
}

QStringList readFontSizes(const QString &appFolder)
{
    return textfiles::readLines(appfolder::joinPath(appFolder, QStringLiteral("wmfonts/_fontsize.txt")));
}

} // namespace watermark
