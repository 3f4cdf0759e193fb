#include "app/frmMain.h"

// Profiles and list editors: not built yet.
void frmMain::mnuSaveProfile_Click() {}
void frmMain::mnuLoadProfile_Click() {}
void frmMain::LoadProfile(const QString &) {}
void frmMain::mnuVideoRates_Click() {}
void frmMain::mnuVideoWindowSizes_Click() {}
void frmMain::applyCommandLineProfile() {}
