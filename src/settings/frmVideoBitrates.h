#pragma once
// Editor of the video bitrate list (config/configvbr.txt), one bitrate in
// kbit/s per line. Typing is limited to digits, Backspace, Enter and "x".
#include "settings/frmListEditor.h"

class frmVideoBitrates : public frmListEditor
{
    Q_OBJECT
public:
    frmVideoBitrates(IPrompts &prompts, const QString &appFolder, QWidget *parent = nullptr);

    QLabel *lblVideoBitrates = nullptr;
    QPlainTextEdit *txtVideoBitrates = nullptr;
    QLabel *lblInformation = nullptr;

    // Key filter: set keyAscii to 0 to discard the key.
    void txtVideoBitrates_KeyPress(int &keyAscii);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
