// Step 1 of the main window (source, output folder; the settings give the
// output names) and the small reactions of step 2: the window-size list, the
// watermark box and its options button, and the time-field keys.
#include "app/frmMain.h"

#include "app/ui_forms.h"
#include "common/errors.h"
#include "common/prompts.h"
#include "settings/encodesettings.h"
#include "watermark/frmWatermarkOptions.h"

#include <QComboBox>

void frmMain::cmdInput_Click()
{
    IPrompts &prompts = m_forms.prompts();
    try {
        const std::optional<QString> chosen = prompts.openFile(QStringLiteral("Source Video to Convert"),
                                                               QStringLiteral("Video Files |*.*"), true);
        if (!chosen)
            return; // a cancel changes nothing and says nothing
        setSource(*chosen);
    } catch (const RuntimeError &e) {
        showGeneralError(prompts, e);
    }
}

void frmMain::setSource(const QString &path)
{
    try {
        m_settings.chooseSource(path);
    } catch (const RuntimeError &e) {
        showGeneralError(m_forms.prompts(), e);
    }
}

void frmMain::cmdOutDir_Click()
{
    IPrompts &prompts = m_forms.prompts();
    try {
        setOutputFolder(prompts.browseForFolder(QStringLiteral("Select Your Output Folder:")));
    } catch (const RuntimeError &e) {
        showGeneralError(prompts, e);
    }
}

void frmMain::setOutputFolder(const QString &folder)
{
    m_settings.chooseOutputFolder(folder);
}

void frmMain::cmbVideoWindow_Click()
{
    m_settings.pickWindowSize(cmbVideoWindow->currentIndex());
}

// Checking or clearing the box opens the dialog while no watermark has been
// saved yet, so a ticked box always comes with a filter text to use. A
// profile sets the setting, not the box: no window opens half-way, and the
// filter text is built from the profile's settings once its last line is in.
void frmMain::chkWatermark_Click()
{
    if (m_settings.text(settings::WatermarkFilter).isEmpty())
        m_forms.watermarkOptions().showModal();
}

void frmMain::cmdWMOptions_Click()
{
    m_forms.watermarkOptions().showModal();
}

void frmMain::watermarkSaved()
{
    if (m_settings.value(settings::Watermark) == 0)
        m_settings.setValue(settings::Watermark, 1);
}

namespace {
// The time fields take digits and Backspace; every other typed character,
// control codes included, is dropped before it reaches the text.
void digitsAndBackspaceOnly(int &keyAscii)
{
    const bool digit = keyAscii >= '0' && keyAscii <= '9';
    if (!digit && keyAscii != 8)
        keyAscii = 0;
}
} // namespace

void frmMain::txtFrameMinute_KeyPress(int &keyAscii)
{
    digitsAndBackspaceOnly(keyAscii);
}

void frmMain::txtFrameSecond_KeyPress(int &keyAscii)
{
    digitsAndBackspaceOnly(keyAscii);
}
