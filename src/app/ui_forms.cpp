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

Forms::Forms(IPrompts &prompts, const QString &appFolder)
    : m_prompts(prompts), m_appFolder(appFolder)
{
    while (m_appFolder.size() > 1 && m_appFolder.endsWith(QLatin1Char('/')))
        m_appFolder.chop(1);
    initResources();
    endProgram = [] { QCoreApplication::exit(0); };
}

Forms::~Forms()
{
    delete m_progress.data();
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

frmProgress &Forms::progress()
{
    if (!m_progress)
        m_progress = new frmProgress(*this);
    return *m_progress;
}

void Forms::unloadProgress()
{
    if (m_progress) {
        m_progress->hide();
        m_progress->deleteLater();
        m_progress = nullptr;
    }
}

mdlDOSPipe::RunResult Forms::showProgressModal()
{
    return progress().showModal();
}

frmWatermarkOptions &Forms::watermarkOptions()
{
    if (!m_watermark)
        m_watermark = new frmWatermarkOptions(*this);
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
