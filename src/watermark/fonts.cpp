#include "watermark/fonts.h"

#include "common/appfolder.h"
#include "common/settingsmodel.h"
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

Settings settingsOf(const settings::Model &model, const QString &appFolder)
{
    namespace set = settings;
    Settings s;
    s.kind = model.isSelected(set::TextWatermark) ? Kind::Text
        : model.isSelected(set::ImageWatermark)   ? Kind::Image
                                                  : Kind::None;
    s.corner = model.isSelected(set::TopLeft) ? Corner::TopLeft
        : model.isSelected(set::TopRight)     ? Corner::TopRight
        : model.isSelected(set::BottomLeft)   ? Corner::BottomLeft
        : model.isSelected(set::BottomRight)  ? Corner::BottomRight
                                              : Corner::None;
    s.text = model.text(set::WatermarkText);
    s.fontSize = model.entry(set::FontSize);
    s.fontFolder = fontFolder(appFolder);
    s.fontFile = model.entry(set::FontFile);
    s.colorCode = model.text(set::FontColorText);
    s.transparency = model.text(set::Transparency);
    s.imagePath = model.text(set::ImagePath);
    return s;
}

} // namespace watermark
