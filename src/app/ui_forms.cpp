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

Forms::~Forms()
{
    delete m_watermark.data();
}

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
    if (!m_watermark) {
        auto *dialog = new frmWatermarkOptions(m_prompts, m_appFolder, m_main);
        m_watermark = dialog;
        QObject::connect(dialog, &frmWatermarkOptions::saved, dialog, [this] {
            if (m_main)
                m_main->watermarkSaved();
        });
        QObject::connect(dialog, &frmWatermarkOptions::dropped, dialog, [this, dialog] {
            if (m_watermark == dialog)
                m_watermark = nullptr;
        });
    }
    return *m_watermark;
}

void Forms::unloadWatermarkOptions()
{
    if (m_watermark) {
        m_watermark->hide();
        m_watermark->deleteLater();
        m_watermark = nullptr;
    }
}
