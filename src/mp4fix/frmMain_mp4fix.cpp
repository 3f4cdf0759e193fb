#include "app/frmMain.h"

// Make Mp4 Streamable: not built yet.
void frmMain::mnuMakeMp4Streamable_Click() {}
