#include "settings/frmVideoBitrates.h"

#include "common/ui_controls.h"
#include "settings/listfiles.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>

frmVideoBitrates::frmVideoBitrates(IPrompts &prompts, const QString &appFolder, QWidget *parent)
    : frmListEditor(prompts, parent, listfiles::bitratesPath(appFolder), QStringLiteral("Video Bitrates"))
{
    setObjectName(QStringLiteral("frmVideoBitrates"));
    lblVideoBitrates = new QLabel(QStringLiteral("Video Bitrates in Kbps:"), Frame1);
    lblVideoBitrates->setObjectName(QStringLiteral("lblVideoBitrates"));
    txtVideoBitrates = new QPlainTextEdit(Frame1);
    txtVideoBitrates->setObjectName(QStringLiteral("txtVideoBitrates"));
    ui::describe(txtVideoBitrates, QStringLiteral(" List of available video bitrates "),
                 QStringLiteral("Video Bitrates in Kbps"));
    lblInformation = new QLabel(
        QStringLiteral("Video bitrates are available on the software. You can edit them or add new bitrate values. "
                       "Remember if you are not sure about video bitrates, it is suggested not to alter these."),
        Frame1);
    lblInformation->setObjectName(QStringLiteral("lblInformation"));
    placeControls(lblVideoBitrates, txtVideoBitrates, lblInformation);
    txtVideoBitrates->installEventFilter(this);
    Form_Load();
}

void frmVideoBitrates::txtVideoBitrates_KeyPress(int &keyAscii)
{
    if (!listfiles::bitrateKeyAllowed(keyAscii))
        keyAscii = 0;
}

bool frmVideoBitrates::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == txtVideoBitrates && event->type() == QEvent::KeyPress) {
        // Only typed characters (Enter and Backspace among them) go through
        // the filter; editing keys (arrows, Delete, Tab, Esc, Ctrl shortcuts)
        // reach the text box or the window as they are.
        const std::optional<int> typed = ui::typedCharacter(static_cast<QKeyEvent *>(event));
        if (!typed)
            return false;
        int keyAscii = *typed;
        txtVideoBitrates_KeyPress(keyAscii);
        return keyAscii == 0;
    }
    return frmListEditor::eventFilter(watched, event);
}
