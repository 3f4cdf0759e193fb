#pragma once
// The watermark dialog: text or picture, corner, font, size, colour and
// transparency, with a live preview. It is the home of the watermark
// settings for the whole run: Save and Exit only hide it; its close box
// drops it, and the next access creates a fresh one.
#include <QDialog>
#include <QPointer>
#include <QString>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class CaptionLabel;
class ColorTextBox;
class IPrompts;
class RuntimeError;

class frmWatermarkOptions : public QDialog
{
    Q_OBJECT
public:
    // Creates the dialog loaded, not shown: the start-up steps run here. The
    // fonts are in appFolder/wmfonts; the picture copy goes into appFolder,
    // where the encoder runs. The dialog shows itself centred on the owner.
    frmWatermarkOptions(IPrompts &prompts, const QString &appFolder, QWidget *owner = nullptr);

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
    QComboBox *cmbWMFontFileName = nullptr; // hidden, same position as the name
    QLabel *lblWMSize = nullptr;
    QComboBox *cmbWMFontSize = nullptr;
    QPushButton *cmdWMFontColor = nullptr;
    ColorTextBox *txtWMFontColor = nullptr; // hidden: code as text, colour as text colour
    QLabel *lblWMTransparency = nullptr;
    QLineEdit *txtWMAlpha = nullptr;
    QLabel *lblWMAlphaPercentage = nullptr;
    QLabel *lblWMPreview = nullptr;

    QGroupBox *Frame3 = nullptr;
    QPushButton *cmdWMImage = nullptr;
    CaptionLabel *lblWMImagePath = nullptr;
    CaptionLabel *lblWMImageName = nullptr; // hidden

    QPushButton *cmdSave = nullptr;
    QPushButton *cmdExit = nullptr;
    QLineEdit *txtWMString = nullptr; // hidden: the finished filter option text

    // Kept between saves: the last position expressions and font folder.
    QString strWMPosX;
    QString strWMPosY;
    QString strWMFontFolder;

    // --- Reactions ---
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
    // Writes the colour code of a 0x00BBGGRR colour into txtWMFontColor.
    void SetFontColorCode(quint32 color);
    // Builds the filter text into txtWMString (and copies the picture for
    // the image kind). On a refusal it says why, with takeUserThere moves
    // to the setting to mend, and returns false; the previous filter text
    // then stays.
    bool BuildWatermarkFilter(bool takeUserThere);
    // After a profile has been applied, the filter text follows the loaded
    // settings: with the watermark on it is built as Save builds it (false,
    // after Save's message, when that is refused); with it off it is
    // dropped, so that ticking the box asks for the options again.
    bool rebuildAfterProfile(bool watermarkOn);

signals:
    // Save built the filter text.
    void saved();
    // The close box dropped the dialog; the next access creates a fresh one.
    void dropped();

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    void connectReactions();
    // Runs a reaction; a run-time failure is shown as the general error
    // report, or kept for the start-up steps while they run.
    template <typename F> void react(F &&reaction);
    void throwPendingError();
    void registerFont(const QString &path);

    IPrompts &m_prompts;
    QString m_appFolder;
    QPointer<QWidget> m_owner;
    bool m_loading = false;
    bool m_modal = false;
    bool m_hasPendingError = false;
    int m_pendingNumber = 0;
    QString m_pendingDescription;
};
