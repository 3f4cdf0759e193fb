// The main window's controls, its menus, the settings they show and the
// reactions they start.
#include "app/frmMain.h"

#include "app/ui_forms.h"
#include "common/ui_controls.h"
#include "common/ui_settingsbinding.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
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

QLineEdit *timeField(QWidget *parent, const char *name, const QString &spoken)
{
    auto *field = named(new QLineEdit(parent), name);
    field->setFixedWidth(32);
    field->setAccessibleName(spoken);
    return field;
}

} // namespace

void frmMain::buildControls()
{
    auto *central = new QWidget(this);
    setCentralWidget(central);
    Frame1 = named(new QGroupBox(QStringLiteral("Step 1"), central), "Frame1");
    buildStepOne();
    Frame2 = named(new QGroupBox(QStringLiteral("Step 2"), central), "Frame2");
    buildStepTwo();
    Frame3 = named(new QGroupBox(QStringLiteral("Step 3"), central), "Frame3");
    buildStepThree();
    QHBoxLayout *buttons = buildButtons(central);

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

// Step 1: source and output.
void frmMain::buildStepOne()
{
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
    chkFLV = named(new QCheckBox(QStringLiteral("FLV"), Frame1), "chkFLV",
                   QStringLiteral(" Encode to FLV (H.264) "));
    chkMp4 = named(new QCheckBox(QStringLiteral("Mp4"), Frame1), "chkMp4",
                   QStringLiteral(" Encode to Mp4 (H.264) iOS compatible "));
    chkWebm =
        named(new QCheckBox(QStringLiteral("WebM"), Frame1), "chkWebm", QStringLiteral(" Encode to WebM "));
    cmbWebmCodec =
        dropDown(Frame1, "cmbWebmCodec",
                 QStringLiteral(" WebM codecs: VP8 + Vorbis plays in older browsers, VP9 and AV1 with Opus "
                                "are smaller. Opus always runs at 48000 hz: the audio samplerate "
                                "setting does not apply to it. "));
    cmbWebmCodec->setAccessibleName(QStringLiteral("WebM codecs"));
    cmbWebmCodec->setAccessibleDescription(QStringLiteral(
        "Chooses the video and audio codecs of the WebM output: VP8 with Vorbis, VP9 with Opus, "
        "or AV1 with Opus."));
    lblQuality = caption(Frame1, "lblQuality", QStringLiteral("Quality:"));
    cmbQuality =
        dropDown(Frame1, "cmbQuality",
                 QStringLiteral(" VP9 and AV1 quality: a constant quality up to the video bitrate, or the "
                                "fixed video bitrate "));
    buddy(lblQuality, cmbQuality);
    chkHls =
        named(new QCheckBox(QStringLiteral("HLS"), Frame1), "chkHls",
              QStringLiteral(" Encode an adaptive stream (HLS) at 1080, 720, 480 and 360 lines. The video "
                             "window size and framerate settings do not apply to it. "));
    const char *nameNames[4] = {"lblOutputFileName_0", "lblOutputFileName_1", "lblOutputFileName_2",
                                "lblOutputFileName_3"};
    const QString nameCaptions[4] = {QStringLiteral("FLV File Name:"), QStringLiteral("Mp4 File Name:"),
                                     QStringLiteral("WebM File Name:"), QStringLiteral("HLS Folder Name:")};
    const QString nameTips[4] = {
        QStringLiteral(" Output FLV file name "), QStringLiteral(" Output Mp4 file name "),
        QStringLiteral(" Output WebM file name "), QStringLiteral(" Output folder name of the HLS stream ")};
    for (int i = 0; i < 4; ++i)
        lblOutputFileName[size_t(i)] = caption(Frame1, nameNames[i], nameCaptions[i], nameTips[i]);
    txtOutFileFLV = named(new QLineEdit(Frame1), "txtOutFileFLV");
    txtOutFileMp4 = named(new QLineEdit(Frame1), "txtOutFileMp4");
    txtOutFileWebm = named(new QLineEdit(Frame1), "txtOutFileWebm");
    txtOutFileHls = named(new QLineEdit(Frame1), "txtOutFileHls");
    lblCaptionsTitle =
        caption(Frame1, "lblCaptionsTitle", QStringLiteral("Captions:"),
                QStringLiteral(" A caption file (.vtt or .srt) beside the source with its name "));
    lblCaptions = named(new CaptionLabel(Frame1, true), "lblCaptions");
    lblCaptions->showAsPath(QStringLiteral("Captions"), 360);
    buddy(lblCaptionsTitle, lblCaptions);

    auto *g1 = new QGridLayout(Frame1);
    g1->addWidget(cmdInput, 0, 0);
    g1->addWidget(lblInput, 0, 1, 1, 4);
    g1->addWidget(lblCaptionsTitle, 1, 0, Qt::AlignRight);
    g1->addWidget(lblCaptions, 1, 1, 1, 4);
    g1->addWidget(cmdOutDir, 2, 0);
    g1->addWidget(lblOutDir, 2, 1, 1, 3);
    g1->addWidget(chkLockLocation, 2, 4);
    auto *formats = new QHBoxLayout;
    formats->addWidget(chkFLV);
    formats->addWidget(chkMp4);
    formats->addWidget(chkWebm);
    formats->addWidget(cmbWebmCodec);
    formats->addWidget(lblQuality);
    formats->addWidget(cmbQuality);
    formats->addSpacing(12);
    formats->addWidget(chkHls);
    formats->addStretch();
    g1->addWidget(lblOutputFormat, 3, 0);
    g1->addLayout(formats, 3, 1, 1, 4);
    QLineEdit *const names[4] = {txtOutFileFLV, txtOutFileMp4, txtOutFileWebm, txtOutFileHls};
    for (int i = 0; i < 4; ++i) {
        buddy(lblOutputFileName[size_t(i)], names[i]);
        g1->addWidget(lblOutputFileName[size_t(i)], 4 + i, 0);
        g1->addWidget(names[i], 4 + i, 1, 1, 4);
    }
    g1->setColumnStretch(1, 1);
}

// Step 2: video.
void frmMain::buildStepTwo()
{
    lblVideoRate = caption(Frame2, "lblVideoRate", QStringLiteral("Video Bitrate:"));
    cmbVideoBitrate = dropDown(Frame2, "cmbVideoBitrate", QStringLiteral(" Select video bitrate "));
    lblVideoKbps = caption(Frame2, "lblVideoKbps", QStringLiteral("kbps"));
    lblVideoFramerate = caption(Frame2, "lblVideoFramerate", QStringLiteral("Video Framerate:"));
    cmbVideoFrameRate =
        dropDown(Frame2, "cmbVideoFrameRate", QStringLiteral(" Select video framerate (frames per second) "));
    lblVideoFps = caption(Frame2, "lblVideoFps", QStringLiteral("fps"));
    buddy(lblVideoRate, cmbVideoBitrate);
    buddy(lblVideoFramerate, cmbVideoFrameRate);
    optVideoWindowOriginal = named(
        new QRadioButton(QStringLiteral("Keep Original Video Window Size"), Frame2), "optVideoWindowOriginal",
        QStringLiteral(" Keep the video window same size as the source video "));
    optVideoWindowResize =
        named(new QRadioButton(QStringLiteral("Resize to (W x H)"), Frame2), "optVideoWindowResize",
              QStringLiteral(" Resize the video window to a predefined video window size "));
    cmbVideoWindow = dropDown(Frame2, "cmbVideoWindow", QStringLiteral(" Select video window size "));
    cmbVideoWindow->setAccessibleName(QStringLiteral("Video window size"));
    chkWatermark = named(new QCheckBox(QStringLiteral("Watermark Output Video"), Frame2), "chkWatermark",
                         QStringLiteral(" Watermark the output video "));
    cmdWMOptions = named(new QPushButton(QStringLiteral("&Options..."), Frame2), "cmdWMOptions",
                         QStringLiteral(" Watermark options  "));
    chkGrabStillImage =
        named(new QCheckBox(QStringLiteral("Grab Still Image from Video at Time (mm:ss)"), Frame2),
              "chkGrabStillImage", QStringLiteral(" Grab a still image from the video "));
    txtFrameMinute = timeField(Frame2, "txtFrameMinute", QStringLiteral("Still image minute"));
    lblFrameTimeDot = caption(Frame2, "lblFrameTimeDot", QStringLiteral(":"));
    txtFrameSecond = timeField(Frame2, "txtFrameSecond", QStringLiteral("Still image second"));

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
}

// Step 3: audio.
void frmMain::buildStepThree()
{
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
}

// Buttons, picture link and text link.
QHBoxLayout *frmMain::buildButtons(QWidget *central)
{
    cmdClose = named(new QPushButton(QStringLiteral("&Close Software"), central), "cmdClose",
                     QStringLiteral(" Close Software  "));
    cmdEncode = named(new QPushButton(QStringLiteral("Start &Encoding"), central), "cmdEncode",
                      QStringLiteral(" Start encoding "));
    QFont bold = ui::standardFont(9.75);
    bold.setBold(true);
    cmdEncode->setFont(bold);
    cmdEncode->setMinimumHeight(35);
    cmdEncode->setMinimumWidth(260);
    imgFBLike =
        named(new LinkLabel(central), "imgFBLike", QStringLiteral(" Please \"Like\" us on FaceBook "));
    imgFBLike->setPixmap(QPixmap(QStringLiteral(":/vidlark/like.gif")));
    imgFBLike->setAccessibleName(QStringLiteral("Like Vidlark on FaceBook"));
    lblLink = named(new LinkLabel(central), "lblLink", QStringLiteral(" Stream video on your website  "));
    lblLink->setText(
        QStringLiteral("Add video to your website with Vidlark web video players. Click here to know how."));
    lblLink->setAccessibleName(lblLink->text());
    lblLink->setAlignment(Qt::AlignCenter);
    lblLink->setStyleSheet(QStringLiteral("color: blue;"));

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdClose, 0, Qt::AlignVCenter);
    buttons->addStretch();
    buttons->addWidget(cmdEncode);
    buttons->addStretch();
    buttons->addWidget(imgFBLike, 0, Qt::AlignVCenter);
    return buttons;
}

void frmMain::buildMenus()
{
    auto action = [](QMenu *menu, const char *name, const QString &text) {
        QAction *a = menu->addAction(text);
        a->setObjectName(QLatin1String(name));
        return a;
    };
    auto menu = [this](const char *name, const QString &text) {
        QMenu *m = menuBar()->addMenu(text);
        m->setObjectName(QLatin1String(name));
        return m;
    };
    mnuFile = menu("mnuFile", QStringLiteral("&File"));
    mnuSaveProfile = action(mnuFile, "mnuSaveProfile", QStringLiteral("&Save Profile"));
    mnuFile->addSeparator();
    mnuLoadProfile = action(mnuFile, "mnuLoadProfile", QStringLiteral("&Load Profile"));
    mnuFile->addSeparator();
    mnuExit = action(mnuFile, "mnuExit", QStringLiteral("E&xit"));

    mnuTools = menu("mnuTools", QStringLiteral("&Tools"));
    mnuMakeMp4Streamable = action(mnuTools, "mnuMakeMp4Streamable", QStringLiteral("&Make Mp4 Streamable"));
    mnuCopyVideoTag = action(mnuTools, "mnuCopyVideoTag", QStringLiteral("Copy HTML5 &Video Tag"));

    mnuEdit = menu("mnuEdit", QStringLiteral("&Edit"));
    mnuVideoWindowSizes = action(mnuEdit, "mnuVideoWindowSizes", QStringLiteral("Video &Window Sizes"));
    mnuEdit->addSeparator();
    mnuVideoRates = action(mnuEdit, "mnuVideoRates", QStringLiteral("Video &Bitrates"));

    mnuHelp = menu("mnuHelp", QStringLiteral("&Help"));
    mnuDocumentation = action(mnuHelp, "mnuDocumentation", QStringLiteral("&Documentation"));
    mnuDocumentation->setShortcut(QKeySequence(Qt::Key_F1));
    mnuSupport = action(mnuHelp, "mnuSupport", QStringLiteral("&Online Support"));
    mnuSupport->setShortcut(QKeySequence(Qt::Key_F2));
    mnuHelp->addSeparator();
    mnuAbout = action(mnuHelp, "mnuAbout", QStringLiteral("&About"));
}

void frmMain::bindSettings()
{
    using namespace settings;
    m_binding = new ui::SettingsBinding(m_settings, this);
    m_binding->bind(lblInput, Source);
    m_binding->bind(lblOutDir, OutputFolder);
    m_binding->bind(chkLockLocation, LockOutputFolder);
    m_binding->bind(chkFLV, FLV);
    m_binding->bind(chkMp4, Mp4);
    m_binding->bind(chkWebm, Webm);
    m_binding->bind(txtOutFileFLV, FlvName);
    m_binding->bind(txtOutFileMp4, Mp4Name);
    m_binding->bind(txtOutFileWebm, WebmName);
    m_binding->bind(chkHls, Hls);
    m_binding->bind(txtOutFileHls, HlsName);
    m_binding->bind(lblCaptions, CaptionsFile);
    m_binding->bind(cmbWebmCodec, WebmCodec);
    m_binding->bind(cmbQuality, WebmQuality);
    m_binding->bind(cmbVideoBitrate, VideoBitrate);
    m_binding->bind(cmbVideoFrameRate, VideoFrameRate);
    m_binding->bindOption(optVideoWindowOriginal, KeepWindowSize);
    m_binding->bindOption(optVideoWindowResize, ResizeWindow);
    m_binding->bind(cmbVideoWindow, WindowSize);
    m_binding->bind(chkWatermark, Watermark);
    m_binding->bind(chkGrabStillImage, GrabStillImage);
    m_binding->bind(txtFrameMinute, StillMinute);
    m_binding->bind(txtFrameSecond, StillSecond);
    m_binding->bind(cmbAudioBitrate, AudioBitrate);
    m_binding->bind(cmbAudioSamplerate, AudioSamplerate);
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
    // Picking the entry already shown changes no index but is still a choice.
    connect(cmbVideoWindow, &QComboBox::activated, this, &frmMain::cmbVideoWindow_Click);
    txtFrameMinute->installEventFilter(this);
    txtFrameSecond->installEventFilter(this);

    // The quality is one of VP9's and AV1's.
    connect(&m_settings, &settings::Model::changed, this, [this](int setting) {
        if (setting == settings::WebmCodec)
            cmbQuality->setEnabled(m_settings.value(settings::WebmCodec) > 0);
    });
    cmbQuality->setEnabled(m_settings.value(settings::WebmCodec) > 0);
    // After the binding has written the box's state to the settings.
    connect(chkWatermark, &QCheckBox::stateChanged, this, &frmMain::chkWatermark_Click);
    connect(cmdWMOptions, &QPushButton::clicked, this, &frmMain::cmdWMOptions_Click);
    connect(cmdEncode, &QPushButton::clicked, this, &frmMain::cmdEncode_Click);

    connect(mnuSaveProfile, &QAction::triggered, this, &frmMain::mnuSaveProfile_Click);
    connect(mnuLoadProfile, &QAction::triggered, this, &frmMain::mnuLoadProfile_Click);
    connect(mnuVideoRates, &QAction::triggered, this, &frmMain::mnuVideoRates_Click);
    connect(mnuVideoWindowSizes, &QAction::triggered, this, &frmMain::mnuVideoWindowSizes_Click);
    connect(mnuMakeMp4Streamable, &QAction::triggered, this, &frmMain::mnuMakeMp4Streamable_Click);
    connect(mnuCopyVideoTag, &QAction::triggered, this, &frmMain::mnuCopyVideoTag_Click);
}
