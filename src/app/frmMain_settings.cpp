// Profiles and the list editors, as reached from the main window's menus,
// and the profile named on the command line.
#include "app/frmMain.h"

#include "common/prompts.h"
#include "common/errors.h"
#include "common/textfiles.h"
#include "common/ui_controls.h"
#include "app/ui_forms.h"
#include "settings/frmVideoBitrates.h"
#include "settings/frmVideoWindowSizes.h"
#include "settings/profile.h"
#include "watermark/frmWatermarkOptions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QScopeGuard>

namespace {

const QString profileFilter = QStringLiteral("Vidlark Web Video Encoder Profile|*.vlp");

// The settings as a profile stores them, read from the controls now.
profile::Values gatherProfile(frmMain &w)
{
    using namespace profile;
    Values v;
    v[Signature] = QString::fromLatin1(signature);
    v[FLV] = checkStateText(ui::checkValue(w.chkFLV));
    v[Mp4] = checkStateText(ui::checkValue(w.chkMp4));
    v[Webm] = checkStateText(ui::checkValue(w.chkWebm));
    v[KeepWindowSize] = optionText(w.optVideoWindowOriginal->isChecked());
    v[ResizeWindow] = optionText(w.optVideoWindowResize->isChecked());
    v[WindowSize] = listIndexText(w.cmbVideoWindow->currentIndex());
    v[VideoBitrate] = listIndexText(w.cmbVideoBitrate->currentIndex());
    v[VideoFrameRate] = listIndexText(w.cmbVideoFrameRate->currentIndex());
    v[Watermark] = checkStateText(ui::checkValue(w.chkWatermark));
    v[GrabStillImage] = checkStateText(ui::checkValue(w.chkGrabStillImage));
    v[StillMinute] = w.txtFrameMinute->text();
    v[StillSecond] = w.txtFrameSecond->text();
    // The watermark settings are stored whether the watermark is on or not.
    frmWatermarkOptions &wm = w.forms().watermarkOptions();
    v[TextWatermark] = optionText(wm.optTextWM->isChecked());
    v[ImageWatermark] = optionText(wm.optImageWM->isChecked());
    v[TopLeft] = optionText(wm.optTopLeft->isChecked());
    v[TopRight] = optionText(wm.optTopRight->isChecked());
    v[BottomLeft] = optionText(wm.optBottomLeft->isChecked());
    v[BottomRight] = optionText(wm.optBottomRight->isChecked());
    v[WatermarkText] = wm.txtWatermark->text();
    v[FontName] = listIndexText(wm.cmbWMFontName->currentIndex());
    v[FontFile] = listIndexText(wm.cmbWMFontFileName->currentIndex());
    v[FontSize] = listIndexText(wm.cmbWMFontSize->currentIndex());
    v[FontColorText] = wm.txtWMFontColor->text();
    v[FontColor] = colorText(wm.txtWMFontColor->foreColor());
    v[Transparency] = wm.txtWMAlpha->text();
    v[ImagePath] = wm.lblWMImagePath->caption();
    v[AudioBitrate] = listIndexText(w.cmbAudioBitrate->currentIndex());
    v[AudioSamplerate] = listIndexText(w.cmbAudioSamplerate->currentIndex());
    return v;
}

void selectIndex(QComboBox *list, const QString &value)
{
    list->setCurrentIndex(profile::listIndex(value, list->count()));
}

// Applies one line (1 to 28) through its control, so the control's own
// reaction runs as it does for the user. Throws RuntimeError for a value the
// control does not take.
void applyProfileLine(frmMain &w, int line, const QString &value)
{
    using namespace profile;
    frmWatermarkOptions &wm = w.forms().watermarkOptions();
    switch (line) {
    case FLV: ui::setCheckValue(w.chkFLV, checkState(value)); break;
    case Mp4: ui::setCheckValue(w.chkMp4, checkState(value)); break;
    case Webm: ui::setCheckValue(w.chkWebm, checkState(value)); break;
    case KeepWindowSize: ui::setOption(w.optVideoWindowOriginal, optionState(value)); break;
    case ResizeWindow: ui::setOption(w.optVideoWindowResize, optionState(value)); break;
    case WindowSize: selectIndex(w.cmbVideoWindow, value); break;
    case VideoBitrate: selectIndex(w.cmbVideoBitrate, value); break;
    case VideoFrameRate: selectIndex(w.cmbVideoFrameRate, value); break;
    case Watermark: ui::setCheckValue(w.chkWatermark, checkState(value)); break;
    case GrabStillImage: ui::setCheckValue(w.chkGrabStillImage, checkState(value)); break;
    case StillMinute: w.txtFrameMinute->setText(value); break;
    case StillSecond: w.txtFrameSecond->setText(value); break;
    case TextWatermark: ui::setOption(wm.optTextWM, optionState(value)); break;
    case ImageWatermark: ui::setOption(wm.optImageWM, optionState(value)); break;
    case TopLeft: ui::setOption(wm.optTopLeft, optionState(value)); break;
    case TopRight: ui::setOption(wm.optTopRight, optionState(value)); break;
    case BottomLeft: ui::setOption(wm.optBottomLeft, optionState(value)); break;
    case BottomRight: ui::setOption(wm.optBottomRight, optionState(value)); break;
    case WatermarkText: wm.txtWatermark->setText(value); break;
    case FontName: selectIndex(wm.cmbWMFontName, value); break;
    case FontFile: selectIndex(wm.cmbWMFontFileName, value); break;
    case FontSize: selectIndex(wm.cmbWMFontSize, value); break;
    case FontColorText: wm.txtWMFontColor->setText(value); break;
    case FontColor: {
        const quint32 color = colorValue(value);
        wm.txtWMFontColor->setForeColor(color);
        ui::setForeColor(wm.lblWMPreview, color);
        break;
    }
    case Transparency: wm.txtWMAlpha->setText(value); break;
    case ImagePath: wm.lblWMImagePath->setCaption(value); break;
    case AudioBitrate: selectIndex(w.cmbAudioBitrate, value); break;
    case AudioSamplerate: selectIndex(w.cmbAudioSamplerate, value); break;
    default: break;
    }
}

} // namespace

void frmMain::mnuSaveProfile_Click()
{
    IPrompts &prompts = m_forms.prompts();
    const std::optional<QString> chosen = prompts.saveFile(QStringLiteral("Save Profile"), profileFilter, true);
    if (!chosen || chosen->isEmpty())
        return;
    const QString path = *chosen;
    try {
        textfiles::writeBytesAtomically(path, profile::encodeProfile(gatherProfile(*this)));
    } catch (const Refusal &refusal) {
        showRefusal(prompts, refusal);
        return;
    } catch (const RuntimeError &e) {
        showGeneralError(prompts, e);
        return;
    }
    prompts.notice(QStringLiteral("PROFILE SAVED AS ") + path, QStringLiteral(" Message"));
}

void frmMain::mnuLoadProfile_Click()
{
    const std::optional<QString> chosen =
        m_forms.prompts().openFile(QStringLiteral("Load Profile"), profileFilter, false);
    if (!chosen || chosen->isEmpty())
        return;
    LoadProfile(*chosen);
}

void frmMain::LoadProfile(const QString &path)
{
    IPrompts &prompts = m_forms.prompts();
    m_applyingProfile = true;
    const auto applied = qScopeGuard([this] { m_applyingProfile = false; });
    try {
        // Only what a profile can hold is read: a video picked by mistake
        // ends at its first line, lines after the last setting are never read.
        intProfileLine = 0;
        const profile::ProfileFile file = profile::readProfileFile(path);
        if (!file.valid) {
            // A wrong signature, or a line longer than any saved profile
            // holds: nothing is applied.
            prompts.error(QStringLiteral("NOT A VALID VIDLARK WEB VIDEO ENCODER PROFILE!"));
            return;
        }
        try {
            for (intProfileLine = 0; intProfileLine < file.lines.size(); ++intProfileLine) {
                const QString &value = file.lines.at(intProfileLine);
                if (intProfileLine != profile::Signature)
                    applyProfileLine(*this, intProfileLine, value);
            }
        } catch (const RuntimeError &e) {
            // Loading stops at the failing line; the lines before it stay
            // applied, and the watermark follows what was applied.
            showGeneralError(prompts, e);
        }
        // The watermark drawn is the one the dialog now holds.
        if (!m_forms.watermarkOptions().rebuildAfterProfile(ui::checkValue(chkWatermark) == 1))
            ui::setCheckValue(chkWatermark, 0);
    } catch (const RuntimeError &e) {
        showGeneralError(prompts, e);
    }
}

void frmMain::mnuVideoRates_Click()
{
    {
        frmVideoBitrates editor(m_forms.prompts(), m_forms.appFolder(), this);
        editor.exec();
    }
    // Saved or not, the list shows the file again with its start selection.
    LoadVideoBitrates();
}

void frmMain::mnuVideoWindowSizes_Click()
{
    {
        frmVideoWindowSizes editor(m_forms.prompts(), m_forms.appFolder(), this);
        editor.exec();
    }
    LoadVideoWindowSizes();
}

void frmMain::applyCommandLineProfile()
{
    // The shell has already removed the quotes around a path, so the first
    // argument is the path as it stands; a launcher that passes the quotes
    // through gets them removed here, only when both are there.
    strCommandArg = m_forms.arguments.value(0);
    if (!strCommandArg.isEmpty()) {
        if (strCommandArg.size() >= 2 && strCommandArg.startsWith(QLatin1Char('"'))
            && strCommandArg.endsWith(QLatin1Char('"')))
            strCommandArg = strCommandArg.mid(1, strCommandArg.size() - 2);
        LoadProfile(strCommandArg);
    }

    // Diagnostic for automated checks of the start-up: when the environment
    // variable VIDLARK_DUMP_SETTINGS names a file, the settings as a profile
    // would store them are written there in plain UTF-8, one "line=value" a
    // line, once start-up is complete. Nothing is written without it.
    const QString dumpPath = qEnvironmentVariable("VIDLARK_DUMP_SETTINGS");
    if (!dumpPath.isEmpty()) {
        const profile::Values values = gatherProfile(*this);
        QString dump;
        for (int line = 0; line < profile::lineCount; ++line)
            dump += QString::number(line) + QLatin1Char('=') + values[size_t(line)] + QLatin1Char('\n');
        try {
            textfiles::writeBytesAtomically(dumpPath, dump.toUtf8());
        } catch (const RuntimeError &) {
            // A diagnostic that cannot be written changes nothing.
        }
    }
}
