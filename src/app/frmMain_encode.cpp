// "Start Encoding": the request as the controls hold it, run by the encode
// job through the progress window; the window then takes the user to what
// a refused request must mend. Tools > "Copy HTML5 Video Tag": the <video>
// element for the videos the last request made, put on the clipboard.
#include "app/frmMain.h"

#include "app/ui_forms.h"
#include "encode/encodejob.h"
#include "process/frmProgress.h"
#include "common/ui_controls.h"
#include "watermark/frmWatermarkOptions.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QRadioButton>

namespace {

// Every run of a request passes through the hidden text box txtApp.
class MainWindowRunner : public IToolRunner
{
public:
    MainWindowRunner(QLineEdit *box, IToolRunner &runner) : m_box(box), m_runner(runner) {}
    mdlDOSPipe::RunResult run(const ToolRun &run) override
    {
        m_box->setText(run.commandLine);
        ToolRun shown = run;
        shown.commandLine = m_box->text();
        const mdlDOSPipe::RunResult result = m_runner.run(shown);
        m_box->clear();
        return result;
    }

private:
    QLineEdit *m_box;
    IToolRunner &m_runner;
};

} // namespace

encode::Request frmMain::encodeRequest()
{
    encode::Request r;
    r.appFolder = m_forms.appFolder();
    r.source = lblInput->caption();
    r.outDir = lblOutDir->caption();
    r.flv = ui::checkValue(chkFLV);
    r.mp4 = ui::checkValue(chkMp4);
    r.webm = ui::checkValue(chkWebm);
    r.flvName = txtOutFileFLV->text();
    r.mp4Name = txtOutFileMp4->text();
    r.webmName = txtOutFileWebm->text();
    r.videoBitrate = cmbVideoBitrate->currentText();
    r.frameRate = cmbVideoFrameRate->currentText();
    r.originalWindowSize = optVideoWindowOriginal->isChecked();
    r.windowSize = cmbVideoWindow->currentText();
    r.watermark = ui::checkValue(chkWatermark);
    const frmWatermarkOptions &watermark = m_forms.watermarkOptions();
    r.watermarkFilter = watermark.txtWMString->text();
    r.imageWatermark = watermark.optImageWM->isChecked();
    r.pictureName = watermark.lblWMImageName->caption();
    r.picturePath = watermark.lblWMImagePath->caption();
    r.stillImage = ui::checkValue(chkGrabStillImage);
    r.minute = txtFrameMinute->text();
    r.second = txtFrameSecond->text();
    r.audioBitrate = cmbAudioBitrate->currentText();
    r.sampleRate = cmbAudioSamplerate->currentText();
    return r;
}

void frmMain::cmdEncode_Click()
{
    MainWindowRunner runner(txtApp, m_forms.progress());
    const encode::JobResult result = encode::runEncodeJob(encodeRequest(), m_forms.prompts(), runner);
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
    case Subject::RenameFlv: focus(txtOutFileFLV, true); break;
    case Subject::RenameMp4: focus(txtOutFileMp4, true); break;
    case Subject::RenameWebm: focus(txtOutFileWebm, true); break;
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
    for (QString *path : {&made.mp4, &made.webm, &made.stillImage})
        if (!path->isEmpty() && !QFileInfo(*path).isFile())
            path->clear();
    if (!videotag::hasVideo(made)) {
        prompts.notice(QStringLiteral("NO VIDEO MADE YET! ENCODE TO MP4 OR WEBM FIRST."));
        return;
    }
    made.size = videotag::probeVideoSize(m_forms.appFolder(), made.webm.isEmpty() ? made.mp4 : made.webm);
    QGuiApplication::clipboard()->setText(videotag::html5VideoTag(made));
    prompts.notice(QStringLiteral("HTML5 VIDEO TAG COPIED TO THE CLIPBOARD."));
}
