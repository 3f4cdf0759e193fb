// The bitrate and window-size list editors, alone and opened from the main
// window's Edit menu.
#include "app/frmMain.h"
#include "common/mdlMain.h"
#include "app/ui_forms.h"
#include "settings/frmVideoBitrates.h"
#include "settings/frmVideoWindowSizes.h"
#include "support/privileges.h"
#include "support/scriptedprompts.h"
#include "support/testappdir.h"
#include "support/testprogram.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextCursor>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <sys/resource.h>

namespace {

const QString bitrates = QStringLiteral("config/configvbr.txt");
const QString sizes = QStringLiteral("config/configvws.txt");

using Program = TestProgram;

// The save question answered Yes, and the notice that follows.
void expectSaved(ScriptedPrompts &prompts)
{
    prompts.expectMessage(QStringLiteral("DO YOU WANT TO SAVE?"), mdlMain::vbYes)
        .expectMessage(QStringLiteral("DATA SAVED."));
}

// Runs the action on the modal dialog once it is shown (the editors are
// shown with exec(), which only returns when they close).
void onModal(std::function<void(QDialog *)> action)
{
    auto *timer = new QTimer;
    timer->setInterval(10);
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, action, tries] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog && ++*tries < 500)
            return;
        timer->stop();
        timer->deleteLater();
        if (dialog)
            action(dialog);
    });
    timer->start();
}

// Lets no file of this process grow beyond a few bytes, as a full disk does.
class DiskFull
{
public:
    explicit DiskFull(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~DiskFull() { setrlimit(RLIMIT_FSIZE, &m_old); }

private:
    rlimit m_old{};
};

} // namespace

class TestListEditors : public QObject
{
    Q_OBJECT
private slots:
    void init() { mdlMain::blnForceExit = false; }

    void windowsAsDescribed()
    {
        ScriptedPrompts prompts;
        TestAppDir dir;
        Forms forms(prompts, dir.path());
        frmVideoBitrates rates(forms);
        QCOMPARE(rates.windowTitle(), QStringLiteral("Video Bitrates"));
        QCOMPARE(rates.lblVideoBitrates->text(), QStringLiteral("Video Bitrates in Kbps:"));
        QVERIFY(rates.lblInformation->text().startsWith(
            QStringLiteral("Video bitrates are available on the software. You can edit them")));
        QVERIFY(rates.lblInformation->text().endsWith(QStringLiteral("it is suggested not to alter these.")));
        QCOMPARE(rates.txtVideoBitrates->toolTip(), QStringLiteral(" List of available video bitrates "));
        QCOMPARE(rates.cmdSave->text(), QStringLiteral("&Save"));
        QCOMPARE(rates.cmdSave->toolTip(), QStringLiteral(" Save "));
        QCOMPARE(rates.cmdExit->text(), QStringLiteral("E&xit"));
        QCOMPARE(rates.cmdExit->toolTip(), QStringLiteral(" Close this window "));
        QVERIFY(rates.Frame1->isAncestorOf(rates.txtVideoBitrates));

        frmVideoWindowSizes windows(forms);
        QCOMPARE(windows.windowTitle(), QStringLiteral("Video Window Sizes"));
        QCOMPARE(windows.Label2->text(), QStringLiteral("WidthxHeight Custom Text:"));
        QVERIFY(windows.Label1->text().endsWith(
            QStringLiteral("Also ensure you follow the proper format when you add a new one or alter an existing one.")));
        QCOMPARE(windows.txtVideoWindowSizes->toolTip(), QStringLiteral(" List of available video window sizes  "));
        QCOMPARE(windows.cmdSave->toolTip(), QStringLiteral(" Save "));
        QVERIFY(!windows.txtVideoWindowSizes->accessibleName().isEmpty());
        VERIFY_PROMPTS(prompts);
    }

    // The whole file, line ends and final line end included; saving it
    // unchanged adds one empty line each time.
    void saveUnchangedAddsOneEmptyLine()
    {
        ScriptedPrompts prompts;
        TestAppDir dir;
        Forms forms(prompts, dir.path());
        dir.writeFile(sizes, "320x240 Small\r\n\r\n640x480 VGA   \r\n");
        {
            frmVideoWindowSizes editor(forms);
            QCOMPARE(editor.txtVideoWindowSizes->toPlainText(), QStringLiteral("320x240 Small\n\n640x480 VGA   \n"));
            expectSaved(prompts);
            editor.cmdSave->click();
            QCOMPARE(dir.readFile(sizes), QByteArray("320x240 Small\r\n\r\n640x480 VGA   \r\n\r\n"));
            QCOMPARE(mdlMain::strMsgAnswer, QStringLiteral("6"));
            // Saved again from the same editor: the same text, the same file.
            expectSaved(prompts);
            editor.cmdSave->click();
            QCOMPARE(dir.readFile(sizes), QByteArray("320x240 Small\r\n\r\n640x480 VGA   \r\n\r\n"));
        }
        {
            frmVideoWindowSizes editor(forms);
            QCOMPARE(editor.txtVideoWindowSizes->toPlainText(), QStringLiteral("320x240 Small\n\n640x480 VGA   \n\n"));
            expectSaved(prompts);
            editor.cmdSave->click();
            QCOMPARE(dir.readFile(sizes), QByteArray("320x240 Small\r\n\r\n640x480 VGA   \r\n\r\n\r\n"));
        }
        QCOMPARE(prompts.records().at(0).buttons, MsgButtons::YesNo);
        VERIFY_PROMPTS(prompts);
    }

    // No keeps the file; so does Yes with nothing but line ends to save.
    void fileKeptUnsaved_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("answer");
        QTest::newRow("answered No") << QStringLiteral("999") << int(mdlMain::vbNo);
        QTest::newRow("empty") << QString() << int(mdlMain::vbYes);
        QTest::newRow("only line ends") << QStringLiteral("\n\n\n") << int(mdlMain::vbYes);
    }
    void fileKeptUnsaved()
    {
        QFETCH(QString, text);
        QFETCH(int, answer);
        ScriptedPrompts prompts;
        TestAppDir dir;
        Forms forms(prompts, dir.path());
        const QByteArray before = dir.readFile(bitrates);
        QVERIFY(!before.isEmpty());
        frmVideoBitrates editor(forms);
        editor.txtVideoBitrates->setPlainText(text);
        prompts.expectMessage(QStringLiteral("DO YOU WANT TO SAVE?"), answer);
        if (answer == mdlMain::vbYes)
            prompts.expectMessage(QStringLiteral("NOTHING TO SAVE!"));
        editor.cmdSave->click();
        QCOMPARE(dir.readFile(bitrates), before);
        QCOMPARE(mdlMain::strMsgAnswer, QString::number(answer));
        VERIFY_PROMPTS(prompts);
    }

    // The bitrate editor takes digits, "x", Backspace and Enter only. The
    // texts a desktop gives editing keys (Delete "\x7f", Tab "\t", Esc
    // "\x1b", Ctrl+A "\x01") are no typed characters: the keys do their work.
    void bitrateKeyFilter()
    {
        ScriptedPrompts prompts;
        TestAppDir dir;
        Forms forms(prompts, dir.path());
        frmVideoBitrates editor(forms);
        editor.show();
        QApplication::setActiveWindow(&editor);
        QPlainTextEdit *box = editor.txtVideoBitrates;
        box->setFocus();
        QVERIFY(QTest::qWaitFor([&] { return box->hasFocus(); }));
        const auto press = [&](Qt::Key key, const char *text, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
            QTest::sendKeyEvent(QTest::Click, box, key, QString::fromLatin1(text), modifiers);
        };

        box->setPlainText(QStringLiteral("128\n256"));
        box->moveCursor(QTextCursor::Start);
        press(Qt::Key_Delete, "\x7f");
        QCOMPARE(box->toPlainText(), QStringLiteral("28\n256"));

        press(Qt::Key_A, "\x01", Qt::ControlModifier);
        QCOMPARE(box->textCursor().selectedText(), QStringLiteral("28") + QChar::ParagraphSeparator
                                                       + QStringLiteral("256"));
        for (const char *text : {"1", "a", " ", ".", "X", "x", "\r", "2"})
            press(*text == '\r' ? Qt::Key_Return : Qt::Key(QChar::fromLatin1(*text).toUpper().unicode()), text);
        QCOMPARE(box->toPlainText(), QStringLiteral("1x\n2"));
        press(Qt::Key_Backspace, "\x08");
        QCOMPARE(box->toPlainText(), QStringLiteral("1x\n"));

        press(Qt::Key_Tab, "\t");
        QVERIFY(!box->hasFocus());
        QCOMPARE(box->toPlainText(), QStringLiteral("1x\n"));

        box->setFocus();
        QVERIFY(QTest::qWaitFor([&] { return box->hasFocus(); }));
        press(Qt::Key_Escape, "\x1b");
        QVERIFY(!editor.isVisible());
        QCOMPARE(editor.result(), int(QDialog::Rejected));

        // The window-size editor takes every key.
        frmVideoWindowSizes sizesEditor(forms);
        sizesEditor.show();
        sizesEditor.txtVideoWindowSizes->clear();
        QTest::keyClicks(sizesEditor.txtVideoWindowSizes, QStringLiteral("1280x720 HD, 16:9"));
        QCOMPARE(sizesEditor.txtVideoWindowSizes->toPlainText(), QStringLiteral("1280x720 HD, 16:9"));
        VERIFY_PROMPTS(prompts);
    }

    void missingFileLeavesTheEditorEmpty()
    {
        ScriptedPrompts prompts;
        TestAppDir dir;
        Forms forms(prompts, dir.path());
        QFile::remove(dir.file(bitrates));
        prompts.expectMessage(QStringLiteral("ERROR# 53 FILE NOT FOUND. PLEASE CONTACT SUPPORT."));
        frmVideoBitrates editor(forms);
        QCOMPARE(editor.txtVideoBitrates->toPlainText(), QString());
        // Saving then creates the file.
        editor.txtVideoBitrates->setPlainText(QStringLiteral("500"));
        expectSaved(prompts);
        editor.cmdSave->click();
        QCOMPARE(dir.readFile(bitrates), QByteArray("500\r\n"));
        VERIFY_PROMPTS(prompts);
    }

    // A folder the user may not write into. Tests run as root, for whom
    // permission bits do not stop a write; AsUnprivilegedUser drops the
    // file-system user id so the folder's bits apply.
    void saveIntoReadOnlyFolderKeepsTheOldFile()
    {
        ScriptedPrompts prompts;
        TestAppDir dir;
        Forms forms(prompts, dir.path());
        const QByteArray before = dir.readFile(bitrates);
        frmVideoBitrates editor(forms);
        editor.txtVideoBitrates->setPlainText(QStringLiteral("100\n200"));
        // "nobody" may pass through the folders and read, but not write.
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                              | QFileDevice::ReadOther | QFileDevice::ExeOther);
        QFile::setPermissions(dir.file(QStringLiteral("config")),
                              QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther
                                  | QFileDevice::ExeOther);
        prompts.expectMessage(QStringLiteral("DO YOU WANT TO SAVE?"), mdlMain::vbYes)
            .expectMessage(QString()); // the general error report
        {
            AsUnprivilegedUser nobody;
            editor.cmdSave->click();
        }
        QVERIFY2(prompts.messages().last().startsWith(QStringLiteral("ERROR# ")), qPrintable(prompts.messages().last()));
        QFile::setPermissions(dir.file(QStringLiteral("config")),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QCOMPARE(dir.readFile(bitrates), before);
        QCOMPARE(QDir(dir.file(QStringLiteral("config"))).entryList(QDir::Files).size(), 4);
        VERIFY_PROMPTS(prompts);
    }

    // A write that stops half-way (a full disk, simulated by a file size
    // limit) leaves the old list whole and no temporary file behind.
    void failedWriteKeepsTheOldFile()
    {
        ScriptedPrompts prompts;
        TestAppDir dir;
        Forms forms(prompts, dir.path());
        dir.writeFile(sizes, "320x240\r\n");
        frmVideoWindowSizes editor(forms);
        editor.txtVideoWindowSizes->setPlainText(QStringLiteral("1920x1080 Full HD\n").repeated(200));
        prompts.expectMessage(QStringLiteral("DO YOU WANT TO SAVE?"), mdlMain::vbYes)
            .expectMessage(QString()); // the general error report
        {
            DiskFull full(1000);
            editor.cmdSave->click();
        }
        QVERIFY2(prompts.messages().last().startsWith(QStringLiteral("ERROR# ")), qPrintable(prompts.messages().last()));
        QVERIFY(!prompts.messages().contains(QStringLiteral("DATA SAVED.")));
        QCOMPARE(dir.readFile(sizes), QByteArray("320x240\r\n"));
        QCOMPARE(QDir(dir.file(QStringLiteral("config"))).entryList(QDir::Files).size(), 4);
        VERIFY_PROMPTS(prompts);
    }

    // From the Edit menu: a saved change reaches the main window's list when
    // the editor closes, with the start selection.
    void bitratesFromTheMenu()
    {
        Program p;
        QVERIFY(p.window->Form_Load());
        frmMain &w = *p.window;
        w.cmbVideoBitrate->setCurrentIndex(1);
        expectSaved(p.prompts);
        QString seenTitle;
        onModal([&seenTitle](QDialog *dialog) {
            seenTitle = dialog->windowTitle();
            auto *editor = qobject_cast<frmVideoBitrates *>(dialog);
            QVERIFY(editor);
            QVERIFY(editor->isModal());
            editor->txtVideoBitrates->setPlainText(QStringLiteral("150\n250\n350\n450\n550\n650\n"));
            editor->cmdSave->click();
            editor->cmdExit->click();
        });
        w.mnuVideoRates->trigger();
        QCOMPARE(seenTitle, QStringLiteral("Video Bitrates"));
        QCOMPARE(entries(w.cmbVideoBitrate), (QStringList{"150", "250", "350", "450", "550", "650"}));
        QCOMPARE(w.cmbVideoBitrate->currentIndex(), 4);
        QCOMPARE(p.dir.readFile(bitrates), QByteArray("150\r\n250\r\n350\r\n450\r\n550\r\n650\r\n\r\n"));

        // Exit drops what was typed; the list is refilled all the same.
        w.cmbVideoBitrate->setCurrentIndex(0);
        onModal([](QDialog *dialog) {
            auto *editor = qobject_cast<frmVideoBitrates *>(dialog);
            editor->txtVideoBitrates->setPlainText(QStringLiteral("1"));
            editor->cmdExit->click();
        });
        w.mnuVideoRates->trigger();
        QCOMPARE(w.cmbVideoBitrate->count(), 6);
        QCOMPARE(w.cmbVideoBitrate->currentIndex(), 4);
        QCOMPARE(p.dir.readFile(bitrates), QByteArray("150\r\n250\r\n350\r\n450\r\n550\r\n650\r\n\r\n"));
        QCOMPARE(p.ended, 0);
        VERIFY_PROMPTS(p.prompts);
    }

    void windowSizesFromTheMenu()
    {
        Program p;
        QVERIFY(p.window->Form_Load());
        frmMain &w = *p.window;
        w.cmbVideoWindow->setCurrentIndex(2);
        w.optVideoWindowOriginal->setChecked(true);
        expectSaved(p.prompts);
        onModal([](QDialog *dialog) {
            auto *editor = qobject_cast<frmVideoWindowSizes *>(dialog);
            QVERIFY(editor);
            // The window-size editor closes through its close box here.
            editor->txtVideoWindowSizes->setPlainText(QStringLiteral("1024x576 Wide\n\n800x600 SVGA"));
            editor->cmdSave->click();
            editor->close();
        });
        w.mnuVideoWindowSizes->trigger();
        QCOMPARE(entries(w.cmbVideoWindow), (QStringList{"1024x576 Wide", "800x600 SVGA"}));
        QCOMPARE(w.cmbVideoWindow->currentIndex(), 0);
        QVERIFY(w.optVideoWindowResize->isChecked());
        QVERIFY(!w.optVideoWindowOriginal->isChecked());

        // Closed without saving: still reloaded, "Resize to (W x H)" chosen.
        w.optVideoWindowOriginal->setChecked(true);
        onModal([](QDialog *dialog) { qobject_cast<frmListEditor *>(dialog)->cmdExit->click(); });
        w.mnuVideoWindowSizes->trigger();
        QCOMPARE(w.cmbVideoWindow->currentIndex(), 0);
        QVERIFY(w.optVideoWindowResize->isChecked());
        QCOMPARE(p.ended, 0);
        VERIFY_PROMPTS(p.prompts);
    }

    // A list the main window cannot use, left by something else while the
    // editor is open, ends the program through the loader's report.
    void reloadFailureEndsTheProgram()
    {
        Program p;
        QVERIFY(p.window->Form_Load());
        p.prompts.expectMessage(QStringLiteral("ERROR# 53 FILE NOT FOUND. PLEASE CONTACT SUPPORT."));
        onModal([&p](QDialog *dialog) {
            QFile::remove(p.dir.file(bitrates));
            qobject_cast<frmListEditor *>(dialog)->cmdExit->click();
        });
        p.window->mnuVideoRates->trigger();
        QCOMPARE(p.ended, 1);
        VERIFY_PROMPTS(p.prompts);
    }
};

QTEST_MAIN(TestListEditors)
#include "tst_listeditors.moc"
