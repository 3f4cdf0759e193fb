// "Start Encoding": the request as the controls hold it, run by the encode
// job through the progress window; the window then takes the user to what
// a refused request must mend.
#include "app/frmMain.h"

#include "app/ui_forms.h"
#include "encode/encodejob.h"
#include "process/frmProgress.h"
#include "common/ui_controls.h"
#include "watermark/frmWatermarkOptions.h"

#include <QCheckBox>
#include <QComboBox>
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
        const mdlDOSPipe::RunResult result = m_runner.run(ToolRun{m_box->text(), run.kind, run.source, run.output});
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
    if (result.refusedSubject == 0) {
        lastMade = result.made;
        return;
    }
    using namespace encode;
    const auto focus = [](QWidget *control, bool selectAll) {
        control->setFocus();
        if (auto *box = qobject_cast<QLineEdit *>(control); box && selectAll)
            box->selectAll();
    };
    switch (result.refusedSubject) {
    case ChooseSource: cmdInput_Click(); break;
    case ChooseOutputFolder: cmdOutDir_Click(); break;
    case ChooseFormat: focus(chkFLV, false); break;
    case FlvName: focus(txtOutFileFLV, false); break;
    case Mp4Name: focus(txtOutFileMp4, false); break;
    case WebmName: focus(txtOutFileWebm, false); break;
    case RenameFlv: focus(txtOutFileFLV, true); break;
    case RenameMp4: focus(txtOutFileMp4, true); break;
    case RenameWebm: focus(txtOutFileWebm, true); break;
    case StillMinute: focus(txtFrameMinute, true); break;
    case StillSecond: focus(txtFrameSecond, true); break;
    case SaveWatermark: cmdWMOptions_Click(); break;
    default: break;
    }
}
