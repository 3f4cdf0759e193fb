#include "app/frmMain.h"

// Watermark reactions of the main window: not built yet.
void frmMain::chkWatermark_Click() {}
void frmMain::cmdWMOptions_Click() {}
