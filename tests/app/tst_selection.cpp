// Step 1 of the main window: source, output folder and output names; and the
// window-size and time-field reactions of step 2.
#include "app/frmMain.h"
#include "common/mdlMain.h"
#include "common/errors.h"
#include "encode/outputnames.h"
#include "common/ui_controls.h"
#include "app/ui_forms.h"
#include "support/scriptedprompts.h"
#include "support/testappdir.h"
#include "support/testprogram.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

namespace {

struct Program : TestProgram {

    // Chooses a source through "&Source Video...".
    void chooseSource(const QString &path)
    {
        prompts.expectOpenFile(path, QStringLiteral("Source Video to Convert"));
        window->cmdInput->click();
    }
    void chooseFolder(const QString &path)
    {
        prompts.expectBrowseFolder(path, QStringLiteral("Select Your Output Folder:"));
        window->cmdOutDir->click();
    }
    QStringList names() const
    {
        return {window->txtOutFileFLV->text(), window->txtOutFileMp4->text(), window->txtOutFileWebm->text()};
    }
};

QStringList names(const QString &base)
{
    return {base + QStringLiteral(".flv"), base + QStringLiteral(".mp4"), base + QStringLiteral(".webm")};
}

} // namespace

class TestSelection : public QObject
{
    Q_OBJECT

private slots:
    void init() { mdlMain::blnForceExit = false; }

    // --- The rules on their own ---

    void titleAndBase_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("base");
        QTest::addColumn<int>("parts");
        QTest::newRow("one dot") << "/v/clip.avi" << "/v/" << "clip" << 2;
        QTest::newRow("several dots") << "/v/a.b.c.mov" << "/v/" << "a" << 4;
        QTest::newRow("no dot") << "/v/clip" << "/v/" << "clip" << 1;
        QTest::newRow("leading dot") << "/v/.hidden.avi" << "/v/" << "" << 3;
        QTest::newRow("trailing dot") << "/v/clip." << "/v/" << "clip" << 2;
        QTest::newRow("dots in folder") << "/v.1/x.y/clip" << "/v.1/x.y/" << "clip" << 1;
        QTest::newRow("root") << "/clip.avi" << "/" << "clip" << 2;
    }
    void titleAndBase()
    {
        QFETCH(QString, path);
        QTEST(selection::folderPart(path), "folder");
        const QStringList parts = selection::nameParts(selection::fileTitle(path));
        QTEST(int(parts.size()), "parts");
        QTEST(selection::baseName(parts), "base");
        QCOMPARE(selection::folderPart(path) + selection::fileTitle(path), path);
    }

    void trailingSlash()
    {
        QCOMPARE(selection::withTrailingSlash(QStringLiteral("/data/out")), QStringLiteral("/data/out/"));
        QCOMPARE(selection::withTrailingSlash(QStringLiteral("/data/out/")), QStringLiteral("/data/out/"));
        QCOMPARE(selection::withTrailingSlash(QStringLiteral("/")), QStringLiteral("/"));
        QVERIFY(selection::nameParts(QString()).isEmpty());
        try {
            selection::baseName({});
            QFAIL("no error for an empty title");
        } catch (const RuntimeError &e) {
            QCOMPARE(e.number(), rt::SubscriptOutOfRange);
        }
    }

    // The same file through a link, a hard link or another spelling; a
    // different file of the same name is not the source.
    void sameFileByIdentity()
    {
        QTemporaryDir tmp;
        const QString real = tmp.path() + QStringLiteral("/real/clip.mp4");
        QVERIFY(writeFileBytes(real, "x") && writeFileBytes(tmp.path() + QStringLiteral("/other/clip.mp4"), "x"));
        QVERIFY(QFile::link(tmp.path() + QStringLiteral("/real"), tmp.path() + QStringLiteral("/link")));
        QVERIFY(::link(QFile::encodeName(real).constData(),
                       QFile::encodeName(tmp.path() + QStringLiteral("/real/hard.mp4")).constData())
                == 0);

        QVERIFY(selection::sameFile(tmp.path() + QStringLiteral("/link/clip.mp4"), real));
        QVERIFY(selection::sameFile(tmp.path() + QStringLiteral("/real/../real/./clip.mp4"), real));
        QVERIFY(selection::sameFile(tmp.path() + QStringLiteral("/real/hard.mp4"), real));
        QVERIFY(!selection::sameFile(tmp.path() + QStringLiteral("/other/clip.mp4"), real));
        QVERIFY(!selection::sameFile(tmp.path() + QStringLiteral("/real/missing.mp4"), real));
        QVERIFY(!selection::sameFile(QString(), real));

        QCOMPARE(selection::outputName(tmp.path() + QStringLiteral("/link/"), QStringLiteral("clip.mp4"), real),
                 QStringLiteral("conv_clip.mp4"));
        QCOMPARE(selection::outputName(tmp.path() + QStringLiteral("/other/"), QStringLiteral("clip.mp4"), real),
                 QStringLiteral("clip.mp4"));
        // Letter case is ignored even where no such file exists.
        QCOMPARE(selection::outputName(QStringLiteral("/x/v/"), QStringLiteral("clip.flv"), QStringLiteral("/X/V/CLIP.FLV")),
                 QStringLiteral("conv_clip.flv"));
        QCOMPARE(selection::outputName(QStringLiteral("/x/v/"), QStringLiteral("clip.flv"), QStringLiteral("/x/w/clip.flv")),
                 QStringLiteral("clip.flv"));
    }

    // --- The main window ---

    void sourceSetsFolderAndNames()
    {
        Program p;
        QVERIFY(p.window->Form_Load());
        frmMain &w = *p.window;
        p.chooseSource(QStringLiteral("/home/ann/clips/holiday.2012.avi"));
        QCOMPARE(w.lblInput->caption(), QStringLiteral("/home/ann/clips/holiday.2012.avi"));
        QCOMPARE(w.lblInput->toolTip(), QStringLiteral(" /home/ann/clips/holiday.2012.avi "));
        QCOMPARE(w.lblOutDir->caption(), QStringLiteral("/home/ann/clips/"));
        QCOMPARE(w.lblOutDir->toolTip(), QStringLiteral(" /home/ann/clips/ "));
        QCOMPARE(p.names(), names(QStringLiteral("holiday")));
        QCOMPARE(w.strSourceNameParts,
                 (QStringList{QStringLiteral("holiday"), QStringLiteral("2012"), QStringLiteral("avi")}));
        QCOMPARE(p.prompts.records().first().text, QStringLiteral("Video Files |*.*"));

        // The names stay editable and are only re-derived by the next source.
        w.txtOutFileFLV->setText(QStringLiteral("mine.flv"));
        p.chooseFolder(QStringLiteral("/data/out"));
        QCOMPARE(w.txtOutFileFLV->text(), QStringLiteral("mine.flv"));

        // Unlocked, the folder follows the next source.
        p.chooseSource(QStringLiteral("/media/usb/.hidden"));
        QCOMPARE(w.lblOutDir->caption(), QStringLiteral("/media/usb/"));
        QCOMPARE(p.names(), names(QString()));
        p.chooseSource(QStringLiteral("/clip"));
        QCOMPARE(w.lblOutDir->caption(), QStringLiteral("/"));
        QCOMPARE(w.lblOutDir->toolTip(), QStringLiteral(" / "));
        QCOMPARE(p.names(), names(QStringLiteral("clip")));
        VERIFY_PROMPTS(p.prompts);
    }

    void lockedFolder()
    {
        Program p;
        QVERIFY(p.window->Form_Load());
        frmMain &w = *p.window;
        // Locked while empty: the folder comes from the source.
        ui::setCheckValue(w.chkLockLocation, 1);
        p.chooseSource(QStringLiteral("/v/a.b.c.mov"));
        QCOMPARE(w.lblOutDir->caption(), QStringLiteral("/v/"));
        QCOMPARE(p.names(), names(QStringLiteral("a")));
        // Locked with a folder: the next source keeps it.
        p.chooseFolder(QStringLiteral("/data/out"));
        QCOMPARE(w.lblOutDir->caption(), QStringLiteral("/data/out/"));
        p.chooseSource(QStringLiteral("/w/clip.mkv"));
        QCOMPARE(w.lblInput->caption(), QStringLiteral("/w/clip.mkv"));
        QCOMPARE(w.lblOutDir->caption(), QStringLiteral("/data/out/"));
        QCOMPARE(p.names(), names(QStringLiteral("clip")));
        // A root folder keeps its single slash.
        p.chooseFolder(QStringLiteral("/"));
        QCOMPARE(w.lblOutDir->caption(), QStringLiteral("/"));
        QCOMPARE(w.lblOutDir->toolTip(), QStringLiteral(" / "));
        p.chooseSource(QStringLiteral("/w/clip.mkv"));
        QCOMPARE(w.lblOutDir->caption(), QStringLiteral("/"));
        // Unlocked again, it follows the source.
        ui::setCheckValue(w.chkLockLocation, 0);
        p.chooseSource(QStringLiteral("/w/clip.mkv"));
        QCOMPARE(w.lblOutDir->caption(), QStringLiteral("/w/"));
        VERIFY_PROMPTS(p.prompts);
    }

    // Only the output that would be the source gets "conv_"; letter case is
    // ignored, and a link to the source's folder counts as well.
    void convPrefix()
    {
        Program p;
        QVERIFY(p.window->Form_Load());
        frmMain &w = *p.window;
        p.chooseSource(QStringLiteral("/X/V/clip.flv"));
        QCOMPARE(p.names(), (QStringList{QStringLiteral("conv_clip.flv"), QStringLiteral("clip.mp4"),
                                         QStringLiteral("clip.webm")}));
        ui::setCheckValue(w.chkLockLocation, 1);
        p.chooseFolder(QStringLiteral("/x/v"));
        p.chooseSource(QStringLiteral("/X/V/Clip.MP4"));
        QCOMPARE(p.names(), (QStringList{QStringLiteral("Clip.flv"), QStringLiteral("conv_Clip.mp4"),
                                         QStringLiteral("Clip.webm")}));
        VERIFY_PROMPTS(p.prompts);
    }

    void cancels()
    {
        Program p;
        QVERIFY(p.window->Form_Load());
        frmMain &w = *p.window;
        // Nothing chosen yet: a cancelled browse keeps the folder empty.
        p.chooseFolder(QString());
        QCOMPARE(w.lblOutDir->caption(), QString());
        p.chooseSource(QStringLiteral("/v/clip.avi"));
        p.chooseFolder(QStringLiteral("/data/out/"));
        w.txtOutFileMp4->setText(QStringLiteral("edited.mp4"));

        p.prompts.expectOpenFile(std::nullopt, QStringLiteral("Source Video to Convert"));
        w.cmdInput->click();
        p.chooseFolder(QString());
        QCOMPARE(w.lblInput->caption(), QStringLiteral("/v/clip.avi"));
        QCOMPARE(w.lblOutDir->caption(), QStringLiteral("/data/out/"));
        QCOMPARE(w.txtOutFileMp4->text(), QStringLiteral("edited.mp4"));
        QVERIFY(p.prompts.messages().isEmpty());
        VERIFY_PROMPTS(p.prompts);
    }

    // A failure after the source was taken shows the general error report;
    // what was set before it stays.
    void failureKeepsWhatWasSet()
    {
        Program p;
        QVERIFY(p.window->Form_Load());
        frmMain &w = *p.window;
        p.chooseSource(QStringLiteral("/v/clip.avi"));
        p.prompts.expectOpenFile(QStringLiteral("/w/dir/"), QStringLiteral("Source Video to Convert"));
        p.prompts.expectMessage(QStringLiteral("ERROR# 9 SUBSCRIPT OUT OF RANGE. PLEASE CONTACT SUPPORT."));
        w.cmdInput->click();
        QCOMPARE(w.lblInput->caption(), QStringLiteral("/w/dir/"));
        QCOMPARE(w.lblOutDir->caption(), QStringLiteral("/w/dir/"));
        QCOMPARE(p.names(), names(QStringLiteral("clip")));
        VERIFY_PROMPTS(p.prompts);
    }

    // Choosing a window size selects "Resize to (W x H)", by the user (also
    // the entry already shown) and from code.
    void windowSizeSelectsResize()
    {
        Program p;
        QVERIFY(p.window->Form_Load());
        frmMain &w = *p.window;
        QVERIFY(w.optVideoWindowOriginal->isChecked());
        w.cmbVideoWindow->setCurrentIndex(2);
        QVERIFY(w.optVideoWindowResize->isChecked());
        QVERIFY(!w.optVideoWindowOriginal->isChecked());

        w.optVideoWindowOriginal->setChecked(true);
        w.cmbVideoWindow->setFocus();
        QTest::keyClick(w.cmbVideoWindow, Qt::Key_Down);
        QCOMPARE(w.cmbVideoWindow->currentIndex(), 3);
        QVERIFY(w.optVideoWindowResize->isChecked());

        w.optVideoWindowOriginal->setChecked(true);
        emit w.cmbVideoWindow->activated(3); // the shown entry picked again
        QVERIFY(w.optVideoWindowResize->isChecked());
        VERIFY_PROMPTS(p.prompts);
    }

    // Typed characters are filtered (digits, two at most). The texts a
    // desktop gives editing keys (Delete "\x7f", Tab "\t", Ctrl+A "\x01",
    // ...) are no typed characters: the keys do their work.
    void timeFieldKeys()
    {
        Program p;
        QVERIFY(p.window->Form_Load());
        frmMain &w = *p.window;
        QApplication::setActiveWindow(&w);
        const auto press = [](QWidget *box, Qt::Key key, const char *text,
                              Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
            QTest::sendKeyEvent(QTest::Click, box, key, QString::fromLatin1(text), modifiers);
        };
        for (QLineEdit *box : {w.txtFrameMinute, w.txtFrameSecond}) {
            box->setFocus();
            QVERIFY(QTest::qWaitFor([&] { return box->hasFocus(); }));
            box->selectAll();
            QTest::keyClicks(box, QStringLiteral("a -1.x+,:9234"));
            press(box, Qt::Key_Return, "\r");
            QCOMPARE(box->text(), QStringLiteral("19"));
            box->setCursorPosition(0);
            press(box, Qt::Key_Delete, "\x7f");
            QCOMPARE(box->text(), QStringLiteral("9"));

            press(box, Qt::Key_A, "\x01", Qt::ControlModifier);
            QCOMPARE(box->selectedText(), QStringLiteral("9"));
            press(box, Qt::Key_C, "\x03", Qt::ControlModifier);
            QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("9"));
            press(box, Qt::Key_End, "");
            press(box, Qt::Key_V, "\x16", Qt::ControlModifier);
            QCOMPARE(box->text(), QStringLiteral("99"));
            press(box, Qt::Key_Z, "\x1a", Qt::ControlModifier);
            QCOMPARE(box->text(), QStringLiteral("9"));
            press(box, Qt::Key_End, "");
            press(box, Qt::Key_Backspace, "\x08");
            QCOMPARE(box->text(), QString());

            // Pasted text is not filtered here; the encoder checks it.
            QGuiApplication::clipboard()->setText(QStringLiteral("ab"));
            box->paste();
            QCOMPARE(box->text(), QStringLiteral("ab"));

            press(box, Qt::Key_Tab, "\t");
            QVERIFY(!box->hasFocus());
        }
        VERIFY_PROMPTS(p.prompts);
    }
};

QTEST_MAIN(TestSelection)
#include "tst_selection.moc"
