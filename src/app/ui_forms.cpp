#include "app/ui_forms.h"

#include "app/frmMain.h"
#include "process/frmProgress.h"
#include "watermark/frmWatermarkOptions.h"

#include <QCoreApplication>

// The artwork lives in the widgets library's resources; a static library has
// to register them itself.
static void initResources()
{
    Q_INIT_RESOURCE(vidlark);
}

Forms::Forms(IPrompts &prompts, const QString &appFolder) : m_prompts(prompts), m_appFolder(appFolder)
{
    while (m_appFolder.size() > 1 && m_appFolder.endsWith(QLatin1Char('/')))
        m_appFolder.chop(1);
    m_progress = std::make_unique<ProgressWindowRunner>(m_prompts, m_appFolder);
    initResources();
    endProgram = [] { QCoreApplication::exit(0); };
}

Forms::~Forms() = default;

frmMain *Forms::main() const
{
    return m_main.data();
}

void Forms::setMain(frmMain *window)
{
    m_main = window;
}

frmWatermarkOptions &Forms::watermarkOptions()
{
    return m_watermark.get([this] {
        auto *dialog = new frmWatermarkOptions(m_prompts, m_settings, m_appFolder, m_main);
        QObject::connect(dialog, &frmWatermarkOptions::saved, dialog, [this] {
            if (m_main)
                m_main->watermarkSaved();
        });
        return dialog;
    });
}
