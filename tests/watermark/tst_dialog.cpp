// The watermark dialog offscreen: start state and start-up failures, the
// live preview, the colour and picture dialogs, Save and its checks, Exit,
// the close box, and the main window's check box and button.
#include "app/frmMain.h"
#include "common/errors.h"
#include "common/ui_controls.h"
#include "app/ui_forms.h"
#include "support/scriptedprompts.h"
#include "support/testappdir.h"
#include "support/testprogram.h"
#include "watermark/frmWatermarkOptions.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace {

struct Program : TestProgram {
    explicit Program(bool withMain = true) : TestProgram(TestAppDir::RealTools, withMain) {}
    frmWatermarkOptions &wm() { return forms.watermarkOptions(); }

    // A picture outside the application folder.
    QString picture(const QString &name, const QByteArray &bytes = QByteArray("\x89PNG picture"))
    {
        dir.writeFile(QStringLiteral("pictures/") + name, bytes);
        return dir.file(QStringLiteral("pictures/") + name);
    }
};


// Runs the action while the dialog is shown modally; the action has to end
// the display (Save, Exit or close box). Returns how often it was shown.
int whileShown(const std::function<void()> &show, const std::function<void()> &action)
{
    int shown = 0;
    bool acted = false;
    auto *timer = new QTimer;
    timer->setInterval(0);
    QObject::connect(timer, &QTimer::timeout, [&] {
        if (auto *modal = qobject_cast<frmWatermarkOptions *>(QApplication::activeModalWidget())) {
            ++shown;
            if (!acted) {
                acted = true;
                action();
            } else {
                modal->cmdExit_Click(); // the action left it open: end it
            }
        }
    });
    timer->start();
    show();
    delete timer;
    return shown;
}

QString errorText(int number)
{
    return generalErrorText(RuntimeError(number));
}

} // namespace

class tst_Dialog : public QObject
{
    Q_OBJECT
private slots:
    void startState()
    {
        Program p(false);
        frmWatermarkOptions &w = p.wm();
        QCOMPARE(w.windowTitle(), QStringLiteral("Watermark Options"));
        QVERIFY(w.optTextWM->isChecked());
        QVERIFY(!w.optImageWM->isChecked());
        QVERIFY(w.Frame2->isEnabled());
        QVERIFY(!w.Frame3->isEnabled());
        QVERIFY(!w.cmdWMImage->isEnabled());
        QVERIFY(w.optTopLeft->isChecked());
        QVERIFY(!w.optTopRight->isChecked() && !w.optBottomLeft->isChecked() && !w.optBottomRight->isChecked());
        QCOMPARE(entries(w.cmbWMFontName), (QStringList{QStringLiteral("DejaVu Sans"), QStringLiteral("DejaVu Serif"),
                                                        QStringLiteral("DejaVu Sans Mono"),
                                                        QStringLiteral("Liberation Sans")}));
        QCOMPARE(w.cmbWMFontName->currentIndex(), 0);
        QCOMPARE(w.cmbWMFontFileName->currentText(), QStringLiteral("DejaVuSans.ttf"));
        QCOMPARE(w.cmbWMFontSize->currentIndex(), 2);
        QCOMPARE(w.cmbWMFontSize->currentText(), QStringLiteral("20"));
        QCOMPARE(w.txtWatermark->text(), QStringLiteral("Your Watermark Text"));
        QCOMPARE(w.lblWMPreview->text(), QStringLiteral("Your Watermark Text"));
        QCOMPARE(ui::foreColor(w.lblWMPreview), quint32(0x008000));
        QCOMPARE(w.lblWMPreview->font().family(), QStringLiteral("DejaVu Sans"));
        QCOMPARE(w.lblWMPreview->font().pointSizeF(), 20.0);
        QCOMPARE(w.txtWMFontColor->text(), QStringLiteral("0x008000"));
        QCOMPARE(w.txtWMFontColor->foreColor(), quint32(0x008000));
        QCOMPARE(w.txtWMAlpha->text(), QStringLiteral("60"));
        QVERIFY(w.txtWMString->text().isEmpty());
        QVERIFY(w.lblWMImagePath->caption().isEmpty());
        QVERIFY(w.lblWMImageName->caption().isEmpty());
        QVERIFY(w.strWMPosX.isEmpty() && w.strWMPosY.isEmpty() && w.strWMFontFolder.isEmpty());
        for (QWidget *hidden : {static_cast<QWidget *>(w.cmbWMFontFileName), static_cast<QWidget *>(w.txtWMFontColor),
                                static_cast<QWidget *>(w.lblWMImageName), static_cast<QWidget *>(w.txtWMString)})
            QVERIFY2(hidden->isHidden(), qPrintable(hidden->objectName()));

        // Captions and tooltips as the users know them.
        QCOMPARE(w.optTextWM->text(), QStringLiteral("Use Text Watermark"));
        QCOMPARE(w.optImageWM->toolTip(), QStringLiteral(" Use a PNG or JPG image as your watermark on the encoded video "));
        QCOMPARE(w.optTopLeft->toolTip(), QStringLiteral(" Watermark will be set at top left of video window "));
        QCOMPARE(w.optTopRight->toolTip(), QStringLiteral(" Watermark will be set at top right of video window "));
        QCOMPARE(w.optBottomLeft->toolTip(), QStringLiteral(" Watermark will be set at bottom left of video window "));
        QCOMPARE(w.optBottomRight->toolTip(), QStringLiteral(" Watermark will be set at bottom right of video window "));
        QCOMPARE(w.lblWMTransparency->toolTip(), QStringLiteral(" Transparency of the watermark text. 0 to 99.  "));
        QCOMPARE(w.cmdWMImage->toolTip(), QStringLiteral(" For best results use a PNG image with alpha chanel "));
        QCOMPARE(w.cmdSave->text(), QStringLiteral("&Save Options and E&xit"));
        QCOMPARE(w.cmdExit->text(), QStringLiteral("E&xit"));
        QCOMPARE(w.Frame2->title(), QStringLiteral("Text Options"));
        QCOMPARE(w.Frame3->title(), QStringLiteral("Image Options"));
        VERIFY_PROMPTS(p.prompts);
    }

    void startupFailures_data()
    {
        QTest::addColumn<QByteArray>("fontList");
        QTest::addColumn<QByteArray>("sizeList");
        QTest::addColumn<int>("error");
        QTest::addColumn<int>("fonts");
        QTest::addColumn<int>("sizes");
        QTest::addColumn<int>("sizeIndex");
        const QByteArray fonts = "DejaVu Sans#DejaVuSans.ttf\r\nDejaVu Serif#DejaVuSerif.ttf\r\n";
        const QByteArray sizes = "12\r\n16\r\n20\r\n";
        QTest::newRow("font list missing") << QByteArray() << sizes << rt::FileNotFound << 0 << 0 << -1;
        QTest::newRow("size list missing") << fonts << QByteArray() << rt::FileNotFound << 2 << 0 << -1;
        QTest::newRow("line without #") << QByteArray("A#a.ttf\r\nno mark\r\nB#b.ttf\r\n") << sizes
                                        << rt::SubscriptOutOfRange << 1 << 0 << -1;
        QTest::newRow("empty line") << QByteArray("A#a.ttf\r\n\r\n") << sizes << rt::SubscriptOutOfRange << 1 << 0 << -1;
        QTest::newRow("two sizes") << fonts << QByteArray("12\r\n16\r\n") << rt::InvalidPropertyValue << 2 << 2 << -1;
        QTest::newRow("third size not a number") << fonts << QByteArray("12\r\n16\r\nbig\r\n") << rt::TypeMismatch << 2
                                                 << 3 << 2;
        QTest::newRow("empty font list") << QByteArray("") << sizes << rt::InvalidPropertyValue << 0 << 3 << 2;
    }

    void startupFailures()
    {
        QFETCH(QByteArray, fontList);
        QFETCH(QByteArray, sizeList);
        QFETCH(int, error);
        QFETCH(int, fonts);
        QFETCH(int, sizes);
        QFETCH(int, sizeIndex);
        Program p(false);
        QFile::remove(p.dir.file(QStringLiteral("wmfonts/_fontlist.txt")));
        QFile::remove(p.dir.file(QStringLiteral("wmfonts/_fontsize.txt")));
        if (!fontList.isNull())
            p.dir.writeFile(QStringLiteral("wmfonts/_fontlist.txt"), fontList);
        if (!sizeList.isNull())
            p.dir.writeFile(QStringLiteral("wmfonts/_fontsize.txt"), sizeList);
        p.prompts.expectMessage(errorText(error));
        frmWatermarkOptions &w = p.wm();
        VERIFY_PROMPTS(p.prompts);
        // The lists keep what came before the failure; later steps did not run.
        QCOMPARE(w.cmbWMFontName->count(), fonts);
        QCOMPARE(w.cmbWMFontFileName->count(), fonts);
        QCOMPARE(w.cmbWMFontSize->count(), sizes);
        QCOMPARE(w.cmbWMFontSize->currentIndex(), sizeIndex);
        QCOMPARE(w.cmbWMFontName->currentIndex(), -1);
    }

    void previewFollowsTextFontAndSize()
    {
        Program p(false);
        frmWatermarkOptions &w = p.wm();
        w.txtWatermark->setText(QStringLiteral("Hello"));
        QCOMPARE(w.lblWMPreview->text(), QStringLiteral("Hello"));
        QTest::keyClicks(w.txtWatermark, QStringLiteral(" there"));
        QCOMPARE(w.lblWMPreview->text(), QStringLiteral("Hello there"));
        // Deleting all the text leaves the last text in the preview.
        w.txtWatermark->clear();
        QCOMPARE(w.lblWMPreview->text(), QStringLiteral("Hello there"));

        w.cmbWMFontName->setCurrentIndex(1);
        QCOMPARE(w.cmbWMFontFileName->currentIndex(), 1);
        QCOMPARE(w.lblWMPreview->font().family(), QStringLiteral("DejaVu Serif"));
        // The fourth font moves the hidden file list to its fourth entry too.
        w.cmbWMFontName->setCurrentIndex(3);
        QCOMPARE(w.cmbWMFontFileName->currentIndex(), 3);
        QCOMPARE(w.cmbWMFontFileName->currentText(), QStringLiteral("LiberationSans-Regular.ttf"));
        QCOMPARE(w.lblWMPreview->font().family(), QStringLiteral("Liberation Sans"));

        w.cmbWMFontSize->setCurrentIndex(5);
        QCOMPARE(w.lblWMPreview->font().pointSizeF(), 32.0);
        QCOMPARE(w.lblWMPreview->font().family(), QStringLiteral("Liberation Sans"));

        // Shown as typed, never as markup.
        w.txtWatermark->setText(QStringLiteral("<b>bold?</b> & more"));
        QCOMPARE(w.lblWMPreview->text(), QStringLiteral("<b>bold?</b> & more"));
        QCOMPARE(w.lblWMPreview->textFormat(), Qt::PlainText);
        // A font whose file and family are nowhere keeps the previous font.
        w.cmbWMFontName->addItem(QStringLiteral("No Such Family Vidlark"));
        w.cmbWMFontFileName->addItem(QStringLiteral("missing.ttf"));
        w.cmbWMFontName->setCurrentIndex(4);
        QCOMPARE(w.cmbWMFontFileName->currentIndex(), 4);
        QCOMPARE(w.lblWMPreview->font().family(), QStringLiteral("Liberation Sans"));
        VERIFY_PROMPTS(p.prompts);
    }

    void kindSwitch()
    {
        Program p(false);
        frmWatermarkOptions &w = p.wm();
        w.optImageWM->setChecked(true);
        QVERIFY(!w.optTextWM->isChecked());
        QVERIFY(w.Frame3->isEnabled());
        QVERIFY(!w.Frame2->isEnabled());
        QVERIFY(!w.txtWatermark->isEnabled());
        w.optTextWM->click();
        QVERIFY(w.Frame2->isEnabled());
        QVERIFY(!w.Frame3->isEnabled());
        // A profile can clear the kind from code; the reactions still run.
        ui::setOption(w.optTextWM, false);
        QVERIFY(!w.optTextWM->isChecked() && !w.optImageWM->isChecked());
        QVERIFY(!w.Frame2->isEnabled());
        QVERIFY(w.Frame3->isEnabled());
    }

    void colourDialog()
    {
        Program p(false);
        frmWatermarkOptions &w = p.wm();
        p.prompts.expectColor(quint32(0x0C0B0A));
        w.cmdWMFontColor->click();
        QCOMPARE(p.prompts.records().last().text, QString::number(0x008000)); // started from the colour held
        QCOMPARE(w.txtWMFontColor->text(), QStringLiteral("0x0A0B0C"));
        QCOMPARE(w.txtWMFontColor->foreColor(), quint32(0x0C0B0A));
        QCOMPARE(ui::foreColor(w.lblWMPreview), quint32(0x0C0B0A));

        // Cancel returns the start colour: nothing changes, a code a profile
        // wrote included.
        w.txtWMFontColor->setText(QStringLiteral("0x0a0b0c"));
        p.prompts.expectColor(std::nullopt);
        w.cmdWMFontColor->click();
        QCOMPARE(w.txtWMFontColor->text(), QStringLiteral("0x0a0b0c"));
        QCOMPARE(ui::foreColor(w.lblWMPreview), quint32(0x0C0B0A));

        p.prompts.expectColor(quint32(0xFFFFFF));
        w.cmdWMFontColor->click();
        QCOMPARE(w.txtWMFontColor->text(), QStringLiteral("0xFFFFFF"));
        VERIFY_PROMPTS(p.prompts);
    }

    void pictureDialog()
    {
        Program p(false);
        frmWatermarkOptions &w = p.wm();
        w.optImageWM->setChecked(true);
        const QString path = p.picture(QStringLiteral("my logo.png"));
        p.prompts.expectOpenFile(path, QStringLiteral("Open Picture File"));
        w.cmdWMImage->click();
        QCOMPARE(p.prompts.records().last().text,
                 QStringLiteral("Supported Image Files (*.png;*.jpg)|*.png;*.jpg|PNG (*.png)|*.png|Jpeg (*.jpg)|*.jpg"));
        QCOMPARE(w.lblWMImagePath->caption(), path);
        QCOMPARE(w.lblWMImagePath->toolTip(), QLatin1Char(' ') + path + QLatin1Char(' '));
        QCOMPARE(w.lblWMImageName->caption(), QStringLiteral("my logo.png"));

        // Cancel: quiet, both captions stay.
        p.prompts.expectOpenFile(std::nullopt, QStringLiteral("Open Picture File"));
        w.cmdWMImage->click();
        QCOMPARE(w.lblWMImagePath->caption(), path);
        QCOMPARE(w.lblWMImageName->caption(), QStringLiteral("my logo.png"));

        // A path set from code (a profile) gets its tooltip as well.
        w.lblWMImagePath->setCaption(QStringLiteral("/x/y.png"));
        QCOMPARE(w.lblWMImagePath->toolTip(), QStringLiteral(" /x/y.png "));
        VERIFY_PROMPTS(p.prompts);
    }

    // Save checks only the chosen kind: the text for text, the picture for
    // an image; a refused Save keeps the dialog open and builds nothing.
    void saveChecksTheChosenKind()
    {
        Program p(false);
        frmWatermarkOptions &w = p.wm();
        w.show();
        w.txtWatermark->clear();
        p.prompts.expectMessage(QStringLiteral("WATERMARK TEXT MISSING"));
        w.cmdSave->click();
        QVERIFY(w.isVisible());
        QVERIFY(w.txtWMString->text().isEmpty());
        QCOMPARE(w.focusWidget(), static_cast<QWidget *>(w.txtWatermark));

        w.optImageWM->setChecked(true);
        p.prompts.expectMessage(QStringLiteral("WATERMARK IMAGE MISSING"))
            .expectOpenFile(std::nullopt, QStringLiteral("Open Picture File"));
        w.cmdSave->click();
        QVERIFY(w.isVisible());
        QVERIFY(w.txtWMString->text().isEmpty());
        QVERIFY(w.lblWMImagePath->caption().isEmpty());

        // Choosing the picture in that dialog does not save: Save is pressed
        // again, and the empty text is no matter.
        const QString path = p.picture(QStringLiteral("logo.png"));
        p.prompts.expectMessage(QStringLiteral("WATERMARK IMAGE MISSING")).expectOpenFile(path);
        w.cmdSave->click();
        QVERIFY(w.isVisible());
        QVERIFY(w.txtWMString->text().isEmpty());
        QCOMPARE(w.lblWMImagePath->caption(), path);
        w.cmdSave->click();
        QVERIFY(!w.isVisible());
        QVERIFY(w.txtWMString->text().contains(QStringLiteral("movie='logo.png'")));
        VERIFY_PROMPTS(p.prompts);
    }

    void saveBuildsTextFilter()
    {
        Program p(false);
        frmWatermarkOptions &w = p.wm();
        w.txtWatermark->setText(QStringLiteral("Joe's Videos: 100%"));
        w.optBottomRight->setChecked(true);
        w.cmbWMFontName->setCurrentIndex(1);
        w.cmbWMFontSize->setCurrentIndex(3);
        w.txtWMAlpha->setText(QStringLiteral("5"));
        w.show();
        w.cmdSave->click();
        QVERIFY(!w.isVisible());
        QCOMPARE(w.txtWMString->text(),
                 QStringLiteral(" -vf \"[in]drawtext=fontsize=24:fontcolor=0x008000@0.05:fontfile='") + p.dir.path()
                     + QStringLiteral("/wmfonts/DejaVuSerif.ttf':text='Joe\\'\\''s Videos\\: 100\\\\%':"
                                      "x=(W-text_w)-8:y=(H-text_h)-8 [out]\""));
        QCOMPARE(w.strWMPosX, QStringLiteral("(W-text_w)-8"));
        QCOMPARE(w.strWMPosY, QStringLiteral("(H-text_h)-8"));
        QCOMPARE(w.strWMFontFolder, p.dir.path() + QStringLiteral("/wmfonts/"));
        VERIFY_PROMPTS(p.prompts);
    }

    void saveCopiesPicture()
    {
        Program p(false);
        frmWatermarkOptions &w = p.wm();
        // An earlier copy of the same name is replaced.
        p.dir.writeFile(QStringLiteral("logo.png"), "earlier copy");
        const QString path = p.picture(QStringLiteral("logo.png"), "the new picture");
        w.optImageWM->setChecked(true);
        w.optTopRight->setChecked(true);
        p.prompts.expectOpenFile(path);
        w.cmdWMImage_Click();
        w.cmdSave_Click();
        QCOMPARE(p.dir.readFile(QStringLiteral("logo.png")), QByteArray("the new picture"));
        QCOMPARE(w.txtWMString->text(),
                 QStringLiteral(" -vf \"movie='logo.png'[watermark];[in][watermark] overlay=(W-overlay_w)-8:8 [out]\""));
        QCOMPARE(w.lblWMImageName->caption(), QStringLiteral("logo.png"));
        QCOMPARE(w.strWMPosX, QStringLiteral("(W-overlay_w)-8"));
        QVERIFY(w.strWMFontFolder.isEmpty());
        VERIFY_PROMPTS(p.prompts);
    }

    void pathFromProfileGetsItsName()
    {
        // A profile restores the path but not the name; the copy still takes the
        // picture's own name, and the name follows it for the clean-up.
        Program p(false);
        frmWatermarkOptions &w = p.wm();
        w.optImageWM->setChecked(true);
        w.lblWMImagePath->setCaption(p.picture(QStringLiteral("brand.jpg"), "jpeg bytes"));
        QVERIFY(w.lblWMImageName->caption().isEmpty());
        w.cmdSave_Click();
        QCOMPARE(w.lblWMImageName->caption(), QStringLiteral("brand.jpg"));
        QCOMPARE(p.dir.readFile(QStringLiteral("brand.jpg")), QByteArray("jpeg bytes"));
        QVERIFY(w.txtWMString->text().contains(QStringLiteral("movie='brand.jpg'")));
        VERIFY_PROMPTS(p.prompts);
    }

    // A refused Save keeps the dialog open and the filter text it had.
    void refusedSaveKeepsFilter()
    {
        Program p(false);
        frmWatermarkOptions &w = p.wm();
        w.cmdSave_Click();
        const QString saved = w.txtWMString->text();
        QVERIFY(saved.contains(QStringLiteral("@0.6:")));
        w.show();
        for (const char *alpha : {"x", "", "-5", "1.", " 7"}) {
            w.txtWMAlpha->setText(QLatin1String(alpha));
            w.optBottomLeft->setChecked(true);
            p.prompts.expectMessage(QStringLiteral("TRANSPARENCY MUST BE A WHOLE NUMBER FROM 0 TO 99!"));
            w.cmdSave->click();
            QVERIFY2(w.isVisible(), alpha);
            QCOMPARE(w.txtWMString->text(), saved);
            QCOMPARE(w.strWMPosY, QStringLiteral("8"));
            QCOMPARE(w.focusWidget(), static_cast<QWidget *>(w.txtWMAlpha));
        }

        // A picture named like the program's own files is never copied.
        const QByteArray tool = p.dir.readFile(QStringLiteral("config/configvbr.txt"));
        w.optImageWM->setChecked(true);
        p.dir.writeFile(QStringLiteral("notes.txt"), "the user's notes");
        for (const char *name : {"ma", "config", "engine", "wmfonts", "notes.txt"}) {
            w.lblWMImagePath->setCaption(p.picture(QLatin1String(name), "picture"));
            p.prompts.expectMessage(
                QStringLiteral("THE PROGRAM USES THE NAME OF THIS WATERMARK IMAGE FOR ITS OWN FILES! PLEASE RENAME THE IMAGE."));
            w.cmdSave->click();
            QVERIFY2(w.isVisible(), name);
            QCOMPARE(w.txtWMString->text(), saved);
        }
        QCOMPARE(p.dir.readFile(QStringLiteral("notes.txt")), QByteArray("the user's notes"));
        QCOMPARE(p.dir.readFile(QStringLiteral("config/configvbr.txt")), tool);
        QVERIFY(QFileInfo(p.dir.file(QStringLiteral("ma"))).isSymLink());

        // A picture gone since it was chosen.
        const QString path = p.picture(QStringLiteral("gone.png"));
        p.prompts.expectOpenFile(path);
        w.cmdWMImage->click();
        QFile::remove(path);
        p.prompts.expectMessage(QStringLiteral("WATERMARK IMAGE COULD NOT BE COPIED! FILE NOT FOUND."));
        w.cmdSave->click();
        QVERIFY(w.isVisible());
        QCOMPARE(w.txtWMString->text(), saved);
        QVERIFY(!QFile::exists(p.dir.file(QStringLiteral("gone.png"))));
        VERIFY_PROMPTS(p.prompts);
    }

    void exitKeepsOldFilter()
    {
        Program p(false);
        frmWatermarkOptions &w = p.wm();
        w.txtWatermark->setText(QStringLiteral("First"));
        w.cmdSave_Click();
        QVERIFY(w.txtWMString->text().contains(QStringLiteral("text='First'")));
        QCOMPARE(whileShown([&] { w.showModal(); },
                            [&] {
                                w.txtWatermark->setText(QStringLiteral("Second"));
                                w.cmdExit->click();
                            }),
                 1);
        QVERIFY(!w.isVisible());
        QVERIFY(w.txtWMString->text().contains(QStringLiteral("text='First'")));
        QCOMPARE(w.txtWatermark->text(), QStringLiteral("Second"));
        // Esc is Exit as well.
        QCOMPARE(whileShown([&] { w.showModal(); }, [&] { QTest::keyClick(&w, Qt::Key_Escape); }), 1);
        QVERIFY(p.forms.watermarkOptionsLoaded());
        QCOMPARE(&p.forms.watermarkOptions(), &w);
        VERIFY_PROMPTS(p.prompts);
    }

    void closeBoxGivesFreshDialog()
    {
        Program p(false);
        QPointer<frmWatermarkOptions> first = &p.wm();
        first->txtWatermark->setText(QStringLiteral("Mine"));
        first->optBottomRight->setChecked(true);
        first->cmdSave_Click();
        QVERIFY(!first->txtWMString->text().isEmpty());
        QCOMPARE(whileShown([&] { first->showModal(); }, [&] { first->close(); }), 1);
        QVERIFY(!p.forms.watermarkOptionsLoaded());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(first.isNull());

        frmWatermarkOptions &fresh = p.wm();
        QVERIFY(fresh.txtWMString->text().isEmpty());
        QCOMPARE(fresh.txtWatermark->text(), QStringLiteral("Your Watermark Text"));
        QVERIFY(fresh.optTopLeft->isChecked());
        QCOMPARE(fresh.cmbWMFontSize->currentIndex(), 2);
        VERIFY_PROMPTS(p.prompts);
    }

    // The main window's box opens the dialog only while no filter text
    // exists; the options button always opens it, and Save ticks the box.
    void mainWindowBoxAndButton()
    {
        Program p;
        frmMain &m = *p.window;
        auto exitDialog = [&] { p.wm().cmdExit->click(); };
        auto saveDialog = [&] { p.wm().cmdSave->click(); };
        // Without a filter text, checking and unchecking both open the dialog.
        QCOMPARE(whileShown([&] { m.chkWatermark->click(); }, exitDialog), 1);
        QCOMPARE(ui::checkValue(m.chkWatermark), 1);
        QCOMPARE(whileShown([&] { m.chkWatermark->click(); }, exitDialog), 1);
        QCOMPARE(ui::checkValue(m.chkWatermark), 0);
        // Save ticks the box; its reaction finds a filter text and stays quiet.
        QCOMPARE(whileShown([&] { m.cmdWMOptions->click(); }, saveDialog), 1);
        QCOMPARE(ui::checkValue(m.chkWatermark), 1);
        QVERIFY(!p.wm().isVisible());
        // The button opens it with a filter text too; a ticked box stays ticked.
        QCOMPARE(whileShown([&] { m.cmdWMOptions->click(); }, saveDialog), 1);
        QCOMPARE(ui::checkValue(m.chkWatermark), 1);
        // Once saved, the box only switches.
        QCOMPARE(whileShown([&] { m.chkWatermark->click(); }, [] {}), 0);
        QCOMPARE(ui::checkValue(m.chkWatermark), 0);
        QCOMPARE(whileShown([&] { m.chkWatermark->click(); }, [] {}), 0);
        QCOMPARE(ui::checkValue(m.chkWatermark), 1);
        // A dialog dropped by its close box has no filter text again.
        QCOMPARE(whileShown([&] { m.cmdWMOptions->click(); }, [&] { p.wm().close(); }), 1);
        QVERIFY(!p.forms.watermarkOptionsLoaded());
        QCOMPARE(whileShown([&] { m.chkWatermark->click(); }, exitDialog), 1);
        VERIFY_PROMPTS(p.prompts);
    }
};

QTEST_MAIN(tst_Dialog)
#include "tst_dialog.moc"
