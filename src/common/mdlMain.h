#pragma once
// State the windows share while a tool runs.
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
// Answer code of the last question in decimal ("6" Yes, "7" No).
inline QString strMsgAnswer;

} // namespace mdlMain
