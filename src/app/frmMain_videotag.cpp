// Tools > "Copy HTML5 Video Tag": the <video> element for the videos the
// last request made, put on the clipboard.
#include "app/frmMain.h"

#include "common/appfolder.h"
#include "common/prompts.h"
#include "app/ui_forms.h"
#include "encode/videotag.h"

#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>

namespace {

// The width and height of a made video, from what the engine's ffmpeg
// prints about it.
QSize madeVideoSize(const QString &appFolder, const QString &video)
{
    QProcess probe;
    probe.setProcessChannelMode(QProcess::MergedChannels);
    probe.setStandardInputFile(QProcess::nullDevice());
    probe.start(appfolder::joinPath(appFolder, QStringLiteral("engine/ffmpeg")),
                {QStringLiteral("-hide_banner"), QStringLiteral("-i"), video});
    if (!probe.waitForFinished(15000)) {
        probe.kill();
        probe.waitForFinished();
        return QSize();
    }
    return videotag::videoSizeFromProbe(QString::fromUtf8(probe.readAll()));
}

} // namespace

void frmMain::mnuCopyVideoTag_Click()
{
    IPrompts &prompts = m_forms.prompts();
    videotag::Made made = lastMade;
    // Only what is still there is offered.
    for (QString *path : {&made.mp4, &made.webm, &made.stillImage})
        if (!path->isEmpty() && !QFileInfo(*path).isFile())
            path->clear();
    if (!videotag::hasVideo(made)) {
        prompts.notice(QStringLiteral("NO VIDEO MADE YET! ENCODE TO MP4 OR WEBM FIRST."));
        return;
    }
    made.size = madeVideoSize(m_forms.appFolder(), made.webm.isEmpty() ? made.mp4 : made.webm);
    QGuiApplication::clipboard()->setText(videotag::html5VideoTag(made));
    prompts.notice(QStringLiteral("HTML5 VIDEO TAG COPIED TO THE CLIPBOARD."));
}
