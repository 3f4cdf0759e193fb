#pragma once
// The watermark fonts of the application folder: wmfonts/_fontlist.txt holds
// "Family#file.ttf" per line (fields after a second "#" ignored), and
// _fontsize.txt one size per line; the font files lie beside them.
#include <QStringList>

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

// The start-up choice: the third size.
constexpr int startFontSize = 2;

} // namespace watermark
