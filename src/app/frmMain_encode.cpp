// "Start Encoding": the request the settings make, run by the encode job
// through the progress window; the window then takes the user to what
// a refused request must mend. Tools > "Copy HTML5 Video Tag": the <video>
// element for the videos the last request made, put on the clipboard.
#include "app/frmMain.h"

#include "app/ui_forms.h"
#include "encode/encodejob.h"
#include "process/frmProgress.h"

#include <QCheckBox>
#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>

encode::Request frmMain::encodeRequest()
{
    return m_settings.request(m_forms.appFolder());
}

void frmMain::cmdEncode_Click()
{
    const encode::JobResult result =
        encode::runEncodeJob(encodeRequest(), m_forms.prompts(), m_forms.progress());
    if (!result.refusedSubject) {
        lastMade = result.made;
        return;
    }
    using namespace encode;
    const auto focus = [](QWidget *control, bool selectAll) {
        control->setFocus();
        if (auto *box = qobject_cast<QLineEdit *>(control); box && selectAll)
            box->selectAll();
    };
    switch (*result.refusedSubject) {
    case Subject::ChooseSource: cmdInput_Click(); break;
    case Subject::ChooseOutputFolder: cmdOutDir_Click(); break;
    case Subject::ChooseFormat: focus(chkFLV, false); break;
    case Subject::FlvName: focus(txtOutFileFLV, false); break;
    case Subject::Mp4Name: focus(txtOutFileMp4, false); break;
    case Subject::WebmName: focus(txtOutFileWebm, false); break;
    case Subject::HlsName: focus(txtOutFileHls, false); break;
    case Subject::RenameFlv: focus(txtOutFileFLV, true); break;
    case Subject::RenameMp4: focus(txtOutFileMp4, true); break;
    case Subject::RenameWebm: focus(txtOutFileWebm, true); break;
    case Subject::RenameHls: focus(txtOutFileHls, true); break;
    case Subject::StillMinute: focus(txtFrameMinute, true); break;
    case Subject::StillSecond: focus(txtFrameSecond, true); break;
    case Subject::SaveWatermark: cmdWMOptions_Click(); break;
    default: break;
    }
}

void frmMain::mnuCopyVideoTag_Click()
{
    IPrompts &prompts = m_forms.prompts();
    videotag::Made made = lastMade;
    // Only what is still there is offered.
    for (QString *path : {&made.mp4, &made.webm, &made.stillImage, &made.captions})
        if (!path->isEmpty() && !QFileInfo(*path).isFile())
            path->clear();
    if (!made.hls.isEmpty() && !QFileInfo(made.hls + QStringLiteral("/master.m3u8")).isFile())
        made.hls.clear();
    if (!videotag::hasVideo(made)) {
        prompts.notice(QStringLiteral("NO VIDEO MADE YET! ENCODE TO MP4 OR WEBM FIRST."));
        return;
    }
    videotag::describe(m_forms.appFolder(), made);
    QGuiApplication::clipboard()->setText(videotag::html5VideoTag(made));
    prompts.notice(QStringLiteral("HTML5 VIDEO TAG COPIED TO THE CLIPBOARD."));
}
