#include "watermark/frmWatermarkOptions.h"

#include "common/appfolder.h"
#include "common/conversions.h"
#include "common/errors.h"
#include "common/prompts.h"
#include "common/ui_controls.h"
#include "common/ui_settingsbinding.h"
#include "watermark/fonts.h"
#include "watermark/watermarkfilter.h"

#include <QCloseEvent>
#include <QComboBox>
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

using namespace settings;

namespace {

const QString pictureDialogTitle = QStringLiteral("Open Picture File");
const QString pictureDialogFilter =
    QStringLiteral("Supported Image Files (*.png;*.jpg)|*.png;*.jpg|PNG (*.png)|*.png|Jpeg (*.jpg)|*.jpg");

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

QLabel *caption(QWidget *parent, const char *name, const QString &text, const QString &tooltip = QString())
{
    return named(new QLabel(text, parent), name, tooltip);
}

QString cornerTip(const char *corner)
{
    return QStringLiteral(" Watermark will be set at ") + QLatin1String(corner)
        + QStringLiteral(" of video window ");
}

// Font files are registered with the application once each, whichever
// dialog instance asks; the preview then finds their families by name.
QHash<QString, bool> &registeredFonts()
{
    static QHash<QString, bool> fonts;
    return fonts;
}

} // namespace

frmWatermarkOptions::frmWatermarkOptions(IPrompts &prompts, settings::Model &model, const QString &appFolder,
                                         QWidget *owner)
    : m_prompts(prompts), m_settings(model), m_appFolder(appFolder), m_owner(owner)
{
    setObjectName(QStringLiteral("frmWatermarkOptions"));
    setWindowTitle(QStringLiteral("Watermark Options"));
    setFont(ui::standardFont());
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    buildControls();
    bindSettings();
    connectReactions();
    Form_Load();
}

void frmWatermarkOptions::buildControls()
{
    QHBoxLayout *kinds = buildKind();
    buildCorners();
    buildTextOptions();
    buildImageOptions();
    QHBoxLayout *buttons = buildButtons();

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(kinds);
    layout->addWidget(Frame1);
    layout->addWidget(Frame2);
    layout->addWidget(Frame3);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    orderTabs();
}

QHBoxLayout *frmWatermarkOptions::buildKind()
{
    // Kind: the two options are the dialog's own group.
    optTextWM = named(new QRadioButton(QStringLiteral("Use Text Watermark"), this), "optTextWM",
                      QStringLiteral(" Use a text as your watermark on the encoded video "));
    optImageWM = named(new QRadioButton(QStringLiteral("Use Image Watermark"), this), "optImageWM",
                       QStringLiteral(" Use a PNG or JPG image as your watermark on the encoded video "));
    auto *kinds = new QHBoxLayout;
    kinds->addWidget(optTextWM);
    kinds->addSpacing(24);
    kinds->addWidget(optImageWM);
    kinds->addStretch();
    return kinds;
}

void frmWatermarkOptions::buildCorners()
{
    Frame1 = named(new QGroupBox(this), "Frame1");
    lblSetWMat = caption(Frame1, "lblSetWMat", QStringLiteral("Set Watermark at:"),
                         QStringLiteral(" Position of the watermark relative to the output video window "));
    optTopLeft =
        named(new QRadioButton(QStringLiteral("Top Left"), Frame1), "optTopLeft", cornerTip("top left"));
    optTopRight =
        named(new QRadioButton(QStringLiteral("Top Right"), Frame1), "optTopRight", cornerTip("top right"));
    optBottomLeft = named(new QRadioButton(QStringLiteral("Bottom Left"), Frame1), "optBottomLeft",
                          cornerTip("bottom left"));
    optBottomRight = named(new QRadioButton(QStringLiteral("Bottom Right"), Frame1), "optBottomRight",
                           cornerTip("bottom right"));
    auto *corners = new QHBoxLayout(Frame1);
    corners->addWidget(lblSetWMat);
    corners->addSpacing(6);
    for (QRadioButton *corner : {optTopLeft, optTopRight, optBottomLeft, optBottomRight})
        corners->addWidget(corner);
    corners->addStretch();
}

void frmWatermarkOptions::buildTextOptions()
{
    Frame2 = named(new QGroupBox(QStringLiteral("Text Options"), this), "Frame2");
    lblWMText = caption(Frame2, "lblWMText", QStringLiteral("Text:"), QStringLiteral(" Watermark text "));
    txtWatermark = named(new QLineEdit(Frame2), "txtWatermark");
    lblWMFont =
        caption(Frame2, "lblWMFont", QStringLiteral("Font:"), QStringLiteral(" Font for the watermark "));
    cmbWMFontName = dropDown(Frame2, "cmbWMFontName", QStringLiteral(" Select a font "));
    cmbWMFontName->setMinimumWidth(160);
    lblWMSize =
        caption(Frame2, "lblWMSize", QStringLiteral("Size:"), QStringLiteral(" Size of the watermark font "));
    cmbWMFontSize = dropDown(Frame2, "cmbWMFontSize", QStringLiteral(" Select a font size "));
    cmbWMFontSize->setMinimumWidth(70);
    cmdWMFontColor = button(Frame2, "cmdWMFontColor", QStringLiteral("Select &Font Color"),
                            QStringLiteral(" Color of the watermark font "));
    lblWMTransparency = caption(Frame2, "lblWMTransparency", QStringLiteral("Transparency:"),
                                QStringLiteral(" Transparency of the watermark text. 0 to 99.  "));
    txtWMAlpha = named(new QLineEdit(Frame2), "txtWMAlpha");
    txtWMAlpha->setFixedWidth(36);
    lblWMAlphaPercentage = caption(Frame2, "lblWMAlphaPercentage", QStringLiteral("%"));
    lblWMPreview =
        caption(Frame2, "lblWMPreview", QStringLiteral("Sample"),
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
    g2->addWidget(lblWMSize, 2, 0);
    g2->addWidget(cmbWMFontSize, 2, 1, Qt::AlignLeft);
    g2->addWidget(cmdWMFontColor, 3, 1, 1, 2, Qt::AlignLeft);
    auto *alpha = new QHBoxLayout;
    alpha->addWidget(txtWMAlpha);
    alpha->addWidget(lblWMAlphaPercentage);
    alpha->addStretch();
    g2->addWidget(lblWMTransparency, 4, 0);
    g2->addLayout(alpha, 4, 1, 1, 3);
    g2->addWidget(lblWMPreview, 5, 0, 1, 4);
    g2->setColumnStretch(3, 1);
}

void frmWatermarkOptions::buildImageOptions()
{
    Frame3 = named(new QGroupBox(QStringLiteral("Image Options"), this), "Frame3");
    cmdWMImage = button(Frame3, "cmdWMImage", QStringLiteral("&Select Image..."),
                        QStringLiteral(" For best results use a PNG image with alpha chanel "));
    lblWMImagePath = named(new CaptionLabel(Frame3, true), "lblWMImagePath");
    lblWMImagePath->showAsPath(QStringLiteral("Watermark image"), 300);
    auto *g3 = new QHBoxLayout(Frame3);
    g3->addWidget(cmdWMImage);
    g3->addWidget(lblWMImagePath, 1);
}

QHBoxLayout *frmWatermarkOptions::buildButtons()
{
    cmdExit = button(this, "cmdExit", QStringLiteral("E&xit"), QStringLiteral(" Close this window "));
    cmdSave = button(this, "cmdSave", QStringLiteral("&Save Options and E&xit"),
                     QStringLiteral(" Save watermark options "));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdExit);
    buttons->addWidget(cmdSave);
    return buttons;
}

void frmWatermarkOptions::orderTabs()
{
    // The corners keep the order they were made in.
    const std::initializer_list<QWidget *> chains[] = {{optTextWM, optImageWM, optTopLeft},
                                                       {optBottomRight, txtWatermark, cmbWMFontName,
                                                        cmbWMFontSize, cmdWMFontColor, txtWMAlpha, cmdWMImage,
                                                        cmdExit, cmdSave}};
    for (const auto &chain : chains)
        for (auto it = chain.begin(); it + 1 != chain.end(); ++it)
            QWidget::setTabOrder(*it, *(it + 1));
}

void frmWatermarkOptions::bindSettings()
{
    m_binding = new ui::SettingsBinding(m_settings, this);
    m_binding->bindOption(optTextWM, TextWatermark);
    m_binding->bindOption(optImageWM, ImageWatermark);
    m_binding->bindOption(optTopLeft, TopLeft);
    m_binding->bindOption(optTopRight, TopRight);
    m_binding->bindOption(optBottomLeft, BottomLeft);
    m_binding->bindOption(optBottomRight, BottomRight);
    m_binding->bind(txtWatermark, WatermarkText);
    m_binding->bind(cmbWMFontName, FontName);
    m_binding->bind(cmbWMFontSize, FontSize);
    m_binding->bind(txtWMAlpha, Transparency);
    m_binding->bind(lblWMImagePath, ImagePath);
}

void frmWatermarkOptions::connectReactions()
{
    // The settings change for the user and for a profile alike.
    connect(&m_settings, &settings::Model::changed, this, &frmWatermarkOptions::settingChanged);
    connect(cmdWMFontColor, &QPushButton::clicked, this, &frmWatermarkOptions::cmdWMFontColor_Click);
    connect(cmdWMImage, &QPushButton::clicked, this, &frmWatermarkOptions::cmdWMImage_Click);
    connect(cmdSave, &QPushButton::clicked, this, &frmWatermarkOptions::cmdSave_Click);
    connect(cmdExit, &QPushButton::clicked, this, &frmWatermarkOptions::cmdExit_Click);
}

void frmWatermarkOptions::settingChanged(int setting)
{
    switch (setting) {
    case TextWatermark: optTextWM_Click(); break;
    case ImageWatermark: optImageWM_Click(); break;
    case WatermarkText: txtWatermark_Change(); break;
    // A list without a choice changes nothing to react to.
    case FontSize:
        if (m_settings.value(FontSize) >= 0)
            cmbWMFontSize_Click();
        break;
    case FontName:
        if (m_settings.value(FontName) >= 0)
            cmbWMFontName_Click();
        break;
    case FontColor: ui::setForeColor(lblWMPreview, quint32(m_settings.value(FontColor))); break;
    case ImagePath: lblWMImagePath_Change(); break;
    default: break;
    }
}

template <typename F>
void frmWatermarkOptions::react(F &&reaction)
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
        // 1-2: the kind chosen, the settings of the other kind unusable.
        m_settings.isSelected(ImageWatermark) ? optImageWM_Click() : optTextWM_Click();
        // 3-7: the first dialog reads the lists and chooses the third size
        // (the preview follows) and the first font (its file follows); a
        // later one shows the fonts chosen.
        if (m_settings.entries(FontName).isEmpty()) {
            LoadFontList();
            LoadFontSizes();
            m_settings.chooseStartEntry(FontSize);
            throwPendingError();
            m_settings.chooseStartEntry(FontName);
        } else {
            react([this] { UpdatePreview(); });
        }
        throwPendingError();
        // 8: the preview in the font colour.
        ui::setForeColor(lblWMPreview, quint32(m_settings.value(FontColor)));
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
    m_settings.setEntries(FontName, fonts.names);
    m_settings.setEntries(FontFile, fonts.files);
    // The fonts before a line without "#" stay in the lists.
    if (!fonts.complete)
        throw RuntimeError(rt::SubscriptOutOfRange);
}

void frmWatermarkOptions::LoadFontSizes()
{
    m_settings.setEntries(FontSize, watermark::readFontSizes(m_appFolder));
}

void frmWatermarkOptions::optTextWM_Click()
{
    const bool text = m_settings.isSelected(TextWatermark);
    Frame2->setEnabled(text);
    Frame3->setEnabled(!text);
}

void frmWatermarkOptions::optImageWM_Click()
{
    const bool image = m_settings.isSelected(ImageWatermark);
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
    react([this] { UpdatePreview(); });
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
    const QString fontFile = m_settings.entry(FontFile);
    if (!fontFile.isEmpty())
        registerFont(appfolder::joinPath(m_appFolder, QStringLiteral("wmfonts/") + fontFile));

    const QString text = m_settings.text(WatermarkText);
    if (!text.isEmpty())
        lblWMPreview->setText(text);

    QFont font = lblWMPreview->font();
    const QString family = m_settings.entry(FontName);
    // A font that is nowhere to be found leaves the preview in its previous
    // font rather than in a substitute.
    if (!family.isEmpty() && QFontDatabase::hasFamily(family))
        font.setFamily(family);
    const QString size = m_settings.entry(FontSize);
    if (!size.isEmpty()) {
        const float points = float(conv::CDbl(size));
        if (points > 0)
            font.setPointSizeF(points);
    }
    lblWMPreview->setFont(font);
}

void frmWatermarkOptions::SetFontColorCode(quint32 color)
{
    m_settings.setText(FontColorText, watermark::colorCode(color));
}

void frmWatermarkOptions::cmdWMFontColor_Click()
{
    react([this] {
        const quint32 start = quint32(m_settings.value(FontColor));
        const quint32 chosen = m_prompts.chooseColor(start);
        if (chosen == start)
            return; // cancelled, or the same colour: nothing changes
        m_settings.setValue(FontColor, int(chosen));
        SetFontColorCode(chosen);
    });
}

void frmWatermarkOptions::cmdWMImage_Click()
{
    react([this] {
        const auto path = m_prompts.openFile(pictureDialogTitle, pictureDialogFilter, true);
        if (!path || path->isEmpty())
            return; // cancelled: quietly
        m_settings.setText(ImagePath, *path);
        m_settings.setText(PictureName, QFileInfo(*path).fileName());
    });
}

void frmWatermarkOptions::lblWMImagePath_Change()
{
    ui::describe(lblWMImagePath, ui::tipFor(m_settings.text(ImagePath)));
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
    try {
        const std::optional<Filter> filter =
            buildFilter(settingsOf(m_settings, m_appFolder), State{strWMPosX, strWMPosY, strWMFontFolder},
                        m_appFolder, programName());
        if (!filter)
            return true;
        // A path restored from a profile without its name gets it here.
        if (!filter->imageName.isEmpty())
            m_settings.setText(PictureName, filter->imageName);
        strWMPosX = filter->state.posX;
        strWMPosY = filter->state.posY;
        strWMFontFolder = filter->state.fontFolder;
        m_settings.setText(WatermarkFilter, filter->text);
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
    m_settings.setText(WatermarkFilter, QString());
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
    // The close box drops the dialog with its settings and watermark; the
    // next access creates a fresh one.
    event->accept();
    disconnect(&m_settings, nullptr, this, nullptr);
    disconnect(&m_settings, nullptr, m_binding, nullptr);
    emit dropped();
    hide();
    deleteLater();
    m_settings.resetWatermark();
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
