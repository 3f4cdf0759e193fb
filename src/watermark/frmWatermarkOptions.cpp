#include "watermark/frmWatermarkOptions.h"

#include "common/conversions.h"
#include "common/appfolder.h"
#include "common/prompts.h"
#include "common/errors.h"
#include "common/textfiles.h"
#include "common/ui_controls.h"
#include "watermark/fonts.h"
#include "watermark/watermarkfilter.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

const QString pictureDialogTitle = QStringLiteral("Open Picture File");
const QString pictureDialogFilter = QStringLiteral(
    "Supported Image Files (*.png;*.jpg)|*.png;*.jpg|PNG (*.png)|*.png|Jpeg (*.jpg)|*.jpg");

using ui::buddy;
using ui::dropDown;
using ui::named;

QPushButton *button(QWidget *parent, const char *name, const QString &caption, const QString &tooltip)
{
    auto *b = named(new QPushButton(caption, parent), name, tooltip);
    // Enter in a text box must not press a button the user did not choose.
    b->setAutoDefault(false);
    return b;
}

QString cornerTip(const char *corner)
{
    return QStringLiteral(" Watermark will be set at ") + QLatin1String(corner) + QStringLiteral(" of video window ");
}

// Font files are registered with the application once each, whichever
// dialog instance asks; the preview then finds their families by name.
QHash<QString, bool> &registeredFonts()
{
    static QHash<QString, bool> fonts;
    return fonts;
}

} // namespace

frmWatermarkOptions::frmWatermarkOptions(IPrompts &prompts, const QString &appFolder, QWidget *owner)
    : m_prompts(prompts), m_appFolder(appFolder), m_owner(owner)
{
    setObjectName(QStringLiteral("frmWatermarkOptions"));
    setWindowTitle(QStringLiteral("Watermark Options"));
    setFont(ui::standardFont());
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    buildControls();
    connectReactions();
    Form_Load();
}

void frmWatermarkOptions::buildControls()
{
    // Kind: the two options are the dialog's own group.
    optTextWM = named(new QRadioButton(QStringLiteral("Use Text Watermark"), this), "optTextWM",
                      QStringLiteral(" Use a text as your watermark on the encoded video "));
    optImageWM = named(new QRadioButton(QStringLiteral("Use Image Watermark"), this), "optImageWM",
                       QStringLiteral(" Use a PNG or JPG image as your watermark on the encoded video "));

    // Position.
    Frame1 = named(new QGroupBox(this), "Frame1");
    lblSetWMat = named(new QLabel(QStringLiteral("Set Watermark at:"), Frame1), "lblSetWMat",
                       QStringLiteral(" Position of the watermark relative to the output video window "));
    optTopLeft = named(new QRadioButton(QStringLiteral("Top Left"), Frame1), "optTopLeft", cornerTip("top left"));
    optTopRight = named(new QRadioButton(QStringLiteral("Top Right"), Frame1), "optTopRight", cornerTip("top right"));
    optBottomLeft = named(new QRadioButton(QStringLiteral("Bottom Left"), Frame1), "optBottomLeft",
                          cornerTip("bottom left"));
    optBottomRight = named(new QRadioButton(QStringLiteral("Bottom Right"), Frame1), "optBottomRight",
                           cornerTip("bottom right"));
    optTopLeft->setChecked(true);
    auto *corners = new QHBoxLayout(Frame1);
    corners->addWidget(lblSetWMat);
    corners->addSpacing(6);
    corners->addWidget(optTopLeft);
    corners->addWidget(optTopRight);
    corners->addWidget(optBottomLeft);
    corners->addWidget(optBottomRight);
    corners->addStretch();

    // Text settings.
    Frame2 = named(new QGroupBox(QStringLiteral("Text Options"), this), "Frame2");
    lblWMText = named(new QLabel(QStringLiteral("Text:"), Frame2), "lblWMText", QStringLiteral(" Watermark text "));
    txtWatermark = named(new QLineEdit(QStringLiteral("Your Watermark Text"), Frame2), "txtWatermark");
    lblWMFont = named(new QLabel(QStringLiteral("Font:"), Frame2), "lblWMFont", QStringLiteral(" Font for the watermark "));
    cmbWMFontName = dropDown(Frame2, "cmbWMFontName", QStringLiteral(" Select a font "));
    cmbWMFontName->setMinimumWidth(160);
    cmbWMFontFileName = dropDown(Frame2, "cmbWMFontFileName");
    cmbWMFontFileName->hide();
    lblWMSize = named(new QLabel(QStringLiteral("Size:"), Frame2), "lblWMSize",
                      QStringLiteral(" Size of the watermark font "));
    cmbWMFontSize = dropDown(Frame2, "cmbWMFontSize", QStringLiteral(" Select a font size "));
    cmbWMFontSize->setMinimumWidth(70);
    cmdWMFontColor = button(Frame2, "cmdWMFontColor", QStringLiteral("Select &Font Color"),
                            QStringLiteral(" Color of the watermark font "));
    txtWMFontColor = named(new ColorTextBox(Frame2), "txtWMFontColor");
    txtWMFontColor->setText(QStringLiteral("0x008000"));
    txtWMFontColor->setForeColor(0x008000);
    txtWMFontColor->hide();
    lblWMTransparency = named(new QLabel(QStringLiteral("Transparency:"), Frame2), "lblWMTransparency",
                              QStringLiteral(" Transparency of the watermark text. 0 to 99.  "));
    txtWMAlpha = named(new QLineEdit(QStringLiteral("60"), Frame2), "txtWMAlpha");
    txtWMAlpha->setMaxLength(2);
    txtWMAlpha->setFixedWidth(36);
    lblWMAlphaPercentage = named(new QLabel(QStringLiteral("%"), Frame2), "lblWMAlphaPercentage");
    lblWMPreview = named(new QLabel(QStringLiteral("Sample"), Frame2), "lblWMPreview",
                         QStringLiteral(" Quick preview of the watermark. Transparency will not be reflected in "
                                        "preview mode. "));
    // The watermark text is shown as typed, never read as markup.
    lblWMPreview->setTextFormat(Qt::PlainText);
    lblWMPreview->setAlignment(Qt::AlignCenter);
    lblWMPreview->setFrameShape(QFrame::StyledPanel);
    lblWMPreview->setFrameShadow(QFrame::Sunken);
    lblWMPreview->setMinimumWidth(420);
    lblWMPreview->setFixedHeight(84); // room for the largest shipped size
    lblWMPreview->setAccessibleName(QStringLiteral("Preview"));
    buddy(lblWMText, txtWatermark);
    buddy(lblWMFont, cmbWMFontName);
    buddy(lblWMSize, cmbWMFontSize);
    buddy(lblWMTransparency, txtWMAlpha);

    auto *g2 = new QGridLayout(Frame2);
    g2->addWidget(lblWMText, 0, 0);
    g2->addWidget(txtWatermark, 0, 1, 1, 3);
    g2->addWidget(lblWMFont, 1, 0);
    g2->addWidget(cmbWMFontName, 1, 1, 1, 2, Qt::AlignLeft);
    g2->addWidget(cmbWMFontFileName, 1, 3);
    g2->addWidget(lblWMSize, 2, 0);
    g2->addWidget(cmbWMFontSize, 2, 1, Qt::AlignLeft);
    g2->addWidget(cmdWMFontColor, 3, 1, 1, 2, Qt::AlignLeft);
    g2->addWidget(txtWMFontColor, 3, 3);
    auto *alpha = new QHBoxLayout;
    alpha->addWidget(txtWMAlpha);
    alpha->addWidget(lblWMAlphaPercentage);
    alpha->addStretch();
    g2->addWidget(lblWMTransparency, 4, 0);
    g2->addLayout(alpha, 4, 1, 1, 3);
    g2->addWidget(lblWMPreview, 5, 0, 1, 4);
    g2->setColumnStretch(3, 1);

    // Image settings.
    Frame3 = named(new QGroupBox(QStringLiteral("Image Options"), this), "Frame3");
    cmdWMImage = button(Frame3, "cmdWMImage", QStringLiteral("&Select Image..."),
                        QStringLiteral(" For best results use a PNG image with alpha chanel "));
    lblWMImagePath = named(new CaptionLabel(Frame3, true), "lblWMImagePath");
    lblWMImagePath->showAsPath(QStringLiteral("Watermark image"), 300);
    lblWMImageName = named(new CaptionLabel(Frame3), "lblWMImageName");
    lblWMImageName->hide();
    auto *g3 = new QHBoxLayout(Frame3);
    g3->addWidget(cmdWMImage);
    g3->addWidget(lblWMImagePath, 1);
    g3->addWidget(lblWMImageName);

    // Buttons and the filter text.
    cmdExit = button(this, "cmdExit", QStringLiteral("E&xit"), QStringLiteral(" Close this window "));
    cmdSave = button(this, "cmdSave", QStringLiteral("&Save Options and E&xit"),
                     QStringLiteral(" Save watermark options "));
    txtWMString = named(new QLineEdit(this), "txtWMString");
    txtWMString->hide();

    auto *kinds = new QHBoxLayout;
    kinds->addWidget(optTextWM);
    kinds->addSpacing(24);
    kinds->addWidget(optImageWM);
    kinds->addStretch();
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdExit);
    buttons->addWidget(cmdSave);
    buttons->addWidget(txtWMString);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(kinds);
    layout->addWidget(Frame1);
    layout->addWidget(Frame2);
    layout->addWidget(Frame3);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(optTextWM, optImageWM);
    setTabOrder(optImageWM, optTopLeft);
    setTabOrder(optBottomRight, txtWatermark);
    setTabOrder(txtWatermark, cmbWMFontName);
    setTabOrder(cmbWMFontName, cmbWMFontSize);
    setTabOrder(cmbWMFontSize, cmdWMFontColor);
    setTabOrder(cmdWMFontColor, txtWMAlpha);
    setTabOrder(txtWMAlpha, cmdWMImage);
    setTabOrder(cmdWMImage, cmdExit);
    setTabOrder(cmdExit, cmdSave);
}

void frmWatermarkOptions::connectReactions()
{
    // Values set from code (profiles) run the same reactions as the user's.
    connect(optTextWM, &QRadioButton::toggled, this, &frmWatermarkOptions::optTextWM_Click);
    connect(optImageWM, &QRadioButton::toggled, this, &frmWatermarkOptions::optImageWM_Click);
    connect(txtWatermark, &QLineEdit::textChanged, this, &frmWatermarkOptions::txtWatermark_Change);
    connect(cmbWMFontSize, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0)
            cmbWMFontSize_Click();
    });
    connect(cmbWMFontName, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0)
            cmbWMFontName_Click();
    });
    connect(cmdWMFontColor, &QPushButton::clicked, this, &frmWatermarkOptions::cmdWMFontColor_Click);
    connect(cmdWMImage, &QPushButton::clicked, this, &frmWatermarkOptions::cmdWMImage_Click);
    connect(lblWMImagePath, &CaptionLabel::captionChanged, this, &frmWatermarkOptions::lblWMImagePath_Change);
    connect(cmdSave, &QPushButton::clicked, this, &frmWatermarkOptions::cmdSave_Click);
    connect(cmdExit, &QPushButton::clicked, this, &frmWatermarkOptions::cmdExit_Click);
}

template <typename F> void frmWatermarkOptions::react(F &&reaction)
{
    try {
        reaction();
    } catch (const RuntimeError &e) {
        if (m_loading) {
            // The start-up step that caused this stops the start-up.
            if (!m_hasPendingError) {
                m_hasPendingError = true;
                m_pendingNumber = e.number();
                m_pendingDescription = e.description();
            }
        } else {
            showGeneralError(m_prompts, e);
        }
    }
}

void frmWatermarkOptions::throwPendingError()
{
    if (m_hasPendingError) {
        m_hasPendingError = false;
        throw RuntimeError(m_pendingNumber, m_pendingDescription);
    }
}

void frmWatermarkOptions::Form_Load()
{
    m_loading = true;
    m_hasPendingError = false;
    try {
        // 1-2: the text kind, with the image settings unusable.
        optTextWM->setChecked(true);
        throwPendingError();
        Frame3->setEnabled(false);
        // 3-4: the lists.
        LoadFontList();
        LoadFontSizes();
        // 5: the third size (the preview follows).
        if (cmbWMFontSize->count() <= watermark::startFontSize)
            throw RuntimeError(rt::InvalidPropertyValue);
        cmbWMFontSize->setCurrentIndex(watermark::startFontSize);
        throwPendingError();
        // 6-7: the first font, name and file.
        if (cmbWMFontName->count() < 1 || cmbWMFontFileName->count() < 1)
            throw RuntimeError(rt::InvalidPropertyValue);
        cmbWMFontName->setCurrentIndex(0);
        throwPendingError();
        cmbWMFontFileName->setCurrentIndex(0);
        // 8: the preview in the font colour.
        ui::setForeColor(lblWMPreview, txtWMFontColor->foreColor());
    } catch (const RuntimeError &e) {
        m_loading = false;
        showGeneralError(m_prompts, e);
        return;
    }
    m_loading = false;
}

void frmWatermarkOptions::LoadFontList()
{
    const watermark::FontList fonts = watermark::readFontList(m_appFolder);
    // Filling is not choosing: the lists react only to the choices below.
    const QSignalBlocker blockNames(cmbWMFontName);
    const QSignalBlocker blockFiles(cmbWMFontFileName);
    cmbWMFontName->addItems(fonts.names);
    cmbWMFontFileName->addItems(fonts.files);
    cmbWMFontName->setCurrentIndex(-1);
    cmbWMFontFileName->setCurrentIndex(-1);
    // The fonts before a line without "#" stay in the lists.
    if (!fonts.complete)
        throw RuntimeError(rt::SubscriptOutOfRange);
}

void frmWatermarkOptions::LoadFontSizes()
{
    const QSignalBlocker block(cmbWMFontSize);
    cmbWMFontSize->addItems(watermark::readFontSizes(m_appFolder));
    cmbWMFontSize->setCurrentIndex(-1);
}

void frmWatermarkOptions::optTextWM_Click()
{
    const bool text = optTextWM->isChecked();
    Frame2->setEnabled(text);
    Frame3->setEnabled(!text);
}

void frmWatermarkOptions::optImageWM_Click()
{
    const bool image = optImageWM->isChecked();
    Frame3->setEnabled(image);
    Frame2->setEnabled(!image);
}

void frmWatermarkOptions::txtWatermark_Change()
{
    react([this] { UpdatePreview(); });
}

void frmWatermarkOptions::cmbWMFontSize_Click()
{
    react([this] { UpdatePreview(); });
}

void frmWatermarkOptions::cmbWMFontName_Click()
{
    react([this] {
        const int index = cmbWMFontName->currentIndex();
        if (index >= 0 && index < cmbWMFontFileName->count())
            cmbWMFontFileName->setCurrentIndex(index);
        UpdatePreview();
    });
}

void frmWatermarkOptions::registerFont(const QString &path)
{
    QHash<QString, bool> &fonts = registeredFonts();
    if (fonts.contains(path))
        return;
    const QFileInfo info(path);
    if (!info.isFile())
        return; // a file that appears later is registered then
    fonts.insert(path, QFontDatabase::addApplicationFont(path) >= 0);
}

void frmWatermarkOptions::UpdatePreview()
{
    const QString fontFile = cmbWMFontFileName->currentText();
    if (!fontFile.isEmpty())
        registerFont(appfolder::joinPath(m_appFolder, QStringLiteral("wmfonts/") + fontFile));

    const QString text = txtWatermark->text();
    if (!text.isEmpty())
        lblWMPreview->setText(text);

    QFont font = lblWMPreview->font();
    const QString family = cmbWMFontName->currentText();
    // A font that is nowhere to be found leaves the preview in its previous
    // font rather than in a substitute.
    if (!family.isEmpty() && QFontDatabase::hasFamily(family))
        font.setFamily(family);
    const QString size = cmbWMFontSize->currentText();
    if (!size.isEmpty()) {
        const float points = float(conv::CDbl(size));
        if (points > 0)
            font.setPointSizeF(points);
    }
    lblWMPreview->setFont(font);
}

void frmWatermarkOptions::SetFontColorCode(quint32 color)
{
    txtWMFontColor->setText(watermark::colorCode(color));
}

void frmWatermarkOptions::cmdWMFontColor_Click()
{
    react([this] {
        const quint32 start = txtWMFontColor->foreColor();
        const quint32 chosen = m_prompts.chooseColor(start);
        if (chosen == start)
            return; // cancelled, or the same colour: nothing changes
        txtWMFontColor->setForeColor(chosen);
        ui::setForeColor(lblWMPreview, chosen);
        SetFontColorCode(chosen);
    });
}

void frmWatermarkOptions::cmdWMImage_Click()
{
    react([this] {
        const auto path = m_prompts.openFile(pictureDialogTitle, pictureDialogFilter, true);
        if (!path || path->isEmpty())
            return; // cancelled: quietly
        lblWMImagePath->setCaption(*path);
        lblWMImageName->setCaption(QFileInfo(*path).fileName());
    });
}

void frmWatermarkOptions::lblWMImagePath_Change()
{
    ui::describe(lblWMImagePath, ui::tipFor(lblWMImagePath->caption()));
}

void frmWatermarkOptions::cmdSave_Click()
{
    if (!BuildWatermarkFilter(true))
        return;
    emit saved();
    done(QDialog::Accepted);
}

bool frmWatermarkOptions::BuildWatermarkFilter(bool takeUserThere)
{
    using namespace watermark;
    Settings settings;
    settings.kind = optTextWM->isChecked() ? Kind::Text : optImageWM->isChecked() ? Kind::Image : Kind::None;
    settings.corner = optTopLeft->isChecked()      ? Corner::TopLeft
                      : optTopRight->isChecked()   ? Corner::TopRight
                      : optBottomLeft->isChecked() ? Corner::BottomLeft
                      : optBottomRight->isChecked() ? Corner::BottomRight
                                                    : Corner::None;
    settings.text = txtWatermark->text();
    settings.fontSize = cmbWMFontSize->currentText();
    settings.fontFolder = fontFolder(m_appFolder);
    settings.fontFile = cmbWMFontFileName->currentText();
    settings.colorCode = txtWMFontColor->text();
    settings.transparency = txtWMAlpha->text();
    settings.imagePath = lblWMImagePath->caption();
    try {
        const std::optional<Filter> filter =
            buildFilter(settings, State{strWMPosX, strWMPosY, strWMFontFolder}, m_appFolder, programName());
        if (!filter)
            return true;
        // A path restored from a profile without its name gets it here.
        if (!filter->imageName.isEmpty())
            lblWMImageName->setCaption(filter->imageName);
        strWMPosX = filter->state.posX;
        strWMPosY = filter->state.posY;
        strWMFontFolder = filter->state.fontFolder;
        txtWMString->setText(filter->text);
        return true;
    } catch (const Refusal &refusal) {
        m_prompts.error(refusal.message());
        if (!takeUserThere)
            return false;
        switch (refusal.subject()) {
        case Subject::WatermarkText: txtWatermark->setFocus(); break;
        case Subject::WatermarkImage: cmdWMImage_Click(); break;
        case Subject::Transparency: txtWMAlpha->setFocus(); break;
        default: break;
        }
        return false;
    }
}

bool frmWatermarkOptions::rebuildAfterProfile(bool watermarkOn)
{
    txtWMString->clear();
    return !watermarkOn || BuildWatermarkFilter(false);
}

void frmWatermarkOptions::cmdExit_Click()
{
    done(QDialog::Rejected);
}

void frmWatermarkOptions::reject()
{
    // Esc is the Exit button.
    cmdExit_Click();
}

void frmWatermarkOptions::closeEvent(QCloseEvent *event)
{
    // The close box drops the dialog with its settings and filter text; the
    // next access creates a fresh one.
    event->accept();
    emit dropped();
    hide();
    deleteLater();
}

void frmWatermarkOptions::showModal()
{
    if (m_modal) {
        raise();
        activateWindow();
        return;
    }
    if (QWidget *owner = m_owner) {
        adjustSize();
        move(owner->frameGeometry().center() - rect().center());
    }
    QPointer<frmWatermarkOptions> self(this);
    m_modal = true;
    exec();
    if (self)
        self->m_modal = false;
}
