#include "app/frmMain.h"

// The encode request: not built yet.
void frmMain::cmdEncode_Click() {}
