#pragma once
// Reading and writing the program's text files (lists, option files,
// profiles). Files are UTF-8; we write CR LF line ends and read CR LF or LF.
// Failures throw RuntimeError with the number a user would expect.
#include <QByteArray>
#include <QString>
#include <QStringList>

class QFile;

namespace textfiles {

// The whole file as bytes. Missing file: 53; unreadable: 70 or 75.
QByteArray readBytes(const QString &path);

// Opens the file for reading, for readers that take it a piece at a time;
// throws as readBytes does.
void openForReading(QFile &file, const QString &path);

// Splits text into lines the way a line-by-line reader does: a final line
// end does not start another line, CR LF and LF both end a line.
QStringList splitLines(const QString &text);

// readBytes + UTF-8 decoding + splitLines.
QStringList readLines(const QString &path);

// Replaces the file with the given bytes through a new file renamed over the
// old one, so a failure never leaves a truncated file behind.
void writeBytesAtomically(const QString &path, const QByteArray &bytes);

} // namespace textfiles
