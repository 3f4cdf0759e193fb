// Step 1 of the main window (source, output folder, output names) and the
// small reactions of step 2: the window-size list and the time-field keys.
#include "app/frmMain.h"

#include "app/prompts.h"
#include "app/runtimeerror.h"
#include "app/selection.h"
#include "app/ui_controls.h"
#include "app/ui_forms.h"

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
        const QString folder = selection::folderPart(path);
        if (ui::checkValue(chkLockLocation) == 1) {
            if (lblOutDir->caption().isEmpty())
                lblOutDir->setCaption(folder);
        } else {
            lblOutDir->setCaption(folder);
        }
        lblOutDir->setCaption(selection::withTrailingSlash(lblOutDir->caption()));

        strSourceNameParts = selection::nameParts(selection::fileTitle(path));
        SetOutputFileNames();
    } catch (const RuntimeError &e) {
        showGeneralError(prompts, e);
    }
}

void frmMain::SetOutputFileNames()
{
    const QString source = lblInput->caption();
    if (!source.isEmpty()) {
        const QString base = selection::baseName(strSourceNameParts);
        txtOutFileFLV->setText(base + QStringLiteral(".flv"));
        txtOutFileMp4->setText(base + QStringLiteral(".mp4"));
        txtOutFileWebm->setText(base + QStringLiteral(".webm"));
    }
    // An output that would be the source file itself gets "conv_" in front.
    const QString folder = lblOutDir->caption();
    for (QLineEdit *box : {txtOutFileFLV, txtOutFileMp4, txtOutFileWebm})
        box->setText(selection::outputName(folder, box->text(), source));
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
            lblOutDir->setCaption(selection::withTrailingSlash(lblOutDir->caption()));
    } catch (const RuntimeError &e) {
        showGeneralError(prompts, e);
    }
}

void frmMain::cmbVideoWindow_Click()
{
    optVideoWindowResize->setChecked(true);
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
