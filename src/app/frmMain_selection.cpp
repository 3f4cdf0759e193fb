#include "app/frmMain.h"

// Source and output selection: not built yet.
void frmMain::cmdInput_Click() {}
void frmMain::SetOutputFileNames() {}
void frmMain::cmdOutDir_Click() {}
void frmMain::cmbVideoWindow_Click() {}
void frmMain::txtFrameMinute_KeyPress(int &) {}
void frmMain::txtFrameSecond_KeyPress(int &) {}
