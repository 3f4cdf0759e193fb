#include "app/frmMain.h"

#include "app/ui_forms.h"
#include "mp4fix/frmFixMp4.h"

void frmMain::mnuMakeMp4Streamable_Click()
{
    // A fresh window each time; it keeps nothing between openings.
    frmFixMp4 window(forms(), this);
    window.exec();
}
