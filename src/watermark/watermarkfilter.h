#pragma once
// The watermark as the encoder receives it: one option text " -vf \"...\""
// holding either a drawtext graph (text watermark) or a movie + overlay graph
// (picture watermark). Everything here works on plain values, so the dialog
// only gathers its controls and calls build().
//
// A value the user typed passes through several readers before ffmpeg draws
// it, and each reader has escapes of its own:
//  1. our command-line splitter (cmdline::splitCommandLine): the whole graph
//     stands in one double-quoted stretch, so '"' must be escaped there;
//  2. ffmpeg's filtergraph parser: '\', '\'', '[', ']', ',', ';' are special;
//     a stretch in '...' is taken literally;
//  3. the filter's option parser: '\', '\'', ':' are special and leading or
//     trailing blanks are dropped;
//  4. for drawtext's text only, its expansion: '\' and '%'.
// Every value is escaped for each level it passes, innermost first, so what
// the user typed is what gets drawn or opened.
#include <QString>
#include <QtGlobal>
#include <optional>

namespace watermark {

enum class Kind { None, Text, Image };
enum class Corner { None, TopLeft, TopRight, BottomLeft, BottomRight };

struct Position {
    QString x;
    QString y;
};

// The x and y expressions that put a watermark of the kind 8 pixels from the
// corner; nothing for Corner::None or Kind::None.
std::optional<Position> positionFor(Kind kind, Corner corner);

// "0x" + RR GG BB (upper-case hex) of a 0x00BBGGRR colour; higher bits are
// ignored.
QString colorCode(quint32 color);

// The transparency text as the opacity ffmpeg reads after "@": a whole
// number 0 to 99 (one or two digits) divided by 100, written plainly ("60" ->
// "0.6", "5" -> "0.05", "0" -> "0"). Nothing for any other text.
std::optional<QString> opacityText(const QString &transparency);

// --- Escaping, one function per level ---

// drawtext's expansion: '\' and '%' get a backslash.
QString escapeExpansion(const QString &text);
// An option value: '\', '\'' and ':' get a backslash, and so do blanks at
// either end (ffmpeg would drop them otherwise).
QString escapeOptionValue(const QString &value);
// A filtergraph value in single quotes; a quote inside becomes '\''.
QString quoteGraphValue(const QString &value);
// A filtergraph value without quotes: a backslash before each of \ ' [ ] , ;
QString escapeGraphBare(const QString &value);

// The font folder as it stands in front of the font file name: the folder
// that holds the fonts (with its trailing separator), escaped for the option
// level. "C:\Apps\Enc\wmfonts\" gives "C\:\\Apps\\Enc\\wmfonts\\".
QString fontFolderText(const QString &fontFolder);

// The picture name as the movie filter's value (quoted, escaped). A name
// with a ':' would be taken for a protocol and one with a '%' for an image
// sequence pattern, so such a name is opened as "file:" + name with the
// image2pipe reader, which reads that one file and nothing else.
QString movieSource(const QString &imageName);

// Everything a build reads.
struct Settings {
    Kind kind = Kind::None;
    Corner corner = Corner::None;
    // Text kind.
    QString text;
    QString fontSize;
    QString fontFolder; // the folder of the font files, ending in its separator
    QString fontFile;   // file name inside that folder
    QString colorCode;  // as the colour box holds it
    QString transparency;
    // Image kind.
    QString imageName; // bare file name of the picture copy
};

// What a build keeps for the next one: the last position expressions (kept
// when no corner is chosen) and the escaped font folder.
struct State {
    QString posX;
    QString posY;
    QString fontFolder;
};

struct Result {
    enum Status {
        Built,           // filter and state hold the new text and state
        Unchanged,       // neither kind chosen: nothing to build
        BadTransparency, // the transparency is not a whole number 0 to 99
    };
    Status status = Unchanged;
    QString filter;
    State state;
};

// Builds the filter option text. On any status but Built the returned state
// is the previous one and the filter text is empty.
Result build(const Settings &settings, const State &previous);

// What stops a build, as Refusal::subject().
enum Problem { TextMissing = 1, ImageMissing, BadTransparencyText, ReservedImageName, PictureNotCopied };

// A finished filter: the option text, the state for the next build, and the
// name of the picture copy (image kind).
struct Filter {
    QString text;
    State state;
    QString imageName;
};

// Everything the watermark dialog's Save does with its settings, without a
// window: checks them (text missing, picture missing, transparency, a
// picture name the program keeps for itself), copies the picture at
// `imagePath` into `pictureFolder` under its own name (the encoder opens it
// there), and builds the filter text. Refusals are thrown as Refusal with
// the message Save shows and a Problem. Nothing when neither kind is chosen.
// settings.imageName is taken from imagePath.
std::optional<Filter> buildFilter(Settings settings, const QString &imagePath, const State &previous,
                                  const QString &pictureFolder, const QString &programName);

// --- The picture copy in the application folder ---

// True when a copy under this name would replace one of the program's own
// files: its binary, config, wmfonts, engine, ma, or any folder, link or
// non-picture file already in the application folder. An existing .png,
// .jpg or .jpeg file (an earlier copy) may be replaced. An empty name, or one
// holding a '/', is refused as well.
bool isReservedPictureName(const QString &appFolder, const QString &name, const QString &programName);

// Copies the picture to appFolder + "/" + name through a temporary file, so
// a failed copy leaves an earlier copy untouched. Throws RuntimeError.
void copyPicture(const QString &source, const QString &appFolder, const QString &name);

} // namespace watermark
