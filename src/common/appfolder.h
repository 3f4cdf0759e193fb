#pragma once
// The application folder (the folder of the program binary) and the paths
// found relative to it: the encoder engine/ffmpeg, the faststart tool ma,
// config and wmfonts. Paths use "/".
#include <QString>

namespace appfolder {

// The path itself when it exists, the empty text when it does not. Linux has
// no short 8.3 names, so the long form is the only form.
QString GetShortPath(const QString &path);

// Joins a folder and a relative name with "/", never doubling the separator.
QString joinPath(const QString &folder, const QString &name);

// The head of a command line: the application folder (unquoted unless it
// holds a blank or a double quote) followed by the tool's relative path
// ("engine/ffmpeg", "ma"); splitCommandLine gives it back as one argument.
QString toolPath(const QString &appFolderShort, const QString &relativeTool);

// Names in the application folder that belong to the program itself.
bool isOwnName(const QString &name);

} // namespace appfolder
