// Step 1 of the main window (source, output folder, output names) and the
// small reactions of step 2: the window-size list, the watermark box and its
// options button, and the time-field keys.
#include "app/frmMain.h"

#include "common/prompts.h"
#include "common/errors.h"
#include "encode/outputnames.h"
#include "common/ui_controls.h"
#include "app/ui_forms.h"
#include "watermark/frmWatermarkOptions.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>

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
    IPrompts &prompts = m_forms.prompts();
    try {
        lblInput->setCaption(path);

        // An unlocked output folder follows each new source; a locked one is
        // only filled when it is still empty.
        const QString folder = outputnames::folderPart(path);
        if (ui::checkValue(chkLockLocation) == 1) {
            if (lblOutDir->caption().isEmpty())
                lblOutDir->setCaption(folder);
        } else {
            lblOutDir->setCaption(folder);
        }
        lblOutDir->setCaption(outputnames::withTrailingSlash(lblOutDir->caption()));

        strSourceNameParts = outputnames::nameParts(outputnames::fileTitle(path));
        SetOutputFileNames();
    } catch (const RuntimeError &e) {
        showGeneralError(prompts, e);
    }
}

void frmMain::SetOutputFileNames()
{
    const QString source = lblInput->caption();
    if (!source.isEmpty()) {
        const QString base = outputnames::baseName(strSourceNameParts);
        txtOutFileFLV->setText(base + QStringLiteral(".flv"));
        txtOutFileMp4->setText(base + QStringLiteral(".mp4"));
        txtOutFileWebm->setText(base + QStringLiteral(".webm"));
    }
    // An output that would be the source file itself gets "conv_" in front.
    const QString folder = lblOutDir->caption();
    for (QLineEdit *box : {txtOutFileFLV, txtOutFileMp4, txtOutFileWebm})
        box->setText(outputnames::outputName(folder, box->text(), source));
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
    IPrompts &prompts = m_forms.prompts();
    try {
        if (!folder.isEmpty())
            lblOutDir->setCaption(folder);
        if (!lblOutDir->caption().isEmpty())
            lblOutDir->setCaption(outputnames::withTrailingSlash(lblOutDir->caption()));
    } catch (const RuntimeError &e) {
        showGeneralError(prompts, e);
    }
}

void frmMain::cmbVideoWindow_Click()
{
    optVideoWindowResize->setChecked(true);
}

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

void frmMain::watermarkSaved()
{
    if (ui::checkValue(chkWatermark) == 0)
        ui::setCheckValue(chkWatermark, 1);
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
