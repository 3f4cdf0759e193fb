#include "settings/frmListEditor.h"

#include "common/mdlMain.h"
#include "common/prompts.h"
#include "common/errors.h"
#include "common/textfiles.h"
#include "common/ui_controls.h"
#include "settings/listfiles.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QVBoxLayout>

frmListEditor::frmListEditor(IPrompts &prompts, QWidget *parent, const QString &filePath,
                             const QString &windowTitle)
    : QDialog(parent), m_prompts(prompts), m_filePath(filePath)
{
    setWindowTitle(windowTitle);
    setFont(ui::standardFont());

    Frame1 = new QGroupBox(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));

    cmdSave = new QPushButton(QStringLiteral("&Save"), this);
    cmdSave->setObjectName(QStringLiteral("cmdSave"));
    ui::describe(cmdSave, QStringLiteral(" Save "));
    cmdSave->setAutoDefault(false);
    cmdExit = new QPushButton(QStringLiteral("E&xit"), this);
    cmdExit->setObjectName(QStringLiteral("cmdExit"));
    ui::describe(cmdExit, QStringLiteral(" Close this window "));
    cmdExit->setAutoDefault(false);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdExit);
    buttons->addWidget(cmdSave);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Frame1, 1);
    layout->addLayout(buttons);

    connect(cmdSave, &QPushButton::clicked, this, &frmListEditor::cmdSave_Click);
    connect(cmdExit, &QPushButton::clicked, this, &frmListEditor::cmdExit_Click);
}

void frmListEditor::placeControls(QLabel *caption, QPlainTextEdit *textBox, QLabel *information)
{
    m_textBox = textBox;
    caption->setBuddy(textBox);
    if (textBox->accessibleName().isEmpty())
        textBox->setAccessibleName(caption->text().remove(QLatin1Char(':')));
    textBox->setLineWrapMode(QPlainTextEdit::NoWrap);
    textBox->setTabChangesFocus(true);
    textBox->setMinimumSize(320, 240);
    information->setWordWrap(true);

    auto *frameLayout = new QVBoxLayout(Frame1);
    frameLayout->addWidget(caption);
    frameLayout->addWidget(textBox, 1);
    frameLayout->addWidget(information);
    textBox->setFocus();
}

void frmListEditor::Form_Load()
{
    try {
        m_textBox->setPlainText(listfiles::editorText(textfiles::readBytes(m_filePath)));
    } catch (const RuntimeError &e) {
        m_textBox->clear();
        showGeneralError(m_prompts, e);
    }
}

QString frmListEditor::editorText() const
{
    // The raw text keeps non-breaking spaces as they are; its paragraph and
    // line separators are the line ends.
    QString text = m_textBox->document()->toRawText();
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
