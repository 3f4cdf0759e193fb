#pragma once
// Rules of "Step 1": how a chosen source splits into its folder and title,
// how the output names are derived from the title, and when an output would
// be the source itself. Paths use "/".
#include <QString>
#include <QStringList>

namespace outputnames {

// The characters before the file title, the last "/" included
// ("/clips/a.avi" gives "/clips/"); empty for a path without "/".
QString folderPart(const QString &fullPath);

// The name after the last "/" (the whole path when it has none).
QString fileTitle(const QString &fullPath);

// The folder with one "/" at its end; a folder that already ends in "/"
// (the root "/" among them) is returned unchanged.
QString withTrailingSlash(const QString &folder);

// The title split at every "." (no limit, empty pieces kept). An empty
// title gives no pieces at all.
QStringList nameParts(const QString &title);

// Element 0 of the name parts, the base of every output name; throws
// RuntimeError 9 (subscript out of range) when there are no parts.
QString baseName(const QStringList &parts);

// True when the output name in the output folder would be the source:
// the joined text equals the source without regard to letter case, or it
// reaches the source file through another spelling or a link.
bool outputIsSource(const QString &outputFolder, const QString &name, const QString &sourcePath);

// The name itself, or "conv_" + name when the output would be the source.
QString outputName(const QString &outputFolder, const QString &name, const QString &sourcePath);

} // namespace outputnames
