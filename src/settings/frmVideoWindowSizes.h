#pragma once
// Editor of the video window size list (config/configvws.txt), one
// "WidthxHeight Custom Text" per line. Any key is accepted.
#include "settings/frmListEditor.h"

class frmVideoWindowSizes : public frmListEditor
{
    Q_OBJECT
public:
    frmVideoWindowSizes(IPrompts &prompts, const QString &appFolder, QWidget *parent = nullptr);

    QLabel *Label2 = nullptr;
    QPlainTextEdit *txtVideoWindowSizes = nullptr;
    QLabel *Label1 = nullptr;
};
