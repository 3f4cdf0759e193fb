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
    QString imagePath; // the picture; its copy takes the picture's own name
};

// The font folder as a build takes it: the application folder's wmfonts
// folder, with its trailing "/".
QString fontFolder(const QString &appFolder);

// What a build keeps for the next one: the last position expressions (kept
// when no corner is chosen) and the escaped font folder.
struct State {
    QString posX;
    QString posY;
    QString fontFolder;
};

// A finished filter: the option text, the state for the next build, and the
// name of the picture copy (image kind).
struct Filter {
    QString text;
    State state;
    QString imageName;
};

// Everything the watermark dialog's Save does with its settings, without a
// window: checks them (text missing, picture missing, transparency, a
// picture name the program keeps for itself), copies the picture into
// `pictureFolder` under its own name (the encoder opens it there), and
// builds the filter text. Refusals are thrown as Refusal with the message
// Save shows and a Problem. Nothing when neither kind is chosen.
std::optional<Filter> buildFilter(const Settings &settings, const State &previous,
                                  const QString &pictureFolder, const QString &programName);

// --- The picture copy ---
// The movie filter opens the picture by its bare name in the folder the
// encoder runs in: a copy of the picture lies there for the encodes.

// True when a copy under this name would replace one of the program's own
// files (appfolder::isOwnName, the running binary), or any folder, link or
// non-picture file already in the folder. An existing .png, .jpg or .jpeg
// file (an earlier copy) may be replaced. An empty name, or one holding a
// '/', is refused as well.
bool isReservedPictureName(const QString &folder, const QString &name, const QString &programName);

// Copies the picture to folder + "/" + name through a temporary file, so a
// failed copy leaves an earlier copy untouched. Throws RuntimeError.
void copyPicture(const QString &source, const QString &folder, const QString &name);

// Puts the copy back before a request when it is missing (the end of every
// request removes it) and the picture still has that name. Throws a Refusal
// (PictureNotCopied) when the picture cannot be copied.
void restorePictureCopy(const QString &folder, const QString &name, const QString &picturePath,
                        const QString &programName);

// The copy to delete at the end of a request: the plain picture file
// folder/name, or nothing when the name is empty, names a folder, a link or
// one of the program's own files, or reaches outside the folder.
QString pictureCopyToDelete(const QString &folder, const QString &name, const QString &programName);

// The file name of the running program, which no picture copy may take.
QString programName();

} // namespace watermark
