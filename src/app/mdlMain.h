#pragma once
// State shared by every window of the program, and the helpers they all use.
#include <QString>
#include <QtGlobal>

namespace mdlMain {

// Command line of the next run, handed to the progress window.
inline QString strCommandLine;
// 1 FLV, 2 MP4, 3 WebM while that encoder run is shown, 0 otherwise.
inline qint16 intEncodeKind = 0;
// The user confirmed a cancel of the last run.
inline bool blnCancelled = false;
// The main window closes without asking "CLOSE SOFTWARE?".
inline bool blnForceExit = false;
// Scratch shared by the file readers and writers.
inline int intFileNo = 0;
inline QString strLineIn;
// Answer code of the last question in decimal ("6" Yes, "7" No).
inline QString strMsgAnswer;

// Answer codes of a question and of a plain message.
constexpr int vbOK = 1;
constexpr int vbYes = 6;
constexpr int vbNo = 7;

// The path itself when it exists, the empty text when it does not. Linux has
// no short 8.3 names, so the long form is the only form.
QString GetShortPath(const QString &path);

// Joins a folder and a relative name with "/", never doubling the separator.
QString joinPath(const QString &folder, const QString &name);

} // namespace mdlMain
