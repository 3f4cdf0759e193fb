#include "mp4fix/frmFixMp4.h"

#include "app/mdlMain.h"
#include "app/prompts.h"
#include "app/runtimeerror.h"
#include "app/ui_controls.h"
#include "app/ui_forms.h"
#include "mp4fix/fixmp4.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QUrl>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QVBoxLayout>

frmFixMp4::frmFixMp4(Forms &forms, QWidget *parent) : QDialog(parent), m_forms(forms)
{
    setObjectName(QStringLiteral("frmFixMp4"));
    setWindowTitle(QStringLiteral("Make Mp4 Streamable"));
    setFont(ui::standardFont());

    Frame1 = ui::named(new QGroupBox(this), "Frame1");
    cmdInput = ui::named(new QPushButton(QStringLiteral("&Select Mp4..."), Frame1), "cmdInput", QStringLiteral(" Select the Mp4 file "));
    lblMp4Path = ui::named(new CaptionLabel(Frame1, true), "lblMp4Path");
    lblMp4Path->showAsPath(QStringLiteral("Mp4 file"), 380);
    auto *row = new QHBoxLayout(Frame1);
    row->addWidget(cmdInput);
    row->addWidget(lblMp4Path, 1);

    cmdExit = ui::named(new QPushButton(QStringLiteral("E&xit"), this), "cmdExit", QStringLiteral(" Close this window "));
    cmdMakeStreamable = ui::named(new QPushButton(QStringLiteral("&Make Streamable"), this), "cmdMakeStreamable", QStringLiteral(" Make Mp4 streamable "));
    cmdMakeStreamable->setDefault(true);
    txtApp = ui::named(new QLineEdit(this), "txtApp");
    txtApp->hide();

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
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!urls.isEmpty() && urls.first().isLocalFile() && !QFileInfo(urls.first().toLocalFile()).isDir())
        event->acceptProposedAction();
}

void frmFixMp4::dropEvent(QDropEvent *event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile())
        return;
    const QString path = urls.first().toLocalFile();
    if (QFileInfo(path).isDir())
        return;
    event->acceptProposedAction();
    lblMp4Path->setCaption(path);
}

void frmFixMp4::cmdInput_Click()
{
    const std::optional<QString> chosen = m_forms.prompts().openFile(
        QStringLiteral("Select Mp4 File"), QStringLiteral("Mp4 Video File|*.mp4;.m4v;f4v"), false);
    if (chosen && !chosen->isEmpty())
        lblMp4Path->setCaption(*chosen);
}

void frmFixMp4::cmdMakeStreamable_Click()
{
    IPrompts &prompts = m_forms.prompts();
    if (lblMp4Path->caption().isEmpty()) {
        cmdInput_Click();
        return;
    }
    mp4fix::FixNames names;
    try {
        names = mp4fix::deriveNames(lblMp4Path->caption());
    } catch (const RuntimeError &e) {
        showGeneralError(prompts, e);
        return;
    }

    // The tool writes F: whatever a link there leads to would be destroyed.
    const QString unsafe = mp4fix::removeUnsafeFixedFile(names);
    if (!unsafe.isEmpty()) {
        prompts.error(QStringLiteral("Mp4 COULD NOT BE WRITTEN TO ") + names.fixed + QStringLiteral(" (") + unsafe
                      + QStringLiteral(")."));
        return;
    }

    // The tool never runs without its working copy; the source is only read.
    QString why;
    {
        // A large file takes a while to copy.
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
        why = copySourceToWork(names);
    }
    if (!why.isEmpty()) {
        prompts.error(QStringLiteral("Mp4 COULD NOT BE COPIED TO ") + names.work + QStringLiteral(" (") + why
                      + QStringLiteral(")."));
        return;
    }

    txtApp->clear();
    txtApp->setText(mp4fix::faststartCommand(m_forms.appFolder(), names));
    mdlMain::strCommandLine = txtApp->text();
    m_forms.showProgressModal();
    txtApp->clear();

    if (QFileInfo::exists(names.work) && !QFile::remove(names.work))
        prompts.error(QStringLiteral("Mp4 WORKING COPY COULD NOT BE DELETED: ") + names.work);

    if (QFileInfo(names.fixed).isFile()) {
        prompts.notice(QStringLiteral("Mp4 MADE STREAMABLE BY FIXING MOOV ATOM."), QStringLiteral(" Message"));
        prompts.showInFileManager(names.source);
    } else {
        prompts.notice(QStringLiteral("Mp4 IS ALREADY STREAMABLE."), QStringLiteral(" Message"));
    }
}

QString frmFixMp4::copySourceToWork(const mp4fix::FixNames &names)
{
    return mp4fix::copyToWorkFile(names);
}

void frmFixMp4::cmdExit_Click()
{
    accept();
}
