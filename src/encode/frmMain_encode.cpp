// "Start Encoding": checks the request, builds the command lines and runs
// them one after the other in the progress window, judging each output.
#include "app/frmMain.h"

#include "app/mdlMain.h"
#include "app/prompts.h"
#include "app/runtimeerror.h"
#include "app/ui_controls.h"
#include "app/ui_forms.h"
#include "encode/commandlines.h"
#include "encode/encoderequest.h"
#include "process/mdlDOSPipe.h"
#include "watermark/frmWatermarkOptions.h"
#include "watermark/watermarkfilter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QUrl>

namespace {

// Selects the whole text of a text box.
void SelectAllText(QLineEdit *box)
{
    box->setSelection(0, int(box->text().size()));
}

} // namespace

void frmMain::cmdEncode_Click()
{
    using namespace mdlMain;
    IPrompts &prompts = m_forms.prompts();
    try {
        // The checks, in their order.
        encode::RequestState state;
        state.source = lblInput->caption();
        state.outDir = lblOutDir->caption();
        state.flv = ui::checkValue(chkFLV);
        state.mp4 = ui::checkValue(chkMp4);
        state.webm = ui::checkValue(chkWebm);
        state.flvName = txtOutFileFLV->text();
        state.mp4Name = txtOutFileMp4->text();
        state.webmName = txtOutFileWebm->text();
        state.stillImage = ui::checkValue(chkGrabStillImage);
        state.minute = txtFrameMinute->text();
        state.second = txtFrameSecond->text();
        const auto failure = encode::validate(state, [&prompts](const QString &question) {
            const int answer = prompts.question(question);
            strMsgAnswer = QString::number(answer);
            return answer == vbYes;
        });
        if (failure) {
            if (failure->style == encode::Style::Error)
                prompts.error(failure->message);
            else
                prompts.notice(failure->message);
            QWidget *target = nullptr;
            switch (failure->target) {
            case encode::Target::chkFLV: target = chkFLV; break;
            case encode::Target::txtOutFileFLV: target = txtOutFileFLV; break;
            case encode::Target::txtOutFileMp4: target = txtOutFileMp4; break;
            case encode::Target::txtOutFileWebm: target = txtOutFileWebm; break;
            case encode::Target::txtFrameMinute: target = txtFrameMinute; break;
            case encode::Target::txtFrameSecond: target = txtFrameSecond; break;
            case encode::Target::None: break;
            }
            switch (failure->reaction) {
            case encode::Reaction::OpenSource: cmdInput_Click(); break;
            case encode::Reaction::OpenOutputFolder: cmdOutDir_Click(); break;
            case encode::Reaction::Focus:
                if (target)
                    target->setFocus();
                break;
            case encode::Reaction::FocusSelectAll:
                if (target) {
                    target->setFocus();
                    if (auto *box = qobject_cast<QLineEdit *>(target))
                        SelectAllText(box);
                }
                break;
            }
            return;
        }

        // The option pieces, taken once for the whole request.
        frmWatermarkOptions &watermark = m_forms.watermarkOptions();
        commandlines::EncodeValues values;
        values.appFolder = m_forms.appFolder();
        values.appFolderShort = GetShortPath(values.appFolder);
        values.sourcePath = state.source;
        values.outputFolder = state.outDir;
        values.flvName = state.flvName;
        values.mp4Name = state.mp4Name;
        values.webmName = state.webmName;
        values.originalWindowSize = optVideoWindowOriginal->isChecked();
        values.windowSize = cmbVideoWindow->currentText();
        values.videoBitrate = cmbVideoBitrate->currentText();
        values.frameRate = cmbVideoFrameRate->currentText();
        values.audioBitrate = cmbAudioBitrate->currentText();
        values.sampleRate = cmbAudioSamplerate->currentText();
        values.frameMinute = state.minute;
        values.frameSecond = state.second;
        values.watermark = ui::checkValue(chkWatermark) == 1;
        const commandlines::OptionPieces pieces = commandlines::optionPieces(values);

        // The picture copy an image watermark draws from is removed at the
        // end of every request; a later request with the same settings puts
        // it back first, or the encoder would not find it.
        if (values.watermark && watermark.optImageWM->isChecked()) {
            const QString name = watermark.lblWMImageName->caption();
            const QString picture = watermark.lblWMImagePath->caption();
            const QString program = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
            if (!name.isEmpty() && !QFileInfo::exists(QDir(m_forms.appFolder()).filePath(name))
                && QFileInfo(picture).fileName() == name
                && !watermark::isReservedPictureName(m_forms.appFolder(), name, program)) {
                try {
                    watermark::copyPicture(picture, m_forms.appFolder(), name);
                } catch (const RuntimeError &e) {
                    prompts.error(QStringLiteral("WATERMARK IMAGE COULD NOT BE COPIED! ") + e.description().toUpper()
                                  + QLatin1Char('.'));
                    return;
                }
            }
        }

        // One run through the progress window.
        auto run = [this](const QString &command, qint16 kind) {
            txtApp->setText(command);
            strCommandLine = txtApp->text();
            intEncodeKind = kind;
            m_forms.showProgressModal();
            intEncodeKind = 0;
            txtApp->clear();
        };
        QString lastOutput;
        // What this request makes, for the HTML5 video tag.
        lastMade = videotag::Made();
        lastMade.outDir = state.outDir;
        // Runs one encoder and judges its output; false ends the request.
        auto encodeOne = [&](const QString &command, qint16 kind, const QString &output) {
            const encode::FileSnapshot before = encode::FileSnapshot::of(output);
            run(command, kind);
            switch (encode::judgeOutput(blnCancelled, output, before)) {
            case encode::Outcome::Cancelled:
                blnCancelled = false;
                if (QFileInfo(output).isFile())
                    QFile::remove(output);
                prompts.notice(QStringLiteral("ENCODING CANCELLED!"));
                return false;
            case encode::Outcome::NoOutput:
                prompts.notice(QStringLiteral("UNSUPPORTED FILE!"));
                return false;
            case encode::Outcome::TooSmall:
                prompts.notice(QStringLiteral("ENCODING FAILED! BAD SOURCE FILE."));
                return true;
            case encode::Outcome::Made:
                lastOutput = output;
                if (kind == 2)
                    lastMade.mp4 = output;
                else if (kind == 3)
                    lastMade.webm = output;
                return true;
            }
            return true;
        };

        if (state.flv == 1) {
            values.watermarkFilter = watermark.txtWMString->text();
            const QString extra = commandlines::extraOptions(values, commandlines::OptionFile::Flv);
            if (!encodeOne(commandlines::flvCommand(values, pieces, extra), 1, commandlines::flvOutputPath(values)))
                return;
        }
        if (state.mp4 == 1) {
            values.watermarkFilter = watermark.txtWMString->text();
            const QString extra = commandlines::extraOptions(values, commandlines::OptionFile::Mp4);
            const QString mp4 = commandlines::mp4OutputPath(values);
            if (!encodeOne(commandlines::mp4Command(values, pieces, extra), 2, mp4))
                return;
            // Made streamable by the faststart tool, which rewrites the file
            // under its own name from the ".temp" copy.
            const QString temp = commandlines::mp4TempPath(values);
            encode::moveToTemp(mp4, temp);
            run(commandlines::faststartCommand(values), 0);
            encode::settleFaststart(mp4, temp, mdlDOSPipe::lastExitStatus());
        }
        if (state.webm == 1) {
            values.watermarkFilter = watermark.txtWMString->text();
            if (!encodeOne(commandlines::webmCommand(values, pieces), 3, commandlines::webmOutputPath(values)))
                return;
        }
        if (state.stillImage == 1) {
            run(commandlines::stillImageCommand(values, pieces), 0);
            const QString image = commandlines::stillImagePath(values);
            if (QFileInfo(image).isFile())
                lastMade.stillImage = image;
        }

        // The picture copy made for the watermark filter is ours to remove.
        if (watermark.optImageWM->isChecked()) {
            const QString copy = encode::pictureCopyToDelete(
                m_forms.appFolder(), watermark.lblWMImageName->caption(),
                QFileInfo(QCoreApplication::applicationFilePath()).fileName());
            if (!copy.isEmpty())
                QFile::remove(copy);
        }

        const int answer = prompts.question(encode::finalQuestion(state.outDir));
        strMsgAnswer = QString::number(answer);
        if (answer == vbYes) {
            if (!lastOutput.isEmpty())
                prompts.showInFileManager(lastOutput);
            else
                prompts.openUrl(QUrl::fromLocalFile(state.outDir).toString());
        }
    } catch (const RuntimeError &e) {
        intEncodeKind = 0;
        showGeneralError(prompts, e);
    }
}
