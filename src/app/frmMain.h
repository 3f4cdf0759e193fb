#pragma once
// The main window. Its controls edit the settings of Forms::settings();
// its handlers live in frmMain.cpp (start-up, closing, menus),
// frmMain_selection.cpp (steps 1 and 2), frmMain_encode.cpp and
// frmMain_settings.cpp, its controls in frmMain_controls.cpp.
#include "common/settingsmodel.h"
#include "encode/encoderequest.h"
#include "encode/videotag.h"

#include <QMainWindow>
#include <QStringList>
#include <array>

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class CaptionLabel;
class LinkLabel;
class Forms;
class RuntimeError;
class QHBoxLayout;
namespace encodesettings {
class Settings;
}
namespace ui {
class SettingsBinding;
}

class frmMain : public QMainWindow
{
    Q_OBJECT
public:
    explicit frmMain(Forms &forms, QWidget *parent = nullptr);
    ~frmMain() override;

    Forms &forms() const { return m_forms; }

    // Start-up: refuses a second instance, shows the window, fills the
    // lists, loads the watermark dialog, shows the splash, applies a
    // command-line profile. Returns false when the program is ending.
    bool Form_Load();

    // --- Controls (names as the users' documentation knows them) ---
    QGroupBox *Frame1 = nullptr;
    QPushButton *cmdInput = nullptr;
    CaptionLabel *lblInput = nullptr;
    QPushButton *cmdOutDir = nullptr;
    CaptionLabel *lblOutDir = nullptr;
    QCheckBox *chkLockLocation = nullptr;
    QLabel *lblOutputFormat = nullptr;
    QCheckBox *chkFLV = nullptr;
    QCheckBox *chkMp4 = nullptr;
    QCheckBox *chkWebm = nullptr;
    QComboBox *cmbWebmCodec = nullptr;
    QLabel *lblQuality = nullptr;
    QComboBox *cmbQuality = nullptr;
    QCheckBox *chkHls = nullptr;
    std::array<QLabel *, 4> lblOutputFileName{};
    QLineEdit *txtOutFileFLV = nullptr;
    QLineEdit *txtOutFileMp4 = nullptr;
    QLineEdit *txtOutFileWebm = nullptr;
    QLineEdit *txtOutFileHls = nullptr;
    QLabel *lblCaptionsTitle = nullptr;
    CaptionLabel *lblCaptions = nullptr;

    QGroupBox *Frame2 = nullptr;
    QLabel *lblVideoRate = nullptr;
    QComboBox *cmbVideoBitrate = nullptr;
    QLabel *lblVideoKbps = nullptr;
    QLabel *lblVideoFramerate = nullptr;
    QComboBox *cmbVideoFrameRate = nullptr;
    QLabel *lblVideoFps = nullptr;
    QRadioButton *optVideoWindowOriginal = nullptr;
    QRadioButton *optVideoWindowResize = nullptr;
    QComboBox *cmbVideoWindow = nullptr;
    QCheckBox *chkWatermark = nullptr;
    QPushButton *cmdWMOptions = nullptr;
    QCheckBox *chkGrabStillImage = nullptr;
    QLineEdit *txtFrameMinute = nullptr;
    QLabel *lblFrameTimeDot = nullptr;
    QLineEdit *txtFrameSecond = nullptr;

    QGroupBox *Frame3 = nullptr;
    QLabel *lblAudioBitrate = nullptr;
    QComboBox *cmbAudioBitrate = nullptr;
    QLabel *lblAudioKbps = nullptr;
    QLabel *lblAudioSamplerate = nullptr;
    QComboBox *cmbAudioSamplerate = nullptr;
    QLabel *lblAudioHz = nullptr;

    QPushButton *cmdEncode = nullptr;
    QPushButton *cmdClose = nullptr;
    LinkLabel *lblLink = nullptr;
    LinkLabel *imgFBLike = nullptr;

    QMenu *mnuFile = nullptr;
    QAction *mnuSaveProfile = nullptr;
    QAction *mnuLoadProfile = nullptr;
    QAction *mnuExit = nullptr;
    QMenu *mnuTools = nullptr;
    QAction *mnuMakeMp4Streamable = nullptr;
    QAction *mnuCopyVideoTag = nullptr;
    QMenu *mnuEdit = nullptr;
    QAction *mnuVideoWindowSizes = nullptr;
    QAction *mnuVideoRates = nullptr;
    QMenu *mnuHelp = nullptr;
    QAction *mnuDocumentation = nullptr;
    QAction *mnuSupport = nullptr;
    QAction *mnuAbout = nullptr;

    // --- Start-up and closing (frmMain.cpp) ---
    void cmdClose_Click();
    void mnuExit_Click();
    void LoadVideoWindowSizes();
    void LoadVideoBitrates();
    void mnuAbout_Click();
    void mnuDocumentation_Click();
    void mnuSupport_Click();
    void lblLink_Click();
    void imgFBLike_Click();

    // --- Source and output selection (frmMain_selection.cpp) ---
    void cmdInput_Click();
    void cmdOutDir_Click();
    // What "&Source Video..." and "&Output Folder..." do once a path is
    // chosen (also used when a file or folder is dropped on the window).
    void setSource(const QString &path);
    void setOutputFolder(const QString &folder);
    // A window size picked from the list, even the one shown.
    void cmbVideoWindow_Click();
    // Key filters of the time fields: set key to 0 to discard it.
    void txtFrameMinute_KeyPress(int &keyAscii);
    void txtFrameSecond_KeyPress(int &keyAscii);

    // --- Watermark reactions (frmMain_selection.cpp) ---
    // The box was ticked or cleared in the window.
    void chkWatermark_Click();
    void cmdWMOptions_Click();
    // The watermark dialog saved its options: the box is ticked.
    void watermarkSaved();

    // --- Encoding (frmMain_encode.cpp) ---
    void cmdEncode_Click();
    // The request the settings make now.
    encode::Request encodeRequest();
    // The videos the last request made, for the HTML5 video tag.
    videotag::Made lastMade;
    void mnuCopyVideoTag_Click();

    // --- Profiles and list editors (frmMain_settings.cpp) ---
    void mnuSaveProfile_Click();
    void mnuLoadProfile_Click();
    void LoadProfile(const QString &path);
    void mnuVideoRates_Click();
    void mnuVideoWindowSizes_Click();
    // Start-up step 13: the profile named on the command line.
    void applyCommandLineProfile();

    // --- Tools (frmMain.cpp) ---
    void mnuMakeMp4Streamable_Click();

    // Shows the failure report and ends the program (start-up and list loads).
    void failureReport(const RuntimeError &error);
    // Whether the close question is asked; false while the program ends.
    bool closing() const { return m_ended; }

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    // frmMain_controls.cpp
    void buildControls();
    void buildStepOne();
    void buildStepTwo();
    void buildStepThree();
    QHBoxLayout *buildButtons(QWidget *central);
    void buildMenus();
    void bindSettings();
    void connectReactions();
    // Form_QueryUnload: true when the window may close.
    bool Form_QueryUnload();
    // Fills a list from its file with its start-up entry; a failure ends
    // the program with the failure report.
    void loadList(settings::Setting list, const QString &path);
    void endProgram();

    Forms &m_forms;
    encodesettings::Settings &m_settings;
    ui::SettingsBinding *m_binding = nullptr;
    bool m_ended = false;
};
