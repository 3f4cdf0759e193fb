// Profiles and the list editors, as reached from the main window's menus,
// and the profile named on the command line.
#include "app/frmMain.h"

#include "app/ui_forms.h"
#include "common/errors.h"
#include "common/prompts.h"
#include "common/textfiles.h"
#include "settings/encodesettings.h"
#include "settings/frmListEditor.h"
#include "settings/profile.h"
#include "watermark/frmWatermarkOptions.h"

namespace {

const QString profileFilter = QStringLiteral("Vidlark Web Video Encoder Profile|*.vlp");

} // namespace

void frmMain::mnuSaveProfile_Click()
{
    IPrompts &prompts = m_forms.prompts();
    const std::optional<QString> chosen =
        prompts.saveFile(QStringLiteral("Save Profile"), profileFilter, true);
    if (!chosen || chosen->isEmpty())
        return;
    const QString path = *chosen;
    try {
        textfiles::writeBytesAtomically(path, profile::encodeProfile(m_settings.values()));
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
    try {
        // Only what a profile can hold is read: a video picked by mistake
        // ends at its first line, lines after the last setting are never read.
        const profile::ProfileFile file = profile::readProfileFile(path);
        if (!file.valid) {
            // A wrong signature, or a line longer than any saved profile
            // holds: nothing is applied.
            prompts.error(QLatin1String(profile::notAProfile));
            return;
        }
        try {
            m_settings.applyLines(file.lines);
        } catch (const RuntimeError &e) {
            // Loading stops at the failing line; the lines before it stay
            // applied, and the watermark follows what was applied.
            showGeneralError(prompts, e);
        }
        // The watermark drawn is the one the settings now describe.
        if (!m_forms.watermarkOptions().rebuildAfterProfile(m_settings.value(settings::Watermark) == 1))
            m_settings.setValue(settings::Watermark, 0);
    } catch (const RuntimeError &e) {
        showGeneralError(prompts, e);
    }
}

void frmMain::mnuVideoRates_Click()
{
    {
        frmListEditor editor(frmListEditor::List::VideoBitrates, m_forms.prompts(), m_forms.appFolder(),
                             this);
        editor.exec();
    }
    // Saved or not, the list shows the file again with its start selection.
    LoadVideoBitrates();
}

void frmMain::mnuVideoWindowSizes_Click()
{
    {
        frmListEditor editor(frmListEditor::List::VideoWindowSizes, m_forms.prompts(), m_forms.appFolder(),
                             this);
        editor.exec();
    }
    LoadVideoWindowSizes();
}

void frmMain::applyCommandLineProfile()
{
    // The shell has already removed the quotes around a path, so the first
    // argument is the path as it stands; a launcher that passes the quotes
    // through gets them removed here, only when both are there.
    QString argument = m_forms.arguments.value(0);
    if (!argument.isEmpty()) {
        if (argument.size() >= 2 && argument.startsWith(QLatin1Char('"'))
            && argument.endsWith(QLatin1Char('"')))
            argument = argument.mid(1, argument.size() - 2);
        LoadProfile(argument);
    }

    // Diagnostic for automated checks of the start-up: when the environment
    // variable VIDLARK_DUMP_SETTINGS names a file, the settings as a profile
    // would store them are written there in plain UTF-8, one "line=value" a
    // line, once start-up is complete. Nothing is written without it.
    const QString dumpPath = qEnvironmentVariable("VIDLARK_DUMP_SETTINGS");
    if (!dumpPath.isEmpty()) {
        const profile::Values values = m_settings.values();
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
