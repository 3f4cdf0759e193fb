#pragma once
// The editable list files of the config folder: configvbr.txt (video
// bitrates) and configvws.txt (video window sizes). The editors show a whole
// file as one text and write it back whole; the main window's loaders turn
// every non-empty line into a list entry.
#include <QByteArray>
#include <QString>

namespace listfiles {

// Paths inside the application folder.
QString bitratesPath(const QString &appFolder);
QString windowSizesPath(const QString &appFolder);

// The file as the editor shows it: UTF-8 text with every line end (CR LF,
// lone CR or LF) as one "\n"; a final line end stays.
QString editorText(const QByteArray &fileBytes);

// What saving writes for the editor's text: every line end as CR LF, then
// one more CR LF. Saving an unchanged file that ended with a line end thus
// adds one empty line, which the loaders skip.
QByteArray savedBytes(const QString &editorText);

// Whether the text holds at least one non-empty line, that is, an entry the
// main window's list could select. A line of blanks is an entry.
bool hasEntry(const QString &editorText);

// Key filter of the bitrate editor: digits, Backspace (8), Enter (13) and
// the lower-case "x" (120) pass; every other character code is discarded.
bool bitrateKeyAllowed(int keyAscii);

} // namespace listfiles
