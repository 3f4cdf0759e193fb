#pragma once
// State the windows share.
#include <QString>

namespace mdlMain {

// The main window closes without asking "CLOSE SOFTWARE?".
inline bool blnForceExit = false;
// Answer code of the last question in decimal ("6" Yes, "7" No).
inline QString strMsgAnswer;

} // namespace mdlMain
