#include "settings/frmListEditor.h"

#include "common/errors.h"
#include "common/mdlMain.h"
#include "common/prompts.h"
#include "common/textfiles.h"
#include "common/ui_controls.h"
#include "settings/listfiles.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QVBoxLayout>

namespace {

// What tells the two editors apart: names, texts and the file.
struct Design {
    const char *window;
    const char *title;
    const char *captionName;
    const char *caption;
    const char *boxName;
    const char *tooltip;
    const char *spoken;
    const char *informationName;
    const char *information;
};

const Design &designOf(frmListEditor::List list)
{
    static const Design bitrates{
        "frmVideoBitrates",
        "Video Bitrates",
        "lblVideoBitrates",
        "Video Bitrates in Kbps:",
        "txtVideoBitrates",
        " List of available video bitrates ",
        "Video Bitrates in Kbps",
        "lblInformation",
        "Video bitrates are available on the software. You can edit them or add new bitrate values. Remember "
        "if "
        "you are not sure about video bitrates, it is suggested not to alter these."};
    static const Design windowSizes{"frmVideoWindowSizes",
                                    "Video Window Sizes",
                                    "Label2",
                                    "WidthxHeight Custom Text:",
                                    "txtVideoWindowSizes",
                                    " List of available video window sizes  ",
                                    "Video window sizes, WidthxHeight Custom Text",
                                    "Label1",
                                    "You can edit or add new video window sizes. Remember if you are not "
                                    "sure about video window sizes, it is "
                                    "suggested not to alter these. Also ensure you follow the proper format "
                                    "when you add a new one or alter "
                                    "an existing one."};
    return list == frmListEditor::List::VideoBitrates ? bitrates : windowSizes;
}

QPushButton *button(QWidget *parent, const char *name, const QString &caption, const QString &tooltip)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    ui::describe(b, tooltip);
    b->setAutoDefault(false);
    return b;
}

} // namespace

frmListEditor::frmListEditor(List list, IPrompts &prompts, const QString &appFolder, QWidget *parent)
    : QDialog(parent), m_prompts(prompts), m_bitrates(list == List::VideoBitrates),
      m_filePath(m_bitrates ? listfiles::bitratesPath(appFolder) : listfiles::windowSizesPath(appFolder))
{
    setFont(ui::standardFont());
    buildControls(list);
    connect(cmdSave, &QPushButton::clicked, this, &frmListEditor::cmdSave_Click);
    connect(cmdExit, &QPushButton::clicked, this, &frmListEditor::cmdExit_Click);
    txtList->installEventFilter(this);
    Form_Load();
}

void frmListEditor::buildControls(List list)
{
    const Design &d = designOf(list);
    setObjectName(QLatin1String(d.window));
    setWindowTitle(QLatin1String(d.title));

    Frame1 = new QGroupBox(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    // The buttons come first in the tab order.
    cmdSave = button(this, "cmdSave", QStringLiteral("&Save"), QStringLiteral(" Save "));
    cmdExit = button(this, "cmdExit", QStringLiteral("E&xit"), QStringLiteral(" Close this window "));
    lblCaption = new QLabel(QLatin1String(d.caption), Frame1);
    lblCaption->setObjectName(QLatin1String(d.captionName));
    txtList = new QPlainTextEdit(Frame1);
    txtList->setObjectName(QLatin1String(d.boxName));
    ui::describe(txtList, QLatin1String(d.tooltip), QLatin1String(d.spoken));
    lblInformation = new QLabel(QLatin1String(d.information), Frame1);
    lblInformation->setObjectName(QLatin1String(d.informationName));
    lblCaption->setBuddy(txtList);
    txtList->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtList->setTabChangesFocus(true);
    txtList->setMinimumSize(320, 240);
    lblInformation->setWordWrap(true);
    auto *frameLayout = new QVBoxLayout(Frame1);
    frameLayout->addWidget(lblCaption);
    frameLayout->addWidget(txtList, 1);
    frameLayout->addWidget(lblInformation);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdExit);
    buttons->addWidget(cmdSave);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Frame1, 1);
    layout->addLayout(buttons);
    txtList->setFocus();
}

void frmListEditor::Form_Load()
{
    try {
        txtList->setPlainText(listfiles::editorText(textfiles::readBytes(m_filePath)));
    } catch (const RuntimeError &e) {
        txtList->clear();
        showGeneralError(m_prompts, e);
    }
}

QString frmListEditor::editorText() const
{
    // The raw text keeps non-breaking spaces as they are; its paragraph and
    // line separators are the line ends.
    QString text = txtList->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return text;
}

void frmListEditor::cmdSave_Click()
{
    using namespace mdlMain;
    IPrompts &prompts = m_prompts;
    strMsgAnswer = QString::number(prompts.question(QStringLiteral("DO YOU WANT TO SAVE?")));
    if (strMsgAnswer.toInt() != vbYes)
        return;
    const QString text = editorText();
    // A text without any entry would leave the main window a list with
    // nothing to select, so it counts as nothing, as an empty one does.
    if (!listfiles::hasEntry(text)) {
        prompts.error(QStringLiteral("NOTHING TO SAVE!"));
        return;
    }
    try {
        textfiles::writeBytesAtomically(m_filePath, listfiles::savedBytes(text));
    } catch (const RuntimeError &e) {
        showGeneralError(prompts, e);
        return;
    }
    prompts.notice(QStringLiteral("DATA SAVED."));
}

void frmListEditor::cmdExit_Click()
{
    reject();
}

void frmListEditor::txtList_KeyPress(int &keyAscii)
{
    if (m_bitrates && !listfiles::bitrateKeyAllowed(keyAscii))
        keyAscii = 0;
}

bool frmListEditor::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == txtList && event->type() == QEvent::KeyPress) {
        // Only typed characters (Enter and Backspace among them) go through
        // the filter; editing keys (arrows, Delete, Tab, Esc, Ctrl shortcuts)
        // reach the text box or the window as they are.
        const std::optional<int> typed = ui::typedCharacter(static_cast<QKeyEvent *>(event));
        if (!typed)
            return false;
        int keyAscii = *typed;
        txtList_KeyPress(keyAscii);
        return keyAscii == 0;
    }
    return QDialog::eventFilter(watched, event);
}
