#pragma once
// The watermark fonts of the application folder: wmfonts/_fontlist.txt holds
// "Family#file.ttf" per line (fields after a second "#" ignored), and
// _fontsize.txt one size per line; the font files lie beside them. And the
// watermark settings of the settings model as a build takes them.
#include "watermark/watermarkfilter.h"

#include <QStringList>

namespace settings {
class Model;
}

namespace watermark {

struct FontList {
    QStringList names;
    QStringList files;
    // Reading stopped at a line without "#".
    bool complete = true;
};

// Throws RuntimeError as textfiles::readLines does.
FontList readFontList(const QString &appFolder);
QStringList readFontSizes(const QString &appFolder);

// The watermark the model's settings describe, its font in the fonts folder
// of appFolder.
Settings settingsOf(const settings::Model &model, const QString &appFolder);

} // namespace watermark
