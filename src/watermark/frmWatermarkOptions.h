#pragma once
// The watermark dialog: text or picture, corner, font, size, colour and
// transparency, with a live preview. It edits the watermark settings of the
// settings model, and Save builds the watermark into it. Save and Exit only
// hide the dialog; its close box drops it and puts the watermark settings
// back to their start-up values, and the next access creates a fresh one.
#include "common/settingsmodel.h"

#include <QDialog>
#include <QPointer>
#include <QString>

class QComboBox;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class CaptionLabel;
class IPrompts;
class RuntimeError;

namespace ui {
class SettingsBinding;
}

class frmWatermarkOptions : public QDialog
{
    Q_OBJECT
public:
    // Creates the dialog loaded, not shown: the start-up steps run here. It
    // edits the watermark settings of `model`; the first dialog reads the
    // font lists into it. The fonts are in appFolder/wmfonts; the picture
    // copy goes into appFolder, where the encoder runs. The dialog shows
    // itself centred on the owner.
    frmWatermarkOptions(IPrompts &prompts, settings::Model &model, const QString &appFolder,
                        QWidget *owner = nullptr);

    // Shows the dialog modally; returns once Save, Exit or the close box has
    // ended the display.
    void showModal();

    // --- Controls ---
    QRadioButton *optTextWM = nullptr;
    QRadioButton *optImageWM = nullptr;

    QGroupBox *Frame1 = nullptr;
    QLabel *lblSetWMat = nullptr;
    QRadioButton *optTopLeft = nullptr;
    QRadioButton *optTopRight = nullptr;
    QRadioButton *optBottomLeft = nullptr;
    QRadioButton *optBottomRight = nullptr;

    QGroupBox *Frame2 = nullptr;
    QLabel *lblWMText = nullptr;
    QLineEdit *txtWatermark = nullptr;
    QLabel *lblWMFont = nullptr;
    QComboBox *cmbWMFontName = nullptr;
    QLabel *lblWMSize = nullptr;
    QComboBox *cmbWMFontSize = nullptr;
    QPushButton *cmdWMFontColor = nullptr;
    QLabel *lblWMTransparency = nullptr;
    QLineEdit *txtWMAlpha = nullptr;
    QLabel *lblWMAlphaPercentage = nullptr;
    QLabel *lblWMPreview = nullptr;

    QGroupBox *Frame3 = nullptr;
    QPushButton *cmdWMImage = nullptr;
    CaptionLabel *lblWMImagePath = nullptr;

    QPushButton *cmdSave = nullptr;
    QPushButton *cmdExit = nullptr;

    // Kept between saves: the last position expressions and font folder.
    QString strWMPosX;
    QString strWMPosY;
    QString strWMFontFolder;

    // --- Reactions: each runs when its setting has changed, whoever
    // changed it (the user, a profile), or when its button is pressed ---
    void Form_Load();
    void optTextWM_Click();
    void optImageWM_Click();
    void txtWatermark_Change();
    void cmbWMFontSize_Click();
    void cmbWMFontName_Click();
    void cmdWMFontColor_Click();
    void cmdWMImage_Click();
    void lblWMImagePath_Change();
    void cmdSave_Click();
    void cmdExit_Click();

    // --- Operations ---
    void UpdatePreview();
    void LoadFontList();
    void LoadFontSizes();
    // Sets the colour code of a 0x00BBGGRR colour.
    void SetFontColorCode(quint32 color);
    // Builds the watermark into the settings (and copies the picture for
    // the image kind). On a refusal it says why, with takeUserThere moves
    // to the setting to mend, and returns false; the previous watermark
    // then stays.
    bool BuildWatermarkFilter(bool takeUserThere);
    // After a profile has been applied, the watermark follows the loaded
    // settings: with the watermark on it is built as Save builds it (false,
    // after Save's message, when that is refused); with it off it is
    // dropped, so that ticking the box asks for the options again.
    bool rebuildAfterProfile(bool watermarkOn);

signals:
    // Save built the watermark.
    void saved();
    // The close box dropped the dialog; the next access creates a fresh one.
    void dropped();

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    QHBoxLayout *buildKind();
    void buildCorners();
    void buildTextOptions();
    void buildImageOptions();
    QHBoxLayout *buildButtons();
    void orderTabs();
    void bindSettings();
    void connectReactions();
    void settingChanged(int setting);
    // Runs a reaction; a run-time failure is shown as the general error
    // report, or kept for the start-up steps while they run.
    template <typename F>
    void react(F &&reaction);
    void throwPendingError();
    void registerFont(const QString &path);

    IPrompts &m_prompts;
    settings::Model &m_settings;
    QString m_appFolder;
    QPointer<QWidget> m_owner;
    ui::SettingsBinding *m_binding = nullptr;
    bool m_loading = false;
    bool m_modal = false;
    bool m_hasPendingError = false;
    int m_pendingNumber = 0;
    QString m_pendingDescription;
};
