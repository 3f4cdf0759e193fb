#include "settings/frmVideoWindowSizes.h"

#include "common/ui_controls.h"
#include "settings/listfiles.h"

#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>

frmVideoWindowSizes::frmVideoWindowSizes(IPrompts &prompts, const QString &appFolder, QWidget *parent)
    : frmListEditor(prompts, parent, listfiles::windowSizesPath(appFolder),
                    QStringLiteral("Video Window Sizes"))
{
    setObjectName(QStringLiteral("frmVideoWindowSizes"));
    Label2 = new QLabel(QStringLiteral("WidthxHeight Custom Text:"), Frame1);
    Label2->setObjectName(QStringLiteral("Label2"));
    txtVideoWindowSizes = new QPlainTextEdit(Frame1);
    txtVideoWindowSizes->setObjectName(QStringLiteral("txtVideoWindowSizes"));
    ui::describe(txtVideoWindowSizes, QStringLiteral(" List of available video window sizes  "),
                 QStringLiteral("Video window sizes, WidthxHeight Custom Text"));
    Label1 = new QLabel(QStringLiteral("You can edit or add new video window sizes. Remember if you are not sure about "
                                       "video window sizes, it is suggested not to alter these. Also ensure you follow "
                                       "the proper format when you add a new one or alter an existing one."),
                        Frame1);
    Label1->setObjectName(QStringLiteral("Label1"));
    placeControls(Label2, txtVideoWindowSizes, Label1);
    Form_Load();
}
