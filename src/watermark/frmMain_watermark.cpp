#include "app/frmMain.h"

#include "app/ui_forms.h"
#include "watermark/frmWatermarkOptions.h"

#include <QLineEdit>

// Checking or clearing the box opens the dialog while no watermark has been
// saved yet, so a ticked box always comes with a filter text to use. While
// a profile is applied no window opens half-way: the filter text is built
// from the profile's settings once its last line is in.
void frmMain::chkWatermark_Click()
{
    if (m_applyingProfile)
        return;
    frmWatermarkOptions &options = m_forms.watermarkOptions();
    if (options.txtWMString->text().isEmpty())
        options.showModal();
}

void frmMain::cmdWMOptions_Click()
{
    m_forms.watermarkOptions().showModal();
}
