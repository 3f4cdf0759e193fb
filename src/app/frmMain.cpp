#include "app/frmMain.h"

#include "app/frmAbout.h"
#include "app/frmSplash.h"
#include "app/ui_forms.h"
#include "app/weblinks.h"
#include "common/errors.h"
#include "common/mdlMain.h"
#include "common/prompts.h"
#include "common/ui_controls.h"
#include "mp4fix/frmFixMp4.h"
#include "process/frmProgress.h"
#include "settings/encodesettings.h"
#include "settings/listfiles.h"
#include "watermark/frmWatermarkOptions.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLayout>
#include <QLineEdit>

frmMain::frmMain(Forms &forms, QWidget *parent)
    : QMainWindow(parent), m_forms(forms), m_settings(forms.settings())
{
    m_forms.setMain(this);
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Vidlark Web Video Encoder 4"));
    setWindowIcon(QIcon(QStringLiteral(":/vidlark/icon.png")));
    setFont(ui::standardFont());
    buildControls();
    buildMenus();
    bindSettings();
    connectReactions();
    // Fixed single border: the window keeps the size its contents need.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    setWindowFlag(Qt::WindowMaximizeButtonHint, false);
    setAcceptDrops(true);
}

frmMain::~frmMain()
{
    if (m_forms.main() == this)
        m_forms.setMain(nullptr);
}

bool frmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && (watched == txtFrameMinute || watched == txtFrameSecond)) {
        // Only typed characters go through the filter; editing keys (arrows,
        // Delete, Tab, Ctrl shortcuts) reach the field as they are.
        const std::optional<int> typed = ui::typedCharacter(static_cast<QKeyEvent *>(event));
        if (!typed)
            return false;
        int keyAscii = *typed;
        if (watched == txtFrameMinute)
            txtFrameMinute_KeyPress(keyAscii);
        else
            txtFrameSecond_KeyPress(keyAscii);
        return keyAscii == 0;
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmMain::dragEnterEvent(QDragEnterEvent *event)
{
    if (!ui::droppedPath(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void frmMain::dropEvent(QDropEvent *event)
{
    const QString path = ui::droppedPath(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    const QFileInfo info(path);
    if (info.isDir())
        setOutputFolder(path);
    else if (info.suffix().compare(QLatin1String("vlp"), Qt::CaseInsensitive) == 0)
        LoadProfile(path);
    else
        setSource(path);
}

bool frmMain::Form_Load()
{
    using namespace mdlMain;
    IPrompts &prompts = m_forms.prompts();
    // Single instance per user.
    if (m_forms.anotherInstanceRunning()) {
        prompts.error(QStringLiteral("THIS SOFTWARE IS ALREADY OPEN!"));
        blnForceExit = true;
        close();
        return false;
    }
    try {
        show();
        blnForceExit = false;
        LoadVideoWindowSizes();
        if (m_ended)
            return false;
        LoadVideoBitrates();
        if (m_ended)
            return false;
        m_settings.loadFixedLists();

        // The watermark dialog loads hidden; its own load reads the font lists.
        m_forms.watermarkOptions();

        setCursor(Qt::WaitCursor);
        {
            frmSplash splash(m_forms.splashMilliseconds, this);
            splash.setCursor(Qt::WaitCursor);
            splash.showModal();
        }
        unsetCursor();
        if (m_ended)
            return false;

        applyCommandLineProfile();
    } catch (const RuntimeError &e) {
        failureReport(e);
        return false;
    }
    return !m_ended;
}

void frmMain::failureReport(const RuntimeError &error)
{
    mdlMain::blnForceExit = true;
    m_forms.prompts().error(generalErrorText(error));
    close();
}

void frmMain::loadList(settings::Setting list, const QString &path)
{
    try {
        m_settings.loadList(list, encodesettings::listEntries(path));
    } catch (const RuntimeError &e) {
        failureReport(e);
    }
}

void frmMain::LoadVideoWindowSizes()
{
    // The first size; choosing it chooses to resize.
    loadList(settings::WindowSize, listfiles::windowSizesPath(m_forms.appFolder()));
}

void frmMain::LoadVideoBitrates()
{
    // The fifth bitrate where there is one; a shorter list starts on its
    // first.
    loadList(settings::VideoBitrate, listfiles::bitratesPath(m_forms.appFolder()));
}

void frmMain::cmdClose_Click()
{
    close();
}

void frmMain::mnuExit_Click()
{
    cmdClose_Click();
}

void frmMain::closeEvent(QCloseEvent *event)
{
    if (m_ended || Form_QueryUnload())
        event->accept();
    else
        event->ignore();
}

bool frmMain::Form_QueryUnload()
{
    using namespace mdlMain;
    if (blnForceExit) {
        endProgram();
        return true;
    }
    const int answer = m_forms.prompts().question(QStringLiteral("CLOSE SOFTWARE?"));
    strMsgAnswer = QString::number(answer);
    if (answer != vbYes)
        return false;
    m_forms.unloadWatermarkOptions();
    m_forms.progress().unload();
    endProgram();
    return true;
}

void frmMain::endProgram()
{
    m_ended = true;
    if (m_forms.endProgram)
        m_forms.endProgram();
}

void frmMain::mnuMakeMp4Streamable_Click()
{
    // A fresh window each time; it keeps nothing between openings.
    frmFixMp4 window(m_forms.prompts(), m_forms.appFolder(), m_forms.progress(), this);
    window.exec();
}

void frmMain::mnuAbout_Click()
{
    frmAbout about(m_forms.prompts(), this);
    about.exec();
}

void frmMain::mnuDocumentation_Click()
{
    m_forms.prompts().openUrl(weblinks::documentation);
}
void frmMain::mnuSupport_Click()
{
    m_forms.prompts().openUrl(weblinks::support);
}
void frmMain::lblLink_Click()
{
    m_forms.prompts().openUrl(weblinks::players);
}
void frmMain::imgFBLike_Click()
{
    m_forms.prompts().openUrl(weblinks::facebook);
}
