#include "app/frmMain.h"

#include "app/frmAbout.h"
#include "app/frmSplash.h"
#include "common/appfolder.h"
#include "common/mdlMain.h"
#include "common/prompts.h"
#include "common/errors.h"
#include "common/textfiles.h"
#include "common/ui_controls.h"
#include "app/ui_forms.h"
#include "app/weblinks.h"
#include "mp4fix/frmFixMp4.h"
#include "process/frmProgress.h"
#include "settings/encodesettings.h"
#include "watermark/frmWatermarkOptions.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

using ui::buddy;
using ui::dropDown;
using ui::named;

QLabel *caption(QWidget *parent, const char *name, const QString &text, const QString &tooltip = QString())
{
    return named(new QLabel(text, parent), name, tooltip);
}

} // namespace

frmMain::frmMain(Forms &forms, QWidget *parent) : QMainWindow(parent), m_forms(forms)
{
    m_forms.setMain(this);
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Vidlark Web Video Encoder 4"));
    setWindowIcon(QIcon(QStringLiteral(":/vidlark/icon.png")));
    setFont(ui::standardFont());
    buildControls();
    buildMenus();
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

void frmMain::buildControls()
{
    auto *central = new QWidget(this);
    setCentralWidget(central);

    // Step 1: source and output.
    Frame1 = named(new QGroupBox(QStringLiteral("Step 1"), central), "Frame1");
    cmdInput = named(new QPushButton(QStringLiteral("&Source Video..."), Frame1), "cmdInput",
                     QStringLiteral(" Select your video file for encoding "));
    lblInput = named(new CaptionLabel(Frame1, true), "lblInput");
    lblInput->showAsPath(QStringLiteral("Source video"), 360);
    cmdOutDir = named(new QPushButton(QStringLiteral("&Output Folder..."), Frame1), "cmdOutDir",
                      QStringLiteral(" Output folder where the encoded file will be put "));
    lblOutDir = named(new CaptionLabel(Frame1, true), "lblOutDir");
    lblOutDir->showAsPath(QStringLiteral("Output folder"));
    chkLockLocation = named(new QCheckBox(QStringLiteral(" Lock"), Frame1), "chkLockLocation",
                            QStringLiteral(" Lock the output folder for multiple sessions of encoding "));
    lblOutputFormat = caption(Frame1, "lblOutputFormat", QStringLiteral("Output Format(s):"),
                              QStringLiteral(" Select an output format "));
    chkFLV = named(new QCheckBox(QStringLiteral("FLV"), Frame1), "chkFLV", QStringLiteral(" Encode to FLV (H.264) "));
    chkMp4 = named(new QCheckBox(QStringLiteral("Mp4"), Frame1), "chkMp4",
                   QStringLiteral(" Encode to Mp4 (H.264) iOS compatible "));
    chkWebm = named(new QCheckBox(QStringLiteral("WebM"), Frame1), "chkWebm", QStringLiteral(" Encode to WebM "));
    chkFLV->setChecked(true);
    chkMp4->setChecked(true);
    const char *nameNames[3] = {"lblOutputFileName_0", "lblOutputFileName_1", "lblOutputFileName_2"};
    const QString nameCaptions[3] = {QStringLiteral("FLV File Name:"), QStringLiteral("Mp4 File Name:"),
                                     QStringLiteral("WebM File Name:")};
    const QString nameTips[3] = {QStringLiteral(" Output FLV file name "), QStringLiteral(" Output Mp4 file name "),
                                 QStringLiteral(" Output WebM file name ")};
    for (int i = 0; i < 3; ++i)
        lblOutputFileName[size_t(i)] = caption(Frame1, nameNames[i], nameCaptions[i], nameTips[i]);
    txtOutFileFLV = named(new QLineEdit(Frame1), "txtOutFileFLV");
    txtOutFileMp4 = named(new QLineEdit(Frame1), "txtOutFileMp4");
    txtOutFileWebm = named(new QLineEdit(Frame1), "txtOutFileWebm");
    buddy(lblOutputFileName[0], txtOutFileFLV);
    buddy(lblOutputFileName[1], txtOutFileMp4);
    buddy(lblOutputFileName[2], txtOutFileWebm);

    auto *g1 = new QGridLayout(Frame1);
    g1->addWidget(cmdInput, 0, 0);
    g1->addWidget(lblInput, 0, 1, 1, 4);
    g1->addWidget(cmdOutDir, 1, 0);
    g1->addWidget(lblOutDir, 1, 1, 1, 3);
    g1->addWidget(chkLockLocation, 1, 4);
    auto *formats = new QHBoxLayout;
    formats->addWidget(chkFLV);
    formats->addWidget(chkMp4);
    formats->addWidget(chkWebm);
    formats->addStretch();
    g1->addWidget(lblOutputFormat, 2, 0);
    g1->addLayout(formats, 2, 1, 1, 4);
    g1->addWidget(lblOutputFileName[0], 3, 0);
    g1->addWidget(txtOutFileFLV, 3, 1, 1, 4);
    g1->addWidget(lblOutputFileName[1], 4, 0);
    g1->addWidget(txtOutFileMp4, 4, 1, 1, 4);
    g1->addWidget(lblOutputFileName[2], 5, 0);
    g1->addWidget(txtOutFileWebm, 5, 1, 1, 4);
    g1->setColumnStretch(1, 1);

    // Step 2: video.
    Frame2 = named(new QGroupBox(QStringLiteral("Step 2"), central), "Frame2");
    lblVideoRate = caption(Frame2, "lblVideoRate", QStringLiteral("Video Bitrate:"));
    cmbVideoBitrate = dropDown(Frame2, "cmbVideoBitrate", QStringLiteral(" Select video bitrate "));
    lblVideoKbps = caption(Frame2, "lblVideoKbps", QStringLiteral("kbps"));
    lblVideoFramerate = caption(Frame2, "lblVideoFramerate", QStringLiteral("Video Framerate:"));
    cmbVideoFrameRate = dropDown(Frame2, "cmbVideoFrameRate",
                                 QStringLiteral(" Select video framerate (frames per second) "));
    lblVideoFps = caption(Frame2, "lblVideoFps", QStringLiteral("fps"));
    buddy(lblVideoRate, cmbVideoBitrate);
    buddy(lblVideoFramerate, cmbVideoFrameRate);
    optVideoWindowOriginal = named(new QRadioButton(QStringLiteral("Keep Original Video Window Size"), Frame2),
                                   "optVideoWindowOriginal",
                                   QStringLiteral(" Keep the video window same size as the source video "));
    optVideoWindowResize = named(new QRadioButton(QStringLiteral("Resize to (W x H)"), Frame2), "optVideoWindowResize",
                                 QStringLiteral(" Resize the video window to a predefined video window size "));
    optVideoWindowOriginal->setChecked(true);
    cmbVideoWindow = dropDown(Frame2, "cmbVideoWindow", QStringLiteral(" Select video window size "));
    cmbVideoWindow->setAccessibleName(QStringLiteral("Video window size"));
    chkWatermark = named(new QCheckBox(QStringLiteral("Watermark Output Video"), Frame2), "chkWatermark",
                         QStringLiteral(" Watermark the output video "));
    cmdWMOptions = named(new QPushButton(QStringLiteral("&Options..."), Frame2), "cmdWMOptions",
                         QStringLiteral(" Watermark options  "));
    chkGrabStillImage = named(new QCheckBox(QStringLiteral("Grab Still Image from Video at Time (mm:ss)"), Frame2),
                              "chkGrabStillImage", QStringLiteral(" Grab a still image from the video "));
    txtFrameMinute = named(new QLineEdit(QStringLiteral("00"), Frame2), "txtFrameMinute");
    txtFrameMinute->setMaxLength(2);
    txtFrameMinute->setFixedWidth(32);
    txtFrameMinute->setAccessibleName(QStringLiteral("Still image minute"));
    lblFrameTimeDot = caption(Frame2, "lblFrameTimeDot", QStringLiteral(":"));
    txtFrameSecond = named(new QLineEdit(QStringLiteral("30"), Frame2), "txtFrameSecond");
    txtFrameSecond->setMaxLength(2);
    txtFrameSecond->setFixedWidth(32);
    txtFrameSecond->setAccessibleName(QStringLiteral("Still image second"));

    auto *g2 = new QGridLayout(Frame2);
    auto *rates = new QHBoxLayout;
    rates->addWidget(lblVideoRate);
    rates->addWidget(cmbVideoBitrate);
    rates->addWidget(lblVideoKbps);
    rates->addSpacing(24);
    rates->addWidget(lblVideoFramerate);
    rates->addWidget(cmbVideoFrameRate);
    rates->addWidget(lblVideoFps);
    rates->addStretch();
    g2->addLayout(rates, 0, 0, 1, 2);
    g2->addWidget(optVideoWindowOriginal, 1, 0, 1, 2);
    g2->addWidget(optVideoWindowResize, 2, 0);
    g2->addWidget(cmbVideoWindow, 2, 1, Qt::AlignLeft);
    g2->addWidget(chkWatermark, 3, 0);
    g2->addWidget(cmdWMOptions, 3, 1, Qt::AlignLeft);
    auto *still = new QHBoxLayout;
    still->addWidget(txtFrameMinute);
    still->addWidget(lblFrameTimeDot);
    still->addWidget(txtFrameSecond);
    still->addStretch();
    g2->addWidget(chkGrabStillImage, 4, 0);
    g2->addLayout(still, 4, 1);
    g2->setColumnStretch(1, 1);

    // Step 3: audio.
    Frame3 = named(new QGroupBox(QStringLiteral("Step 3"), central), "Frame3");
    lblAudioBitrate = caption(Frame3, "lblAudioBitrate", QStringLiteral("Audio Bitrate:"));
    cmbAudioBitrate = dropDown(Frame3, "cmbAudioBitrate", QStringLiteral(" Select audio bitrate "));
    lblAudioKbps = caption(Frame3, "lblAudioKbps", QStringLiteral("kbps"));
    lblAudioSamplerate = caption(Frame3, "lblAudioSamplerate", QStringLiteral("Audio Samplerate:"));
    cmbAudioSamplerate = dropDown(Frame3, "cmbAudioSamplerate", QStringLiteral(" Select audio samplerate "));
    lblAudioHz = caption(Frame3, "lblAudioHz", QStringLiteral("hz"));
    buddy(lblAudioBitrate, cmbAudioBitrate);
    buddy(lblAudioSamplerate, cmbAudioSamplerate);
    auto *g3 = new QHBoxLayout(Frame3);
    g3->addWidget(lblAudioBitrate);
    g3->addWidget(cmbAudioBitrate);
    g3->addWidget(lblAudioKbps);
    g3->addSpacing(24);
    g3->addWidget(lblAudioSamplerate);
    g3->addWidget(cmbAudioSamplerate);
    g3->addWidget(lblAudioHz);
    g3->addStretch();

    // Buttons, picture link and text link.
    cmdClose = named(new QPushButton(QStringLiteral("&Close Software"), central), "cmdClose",
                     QStringLiteral(" Close Software  "));
    cmdEncode = named(new QPushButton(QStringLiteral("Start &Encoding"), central), "cmdEncode",
                      QStringLiteral(" Start encoding "));
    QFont bold = ui::standardFont(9.75);
    bold.setBold(true);
    cmdEncode->setFont(bold);
    cmdEncode->setMinimumHeight(35);
    cmdEncode->setMinimumWidth(260);
    imgFBLike = named(new LinkLabel(central), "imgFBLike",
                      QStringLiteral(" Please \"Like\" us on FaceBook "));
    imgFBLike->setPixmap(QPixmap(QStringLiteral(":/vidlark/like.gif")));
    imgFBLike->setAccessibleName(QStringLiteral("Like Vidlark on FaceBook"));
    txtApp = named(new QLineEdit(central), "txtApp");
    txtApp->hide();
    lblLink = named(new LinkLabel(central), "lblLink", QStringLiteral(" Stream video on your website  "));
    lblLink->setText(QStringLiteral(
        "Add video to your website with Vidlark web video players. Click here to know how."));
    lblLink->setAccessibleName(lblLink->text());
    lblLink->setAlignment(Qt::AlignCenter);
    lblLink->setStyleSheet(QStringLiteral("color: blue;"));

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdClose, 0, Qt::AlignVCenter);
    buttons->addStretch();
    buttons->addWidget(cmdEncode);
    buttons->addStretch();
    buttons->addWidget(imgFBLike, 0, Qt::AlignVCenter);

    auto *layout = new QVBoxLayout(central);
    layout->addWidget(Frame1);
    layout->addWidget(Frame2);
    layout->addWidget(Frame3);
    layout->addLayout(buttons);
    layout->addWidget(lblLink);

    // Tab order follows the three steps.
    setTabOrder(cmdInput, cmdOutDir);
    setTabOrder(cmdOutDir, chkLockLocation);
    setTabOrder(chkLockLocation, chkFLV);
}

void frmMain::buildMenus()
{
    auto action = [this](QMenu *menu, const char *name, const QString &text) {
        QAction *a = menu->addAction(text);
        a->setObjectName(QLatin1String(name));
        return a;
    };
    mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuSaveProfile = action(mnuFile, "mnuSaveProfile", QStringLiteral("&Save Profile"));
    mnuFile->addSeparator();
    mnuLoadProfile = action(mnuFile, "mnuLoadProfile", QStringLiteral("&Load Profile"));
    mnuFile->addSeparator();
    mnuExit = action(mnuFile, "mnuExit", QStringLiteral("E&xit"));

    mnuTools = menuBar()->addMenu(QStringLiteral("&Tools"));
    mnuTools->setObjectName(QStringLiteral("mnuTools"));
    mnuMakeMp4Streamable = action(mnuTools, "mnuMakeMp4Streamable", QStringLiteral("&Make Mp4 Streamable"));
    mnuCopyVideoTag = action(mnuTools, "mnuCopyVideoTag", QStringLiteral("Copy HTML5 &Video Tag"));

    mnuEdit = menuBar()->addMenu(QStringLiteral("&Edit"));
    mnuEdit->setObjectName(QStringLiteral("mnuEdit"));
    mnuVideoWindowSizes = action(mnuEdit, "mnuVideoWindowSizes", QStringLiteral("Video &Window Sizes"));
    mnuEdit->addSeparator();
    mnuVideoRates = action(mnuEdit, "mnuVideoRates", QStringLiteral("Video &Bitrates"));

    mnuHelp = menuBar()->addMenu(QStringLiteral("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    mnuDocumentation = action(mnuHelp, "mnuDocumentation", QStringLiteral("&Documentation"));
    mnuDocumentation->setShortcut(QKeySequence(Qt::Key_F1));
    mnuSupport = action(mnuHelp, "mnuSupport", QStringLiteral("&Online Support"));
    mnuSupport->setShortcut(QKeySequence(Qt::Key_F2));
    mnuHelp->addSeparator();
    mnuAbout = action(mnuHelp, "mnuAbout", QStringLiteral("&About"));
}

void frmMain::connectReactions()
{
    connect(cmdClose, &QPushButton::clicked, this, &frmMain::cmdClose_Click);
    connect(mnuExit, &QAction::triggered, this, &frmMain::mnuExit_Click);
    connect(mnuAbout, &QAction::triggered, this, &frmMain::mnuAbout_Click);
    connect(mnuDocumentation, &QAction::triggered, this, &frmMain::mnuDocumentation_Click);
    connect(mnuSupport, &QAction::triggered, this, &frmMain::mnuSupport_Click);
    connect(lblLink, &LinkLabel::clicked, this, &frmMain::lblLink_Click);
    connect(imgFBLike, &LinkLabel::clicked, this, &frmMain::imgFBLike_Click);

    connect(cmdInput, &QPushButton::clicked, this, &frmMain::cmdInput_Click);
    connect(cmdOutDir, &QPushButton::clicked, this, &frmMain::cmdOutDir_Click);
    connect(cmbVideoWindow, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0)
            cmbVideoWindow_Click();
    });
    // Picking the entry already shown changes no index but is still a choice.
    connect(cmbVideoWindow, &QComboBox::activated, this, [this] { cmbVideoWindow_Click(); });
    txtFrameMinute->installEventFilter(this);
    txtFrameSecond->installEventFilter(this);

    connect(chkWatermark, &QCheckBox::stateChanged, this, [this] { chkWatermark_Click(); });
    connect(cmdWMOptions, &QPushButton::clicked, this, &frmMain::cmdWMOptions_Click);
    connect(cmdEncode, &QPushButton::clicked, this, &frmMain::cmdEncode_Click);

    connect(mnuSaveProfile, &QAction::triggered, this, &frmMain::mnuSaveProfile_Click);
    connect(mnuLoadProfile, &QAction::triggered, this, &frmMain::mnuLoadProfile_Click);
    connect(mnuVideoRates, &QAction::triggered, this, &frmMain::mnuVideoRates_Click);
    connect(mnuVideoWindowSizes, &QAction::triggered, this, &frmMain::mnuVideoWindowSizes_Click);
    connect(mnuMakeMp4Streamable, &QAction::triggered, this, &frmMain::mnuMakeMp4Streamable_Click);
    connect(mnuCopyVideoTag, &QAction::triggered, this, &frmMain::mnuCopyVideoTag_Click);
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
        using namespace encodesettings;
        cmbVideoFrameRate->clear();
        cmbVideoFrameRate->addItems(frameRates());
        cmbVideoFrameRate->setCurrentIndex(startFrameRate);
        cmbAudioSamplerate->clear();
        cmbAudioSamplerate->addItems(sampleRates());
        cmbAudioSamplerate->setCurrentIndex(startSampleRate);
        cmbAudioBitrate->clear();
        cmbAudioBitrate->addItems(audioBitrates());
        cmbAudioBitrate->setCurrentIndex(startAudioBitrate);
        optVideoWindowOriginal->setChecked(true);

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

void frmMain::loadList(QComboBox *list, const QString &relativePath)
{
    list->clear();
    list->addItems(encodesettings::listEntries(appfolder::joinPath(m_forms.appFolder(), relativePath)));
}

void frmMain::LoadVideoWindowSizes()
{
    try {
        // Fill without reactions; the selection below is the one change the
        // window reacts to.
        {
            const QSignalBlocker block(cmbVideoWindow);
            loadList(cmbVideoWindow, QStringLiteral("config/configvws.txt"));
            cmbVideoWindow->setCurrentIndex(-1);
        }
        if (cmbVideoWindow->count() == 0)
            throw RuntimeError(rt::InvalidPropertyValue);
        cmbVideoWindow->setCurrentIndex(0);
    } catch (const RuntimeError &e) {
        failureReport(e);
    }
}

void frmMain::LoadVideoBitrates()
{
    try {
        {
            const QSignalBlocker block(cmbVideoBitrate);
            loadList(cmbVideoBitrate, QStringLiteral("config/configvbr.txt"));
            cmbVideoBitrate->setCurrentIndex(-1);
        }
        if (cmbVideoBitrate->count() == 0)
            throw RuntimeError(rt::InvalidPropertyValue);
        // The fifth entry where there is one; a shorter list starts on its
        // first entry.
        cmbVideoBitrate->setCurrentIndex(encodesettings::startVideoBitrate(cmbVideoBitrate->count()));
    } catch (const RuntimeError &e) {
        failureReport(e);
    }
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

void frmMain::mnuDocumentation_Click() { m_forms.prompts().openUrl(weblinks::documentation); }
void frmMain::mnuSupport_Click() { m_forms.prompts().openUrl(weblinks::support); }
void frmMain::lblLink_Click() { m_forms.prompts().openUrl(weblinks::players); }
void frmMain::imgFBLike_Click() { m_forms.prompts().openUrl(weblinks::facebook); }
