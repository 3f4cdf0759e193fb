#include "mp4fix/frmFixMp4.h"

#include "common/errors.h"
#include "common/prompts.h"
#include "common/ui_controls.h"
#include "mp4fix/fixmp4.h"
#include "process/toolrunner.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScopeGuard>
#include <QVBoxLayout>

frmFixMp4::frmFixMp4(IPrompts &prompts, const QString &appFolder, IToolRunner &runner, QWidget *parent)
    : QDialog(parent), m_prompts(prompts), m_appFolder(appFolder), m_runner(runner)
{
    setObjectName(QStringLiteral("frmFixMp4"));
    setWindowTitle(QStringLiteral("Make Mp4 Streamable"));
    setFont(ui::standardFont());

    Frame1 = ui::named(new QGroupBox(this), "Frame1");
    cmdInput = ui::named(new QPushButton(QStringLiteral("&Select Mp4..."), Frame1), "cmdInput",
                         QStringLiteral(" Select the Mp4 file "));
    lblMp4Path = ui::named(new CaptionLabel(Frame1, true), "lblMp4Path");
    lblMp4Path->showAsPath(QStringLiteral("Mp4 file"), 380);
    auto *row = new QHBoxLayout(Frame1);
    row->addWidget(cmdInput);
    row->addWidget(lblMp4Path, 1);

    cmdExit = ui::named(new QPushButton(QStringLiteral("E&xit"), this), "cmdExit",
                        QStringLiteral(" Close this window "));
    cmdMakeStreamable = ui::named(new QPushButton(QStringLiteral("&Make Streamable"), this),
                                  "cmdMakeStreamable", QStringLiteral(" Make Mp4 streamable "));
    cmdMakeStreamable->setDefault(true);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdExit);
    buttons->addWidget(cmdMakeStreamable);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Frame1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(cmdInput, &QPushButton::clicked, this, &frmFixMp4::cmdInput_Click);
    connect(cmdMakeStreamable, &QPushButton::clicked, this, &frmFixMp4::cmdMakeStreamable_Click);
    // Esc rejects the dialog, which closes it like Exit.
    connect(cmdExit, &QPushButton::clicked, this, &frmFixMp4::cmdExit_Click);
    setAcceptDrops(true);
}

void frmFixMp4::dragEnterEvent(QDragEnterEvent *event)
{
    const QString path = ui::droppedPath(event->mimeData());
    if (!path.isEmpty() && !QFileInfo(path).isDir())
        event->acceptProposedAction();
}

void frmFixMp4::dropEvent(QDropEvent *event)
{
    const QString path = ui::droppedPath(event->mimeData());
    if (path.isEmpty() || QFileInfo(path).isDir())
        return;
    event->acceptProposedAction();
    lblMp4Path->setCaption(path);
}

void frmFixMp4::cmdInput_Click()
{
    const std::optional<QString> chosen = m_prompts.openFile(
        QStringLiteral("Select Mp4 File"), QStringLiteral("Mp4 Video File|*.mp4;.m4v;f4v"), false);
    if (chosen && !chosen->isEmpty())
        lblMp4Path->setCaption(*chosen);
}

void frmFixMp4::cmdMakeStreamable_Click()
{
    if (lblMp4Path->caption().isEmpty()) {
        cmdInput_Click();
        return;
    }
    try {
        const mp4fix::FixNames names = mp4fix::deriveNames(lblMp4Path->caption());
        // The tool writes F: whatever a link there leads to would be
        // destroyed. It never runs without its working copy; the source is
        // only read.
        mp4fix::removeUnsafeFixedFile(names);
        {
            // A large file takes a while to copy.
            QApplication::setOverrideCursor(Qt::WaitCursor);
            const auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
            mp4fix::copyToWorkFile(names);
        }
        present(mp4fix::makeStreamable(m_runner, m_appFolder, names), names);
    } catch (const RuntimeError &e) {
        showGeneralError(m_prompts, e);
    } catch (const Refusal &refusal) {
        showRefusal(m_prompts, refusal);
    }
}

void frmFixMp4::present(const mp4fix::Outcome &outcome, const mp4fix::FixNames &names)
{
    if (outcome.workLeft)
        m_prompts.error(QStringLiteral("Mp4 WORKING COPY COULD NOT BE DELETED: ") + names.work);
    switch (outcome.made.verdict) {
    case faststart::Verdict::Streamable:
        m_prompts.notice(QStringLiteral("Mp4 MADE STREAMABLE BY FIXING MOOV ATOM."),
                         QStringLiteral(" Message"));
        m_prompts.showInFileManager(names.source);
        break;
    case faststart::Verdict::AlreadyStreamable:
        m_prompts.notice(QStringLiteral("Mp4 IS ALREADY STREAMABLE."), QStringLiteral(" Message"));
        break;
    case faststart::Verdict::NotStreamable:
        m_prompts.error(QStringLiteral("Mp4 NOT MADE STREAMABLE! ") + outcome.made.reason);
        break;
    case faststart::Verdict::Cancelled:
        // The user's own choice: nothing was made, nothing more to say.
        break;
    }
}

void frmFixMp4::cmdExit_Click()
{
    accept();
}
