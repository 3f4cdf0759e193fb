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

        // A ticked box without a saved watermark would encode without one.
        frmWatermarkOptions &watermark = m_forms.watermarkOptions();
        if (ui::checkValue(chkWatermark) == 1 && watermark.txtWMString->text().isEmpty()) {
            prompts.notice(QStringLiteral("PLEASE SAVE THE WATERMARK OPTIONS BEFORE ENCODING!"));
            cmdWMOptions_Click();
            return;
        }

        // The option pieces, taken once for the whole request.
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
            const mdlDOSPipe::RunResult result = m_forms.showProgressModal();
            intEncodeKind = 0;
            txtApp->clear();
            return result;
        };
        QString lastOutput;
        bool madeAny = false;
        // What this request makes, for the HTML5 video tag.
        lastMade = videotag::Made();
        lastMade.outDir = state.outDir;
        // Runs one encoder and judges what it did. Returns the outcome, or
        // nothing when the request ends here.
        auto encodeOne = [&](const QString &command, qint16 kind,
                             const QString &output) -> std::optional<encode::Outcome> {
            const encode::FileSnapshot before = encode::FileSnapshot::of(output);
            const mdlDOSPipe::RunResult result = run(command, kind);
            const encode::Outcome outcome = encode::judgeRun(blnCancelled, result, output, before);
            switch (outcome) {
            case encode::Outcome::Cancelled:
                blnCancelled = false;
                if (QFileInfo(output).isFile())
                    QFile::remove(output);
                prompts.notice(QStringLiteral("ENCODING CANCELLED!"));
                return std::nullopt;
            case encode::Outcome::NoOutput:
                prompts.notice(encode::failureNotice(outcome, result));
                return std::nullopt;
            case encode::Outcome::Failed:
                // A broken file nobody can use, and on a full disk it holds
                // the space.
                QFile::remove(output);
                prompts.notice(encode::failureNotice(outcome, result));
                return outcome;
            case encode::Outcome::BadSource:
                prompts.notice(encode::failureNotice(outcome, result));
                return outcome;
            case encode::Outcome::Made:
                lastOutput = output;
                madeAny = true;
                if (kind == 2)
                    lastMade.mp4 = output;
                else if (kind == 3)
                    lastMade.webm = output;
                return outcome;
            }
            return outcome;
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
            const auto outcome = encodeOne(commandlines::mp4Command(values, pieces, extra), 2, mp4);
            if (!outcome)
                return;
            // Made streamable by the faststart tool, which rewrites the file
            // under its own name from the ".temp" copy. A failed encode left
            // nothing to rewrite.
            if (*outcome != encode::Outcome::Failed) {
                const QString temp = commandlines::mp4TempPath(values);
                encode::moveToTemp(mp4, temp);
                const mdlDOSPipe::RunResult faststart = run(commandlines::faststartCommand(values), 0);
                encode::settleFaststart(mp4, temp, faststart.exitCode);
            }
        }
        if (state.webm == 1) {
            values.watermarkFilter = watermark.txtWMString->text();
            if (!encodeOne(commandlines::webmCommand(values, pieces), 3, commandlines::webmOutputPath(values)))
                return;
        }
        if (state.stillImage == 1) {
            const QString image = commandlines::stillImagePath(values);
            const encode::FileSnapshot before = encode::FileSnapshot::of(image);
            const mdlDOSPipe::RunResult result = run(commandlines::stillImageCommand(values, pieces), 0);
            const encode::FileSnapshot after = encode::FileSnapshot::of(image);
            if (after.exists && QFileInfo(image).isFile() && !(before.exists && after == before)) {
                lastMade.stillImage = image;
                madeAny = true;
            } else if (!blnCancelled) {
                prompts.notice(encode::stillImageNotice(result, state.minute, state.second));
            }
        }

        // The picture copy made for the watermark filter is ours to remove.
        if (watermark.optImageWM->isChecked()) {
            const QString copy = encode::pictureCopyToDelete(
                m_forms.appFolder(), watermark.lblWMImageName->caption(),
                QFileInfo(QCoreApplication::applicationFilePath()).fileName());
            if (!copy.isEmpty())
                QFile::remove(copy);
        }

        // Asked only when something was made; the file shown is the last
        // video made, else the still image.
        if (!madeAny)
            return;
        const int answer = prompts.question(encode::finalQuestion(state.outDir));
        strMsgAnswer = QString::number(answer);
        if (answer == vbYes)
            prompts.showInFileManager(lastOutput.isEmpty() ? lastMade.stillImage : lastOutput);
    } catch (const RuntimeError &e) {
        intEncodeKind = 0;
        showGeneralError(prompts, e);
    }
}
