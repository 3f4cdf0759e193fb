// The main window: start-up and its failures, closing, the second instance,
// links and the about box, Step 1, the small reactions of Step 2, encoding
// through the window and its reactions to a refused request, and the
// prompts that log instead of asking.
#include "app/frmAbout.h"
#include "app/frmSplash.h"
#include "app/loggingprompts.h"
#include "app/weblinks.h"
#include "common/mdlMain.h"
#include "common/ui_controls.h"
#include "process/frmProgress.h"
#include "support/fixture.h"
#include "watermark/frmWatermarkOptions.h"

#include <QtTest>
#include <QtWidgets>

namespace {

using Kind = ScriptedPrompts::Kind;

// Data columns, one type each: columns<int, QString>({"count", "text"}).
template <typename... T> void columns(const std::array<const char *, sizeof...(T)> &names)
{
    int i = 0;
    (QTest::addColumn<T>(names[i++]), ...);
}
template <typename... T> void row(const char *tag, const T &...values) { (QTest::newRow(tag) << ... << values); }

// Runs `action`; the first modal window it opens goes to `inside`, which closes it (rejected without
// `inside`). Returns that window's name, empty when none opened, " left open" added when it stayed.
QString duringModal(const std::function<void()> &action, const std::function<void(QDialog *)> &inside = {})
{
    QString name;
    QObject guard; // no window opened: the look is dropped with the guard
    QTimer::singleShot(0, &guard, [&] {
        if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
            name = dialog->objectName();
            inside ? inside(dialog) : dialog->reject();
            if (dialog->isVisible()) {
                name += " left open";
                dialog->done(QDialog::Rejected);
            }
        }
    });
    action();
    return name;
}

// A list as "a|[b]|c", the selected entry in brackets.
QString shown(const QComboBox *list)
{
    QStringList items = entries(list);
    if (list->currentIndex() >= 0)
        items[list->currentIndex()] = "[" + list->currentText() + "]";
    return items.join('|');
}

// Sets controls by name ("txtOutFileFLV=clip.flv", "chkFLV=0") without their reactions.
void setControls(QWidget *window, const QStringList &edits)
{
    for (const QString &edit : edits) {
        QObject *control = window->findChild<QObject *>(edit.section('=', 0, 0));
        const QSignalBlocker block(control);
        if (auto *label = qobject_cast<CaptionLabel *>(control))
            label->setCaption(edit.section('=', 1));
        else // a check box takes "0" or "1", a text box its text
            control->setProperty(qobject_cast<QCheckBox *>(control) ? "checked" : "text", edit.section('=', 1));
    }
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
    QTemporaryDir m_logs;
    std::unique_ptr<TestProgram> p; // a fresh program started for each test, its prompts checked after it
    frmMain *w = nullptr;

private slots:
    void initTestCase() { qputenv("FAKE_LOG", m_logs.filePath("tools.log").toUtf8()); }
    void init() { w = (p = std::make_unique<TestProgram>())->window.get(); QVERIFY(p->start()); }
    void cleanup() { VERIFY_PROMPTS(p->prompts); }

    void startUp_data()
    {
        columns<QByteArray, QByteArray, QString, QString, QString>({"bitrateFile", "sizeFile", "bitrates", "sizes", "report"});
        row("one bitrate", QByteArray("700\n"), QByteArray("320x240 a\n"), "[700]", "[320x240 a]", "");
        row("three bitrates: the first", QByteArray("1\n2\n3\n"), QByteArray("a\nb"), "[1]|2|3", "[a]|b", ""); // no fifth
        row("six bitrates, gaps", QByteArray("1\n2\n\n3\n4\n5\n6"), QByteArray("\n a b \n\nc"), "1|2|3|4|[5]|6", "[ a b ]|c", "");
        row("no window sizes", QByteArray("1\n"), QByteArray(), "", "", "ERROR# 53 FILE NOT FOUND. PLEASE CONTACT SUPPORT.");
        row("empty window sizes", QByteArray("1\n"), QByteArray("\n"), "", "", "ERROR# 380 INVALID PROPERTY VALUE. PLEASE CONTACT SUPPORT.");
        row("empty bitrates", QByteArray(""), QByteArray("a\n"), "", "", "ERROR# 380 INVALID PROPERTY VALUE. PLEASE CONTACT SUPPORT.");
    }
    void startUp()
    {
        QFETCH(QByteArray, bitrateFile);
        QFETCH(QByteArray, sizeFile);
        QFETCH(QString, report);
        TestProgram own; // not yet started
        for (const auto &[name, bytes] : {std::pair("config/configvbr.txt", bitrateFile), {"config/configvws.txt", sizeFile}})
            bytes.isNull() ? void(QFile::remove(own.dir.file(name))) : own.dir.writeFile(name, bytes);
        const frmMain &w = *own.window;
        if (!report.isEmpty()) // the failure report ends the program, no close question asked
            own.prompts.expectMessage(report);
        QCOMPARE(QList<bool>({own.start(), w.isVisible(), !mdlMain::blnForceExit, own.ended == 0}), QList<bool>(4, report.isEmpty()));
        VERIFY_PROMPTS(own.prompts);
        if (!report.isEmpty())
            return;
        QTEST(shown(w.cmbVideoBitrate), "bitrates");
        QTEST(shown(w.cmbVideoWindow), "sizes");
        QCOMPARE(QStringList({shown(w.cmbVideoFrameRate), shown(w.cmbAudioSamplerate), shown(w.cmbAudioBitrate)}),
                 QStringList({"12|15|23.97|24|[25]|29.97|30|Auto", "11025|[22050]|44100", "16|24|32|40|48|56|64|80|[96]|112|128"}));
        QVERIFY(w.optVideoWindowOriginal->isChecked() && w.chkFLV->isChecked() && w.chkMp4->isChecked() && !w.chkWebm->isChecked());
        QVERIFY(w.txtFrameMinute->text() == "00" && w.txtFrameSecond->text() == "30" && own.forms.watermarkOptionsLoaded());
    }

    void splashNotShortened()
    {
        std::optional<frmSplash> splash;
        bool heldOn = false;
        QTimer::singleShot(0, [&] { // queued before the splash starts its time: keys, clicks and closing do not end it
            QTest::keyClick(&*splash, Qt::Key_Escape);
            QTest::mouseClick(splash->imgSplash, Qt::LeftButton);
            splash->reject();
            heldOn = !splash->close() && splash->isVisible();
        });
        splash.emplace(1000);
        splash->showModal();
        QVERIFY(heldOn && !splash->isVisible() && !splash->tmrSplash->isActive() && splash->close()); // it ended by its time
    }

    void closeQuestion_data()
    {
        columns<int, int>({"path", "answer"});
        for (int row = 0; row < 6; ++row)
            QTest::addRow("%s, %s", std::array{"Close Software", "File > Exit", "window frame"}[row % 3], row < 3 ? "No" : "Yes")
                << row % 3 << (row < 3 ? vbNo : vbYes);
    }
    void closeQuestion()
    {
        QFETCH(int, path);
        QFETCH(int, answer);
        p->forms.progress().window();
        p->prompts.expectMessage("CLOSE SOFTWARE?", answer);
        path == 0 ? w->cmdClose->click() : path == 1 ? w->mnuExit->trigger() : void(w->close());
        QCOMPARE(mdlMain::strMsgAnswer, QString::number(answer));
        // No keeps everything; Yes ends the program, the hidden windows with it.
        QCOMPARE(QList<bool>({w->isVisible(), !w->closing(), p->ended == 0, p->forms.watermarkOptionsLoaded(),
                              p->forms.progress().loaded()}), QList<bool>(5, answer == vbNo));
    }

    void secondInstance()
    {
        QTemporaryDir run;
        QProcess first, second;
        for (QProcess *program : {&first, &second}) { // the first variable of a name is the one taken
            program->setEnvironment(QStringList{"XDG_RUNTIME_DIR=" + run.path(), "VIDLARK_DUMP_SETTINGS=" + run.filePath("started"),
                                                "VIDLARK_PROMPT_LOG=" + run.filePath(program == &first ? "first" : "second"),
                                                "QT_QPA_PLATFORM=offscreen"}
                                    + QProcess::systemEnvironment());
            program->start(programBinary(), {});
            if (program == &first) // past the splash: it holds the instance
                QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(run.filePath("started")), 30000);
        }
        QVERIFY(second.waitForFinished(30000) && second.exitCode() == 0);
        QCOMPARE(fileBytes(run.filePath("second")), "message|critical|Error|THIS SOFTWARE IS ALREADY OPEN!\n");
        QVERIFY(first.state() == QProcess::Running && fileBytes(run.filePath("first")).isEmpty());
        first.kill();
    }

    void linksWindowsAndSizes()
    {
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
        QTest::keyClick(w, Qt::Key_F1);
        QTest::keyClick(w, Qt::Key_F2);
        QTest::mouseClick(w->lblLink, Qt::LeftButton);
        QTest::mouseClick(w->imgFBLike, Qt::LeftButton);
        for (bool ok : {true, false}) // the links leave the about box open; OK or Esc closes it
            QCOMPARE(duringModal([&] { w->mnuAbout->trigger(); }, [ok](QDialog *dialog) {
                auto *about = qobject_cast<frmAbout *>(dialog);
                for (QLabel *link : {about->lblVidlark, about->lblVidlarkSupport, about->lblVidlarkContact})
                    QTest::mouseClick(link, Qt::LeftButton);
                ok ? about->cmdOk->click() : QTest::keyClick(about, Qt::Key_Escape);
            }), "frmAbout");
        using namespace weblinks;
        QCOMPARE(p->prompts.texts(Kind::OpenUrl),
                 QStringList({documentation, support, players, facebook, home, support, contact, home, support, contact}));
        QCOMPARE(duringModal([&] { w->mnuMakeMp4Streamable->trigger(); }), "frmFixMp4");
        w->cmbVideoWindow->showPopup(); // the window size already shown, picked again: "Resize to"
        QTest::keyClick(w->cmbVideoWindow->view(), Qt::Key_Return);
        QVERIFY(w->cmbVideoWindow->currentIndex() == 0 && w->optVideoWindowResize->isChecked());
    }

    void stepOne_data()
    {
        // how: 0 source dialog, 1 folder browser, 2 dropped ("@" a folder that exists); answer "": the dialog is cancelled
        columns<int, bool, QString, QString, QString>({"how", "locked", "folder", "answer", "state"});
        row("source, unlocked folder follows", 0, false, "/old/", "/c/h.2012.avi", "/c/h.2012.avi|/c/|h.flv h.mp4 h.webm");
        row("source, locked folder stays", 0, true, "/old/", "/c/a.b.c.mov", "/c/a.b.c.mov|/old/|a.flv a.mp4 a.webm");
        row("source, locked but empty", 0, true, "", "/c/clip", "/c/clip|/c/|clip.flv clip.mp4 clip.webm");
        row("FLV would be the source", 0, false, "", "/V/a.flv", "/V/a.flv|/V/|conv_a.flv a.mp4 a.webm");
        row("MP4 would be the source, any case", 0, true, "/x/v/", "/X/V/a.mp4", "/X/V/a.mp4|/x/v/|a.flv conv_a.mp4 a.webm");
        row("source cancelled", 0, false, "/old/", "", "|/old/|  ");
        row("folder, slash added", 1, false, "", "/data/out", "|/data/out/|  ");
        row("folder, root keeps one slash", 1, false, "/old/", "/", "|/|  ");
        row("folder cancelled, slash added", 1, false, "/old", "", "|/old/|  ");
        row("folder cancelled, none", 1, false, "", "", "||  ");
        row("dropped file: the source", 2, false, "", "file:///d/a.avi", "/d/a.avi|/d/|a.flv a.mp4 a.webm");
        row("dropped folder: output folder", 2, false, "", "file://@", "|@/|  ");
        row("dropped profile: loaded", 2, false, "", "file://@/x.VLP", "||  ");
        row("dropped several: the first", 2, false, "", "file:///d/a.avi file:///e/b.avi", "/d/a.avi|/d/|a.flv a.mp4 a.webm");
    }
    void stepOne()
    {
        QFETCH(int, how);
        QFETCH(bool, locked);
        QFETCH(QString, folder);
        QFETCH(QString, answer);
        QFETCH(QString, state);
        w->chkLockLocation->setChecked(locked);
        w->lblOutDir->setCaption(folder);
        const QString existing = p->dir.file("drop");
        writeFileBytes(existing + "/x.VLP", "not a profile\r\n");
        if (how < 2) {
            how ? p->prompts.expectBrowseFolder(answer, "Select Your Output Folder:")
                : p->prompts.expectOpenFile(answer.isEmpty() ? std::nullopt : std::optional(answer), "Source Video to Convert");
            (how ? w->cmdOutDir : w->cmdInput)->click();
        } else {
            if (answer.endsWith(".VLP"))
                p->prompts.expectMessage("NOT A VALID VIDLARK WEB VIDEO ENCODER PROFILE!");
            QMimeData data;
            data.setUrls(QUrl::fromStringList(answer.replace("@", existing).split(' ')));
            QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(w, &enter);
            QApplication::sendEvent(w, &drop);
            QVERIFY(enter.isAccepted() && drop.isAccepted());
        }
        QCOMPARE(w->lblInput->caption() + "|" + w->lblOutDir->caption() + "|" + w->txtOutFileFLV->text() + " "
                     + w->txtOutFileMp4->text() + " " + w->txtOutFileWebm->text(),
                 state.replace("@", existing));
        QVERIFY(w->lblOutDir->caption().isEmpty() || w->lblOutDir->toolTip() == " " + w->lblOutDir->caption() + " ");
    }

    void timeFieldKeys_data()
    {
        columns<QKeyCombination, int, QString, QString>({"key", "cursor", "typed", "result"});
        row("letter dropped", QKeyCombination(Qt::Key_A), 1, "a", "3"); // and every other character
        row("digit typed", QKeyCombination(Qt::Key_7), 1, "7", "37");
        row("Backspace", QKeyCombination(Qt::Key_Backspace), 1, "\b", "");
        row("Delete", QKeyCombination(Qt::Key_Delete), 0, "\x7f", "");
        row("Ctrl+A", Qt::CTRL | Qt::Key_A, 0, "\x01", "[3]");
        row("Tab", QKeyCombination(Qt::Key_Tab), 0, "\t", "3, focus moved on");
        row("Esc", QKeyCombination(Qt::Key_Escape), 0, "\x1b", "3, left to the window");
    }
    void timeFieldKeys()
    {
        QFETCH(QKeyCombination, key);
        QFETCH(int, cursor);
        QFETCH(QString, typed);
        for (QLineEdit *field : {w->txtFrameMinute, w->txtFrameSecond}) {
            field->setText("3");
            field->setCursorPosition(cursor);
            field->setFocus();
            QKeyEvent press(QEvent::KeyPress, key.key(), key.keyboardModifiers(), typed);
            QApplication::sendEvent(field, &press);
            QTEST((field->hasSelectedText() ? "[" + field->selectedText() + "]" : field->text())
                      + (w->focusWidget() != field ? ", focus moved on" : "") + (press.isAccepted() ? "" : ", left to the window"),
                  "result");
        }
    }

    void watermarkBox_data()
    {
        // action: 0 tick the box, 1 clear it, 2 Options... and Save
        columns<QString, QString, QString, int>({"filter", "opens", "after", "action"});
        const QString dialog = "frmWatermarkOptions";
        QTest::newRow("tick, nothing saved") << "" << dialog << "ticked, no filter" << 0;
        QTest::newRow("clear, nothing saved") << "" << dialog << "clear, no filter" << 1;
        QTest::newRow("tick, saved") << " -vf x" << "" << "ticked" << 0;
        QTest::newRow("clear, saved") << " -vf x" << "" << "clear" << 1;
        QTest::newRow("saving ticks the box") << "" << dialog << "ticked" << 2;
    }
    void watermarkBox()
    {
        QFETCH(QString, filter);
        QFETCH(int, action);
        setControls(w, {QString("chkWatermark=%1").arg(action == 1)});
        p->forms.watermarkOptions().txtWMString->setText(filter);
        const auto answer = [action](QDialog *d) { action == 2 ? qobject_cast<frmWatermarkOptions *>(d)->cmdSave->click() : d->reject(); };
        QTEST(duringModal([&] { action == 2 ? w->cmdWMOptions->click() : w->chkWatermark->click(); }, answer), "opens");
        QTEST(QString(w->chkWatermark->isChecked() ? "ticked" : "clear")
                  + (p->forms.watermarkOptions().txtWMString->text().isEmpty() ? ", no filter" : ""), "after");
    }

    void encodeThroughWindow()
    {
        const QString out = p->dir.file("in/"), src = out + "clip.avi";
        writeFileBytes(src, "a source");
        p->dir.setTool("engine/ffmpeg", fake::encodes);
        p->dir.setTool("ma", fake::copies);
        p->prompts.expectMessage("NO VIDEO MADE YET! ENCODE TO MP4 OR WEBM FIRST.");
        w->mnuCopyVideoTag->trigger();
        w->setSource(src);
        w->chkWebm->setChecked(true);
        w->chkGrabStillImage->setChecked(true);
        p->prompts.expectMessage("FILE(S) ENCODED - " + out + "\r\nDO YOU WANT TO OPEN THE OUTPUT FOLDER?", vbYes);
        w->cmdEncode->click();
        const auto argv = [&](QString line) {
            return line.replace("@F", p->dir.file("engine/ffmpeg")).replace("@S", src).replace("@O", out).split(' ');
        };
        const QString rates = " -minrate 800k -maxrate 800k -bufsize 800k ";
        QCOMPARE(p->dir.toolLog(), QList<QStringList>({
            argv("@F -y -i @S -f flv -acodec aac -strict experimental -ab 96k -ar 22050 -ac 2 -vcodec libx264 -b:v 800k -r 25"
                 + rates + "-coder 1 -flags +loop -cmp +chroma -partitions +parti4x4+parti8x8+partp8x8+partb8x8 @Oclip.flv"),
            argv("@F -y -i @S -f mp4 -acodec aac -strict experimental -ar 22050 -ab 96k -ac 2 -vcodec libx264 -b:v 800k -r 25"
                 + rates + "-coder 0 -flags +loop+mv4 -cmp 256 -partitions +parti4x4+partp8x8+partb8x8 @Oclip.mp4"),
            {p->dir.file("ma"), out + "clip.mp4.temp", out + "clip.mp4"},
            argv("@F -y -i @S -f webm -acodec libvorbis -ac 2 -ab 96k -ar 22050 -vcodec libvpx -b:v 800k -quality good "
                 "-cpu-used 0 -qmin 10 -qmax 42" + rates + "@Oclip.webm"),
            argv("@F -i @S -ss 00:00:30.000 -vframes 1 @Oclip.jpg")}));
        const frmProgress &progress = p->forms.progress().window();
        QCOMPARE(w->txtApp->text() + progress.lblEncodingFrom->caption() + progress.lblEncodingTo->caption(),
                 " Encoding " + src + " To " + out + "clip.webm");
        QCOMPARE(p->prompts.texts(Kind::ShowInFileManager), QStringList{out + "clip.webm"});

        QVERIFY(QFile::remove(out + "clip.jpg")); // the tag offers what is still there
        p->prompts.expectMessage("HTML5 VIDEO TAG COPIED TO THE CLIPBOARD.");
        w->mnuCopyVideoTag->trigger();
        const QString tag = QGuiApplication::clipboard()->text();
        QVERIFY2(tag.startsWith("<video") && tag.contains("src=\"clip.webm\"") && tag.contains("src=\"clip.mp4\"")
                     && !tag.contains("poster"), qPrintable(tag));
    }

    void refusedRequest_data()
    {
        // existing: an output the user keeps; then: where the focus or the user goes
        columns<QString, QString, QString, QString>({"edits", "existing", "message", "then"});
        row("no source", "lblInput=", "", "INPUT OR SOURCE FILE REQUIRED!", "cmdEncode");
        row("no output folder", "lblOutDir=", "", "OUTPUT FOLDER MISSING!", "cmdEncode");
        row("no format", "chkFLV=0;chkMp4=0", "", "PLEASE SELECT AT LEAST ONE OUTPUT FORMAT!", "chkFLV");
        row("no FLV name", "txtOutFileFLV=", "", "OUTPUT FLV FILE NAME MISSING!", "txtOutFileFLV");
        row("no MP4 name", "txtOutFileMp4=", "", "OUTPUT MP4 FILE NAME MISSING!", "txtOutFileMp4");
        row("no WebM name", "chkWebm=1;txtOutFileWebm=", "", "OUTPUT WEBM FILE NAME MISSING!", "txtOutFileWebm");
        row("FLV kept", "", "clip.flv", "CHANGE THE NAME OF THE OUTPUT FLV FILE.", "txtOutFileFLV [clip.flv]");
        row("MP4 kept", "", "clip.mp4", "CHANGE THE NAME OF THE OUTPUT MP4 FILE.", "txtOutFileMp4 [clip.mp4]");
        row("WebM kept", "chkWebm=1", "clip.webm", "CHANGE THE NAME OF THE OUTPUT WEBM FILE.", "txtOutFileWebm [clip.webm]");
        row("minute 60", "chkGrabStillImage=1;txtFrameMinute=60", "", "INVALID INPUT FOR MINUTES. ENTER A VALUE FROM 0 TO 59!",
            "txtFrameMinute [60]");
        row("second 60", "chkGrabStillImage=1;txtFrameSecond=60", "", "INVALID INPUT FOR SECONDS. ENTER A VALUE FROM 0 TO 59!",
            "txtFrameSecond [60]");
        row("watermark not saved", "chkWatermark=1", "", "PLEASE SAVE THE WATERMARK OPTIONS BEFORE ENCODING!", "frmWatermarkOptions");
    }
    void refusedRequest()
    {
        QFETCH(QString, edits);
        QFETCH(QString, existing);
        QFETCH(QString, message);
        QFETCH(QString, then);
        const QString out = p->dir.file("in/");
        w->setSource(out + "clip.avi");
        setControls(w, edits.split(';', Qt::SkipEmptyParts));
        if (!existing.isEmpty() && writeFileBytes(out + existing, "kept"))
            p->prompts.expectMessage(existing + " ALREADY EXISTS IN OUTPUT FOLDER. OVERWRITE?", vbNo);
        p->prompts.expectMessage(message);
        if (message == "INPUT OR SOURCE FILE REQUIRED!") // the source dialog opens (cancelled here)
            p->prompts.expectOpenFile(std::nullopt, "Source Video to Convert");
        if (message == "OUTPUT FOLDER MISSING!") // the folder browser opens
            p->prompts.expectBrowseFolder(QString(), "Select Your Output Folder:");
        w->cmdEncode->setFocus();
        const QString opened = duringModal([&] { w->cmdEncode->click(); });
        auto *box = qobject_cast<QLineEdit *>(w->focusWidget());
        const QString focus = w->focusWidget()->objectName() + (box && box->hasSelectedText() ? " [" + box->selectedText() + "]" : "");
        QCOMPARE(opened.isEmpty() ? focus : opened, then);
    }

    void loggingPrompts()
    {
        const QString log = m_logs.filePath("prompts.log");
        LoggingPrompts yes(log, vbYes), other(log, 0);
        QVERIFY(yes.question("GO ON?") == vbYes && other.question("GO ON?") == vbNo);
        QVERIFY(yes.message(MsgIcon::Critical, "T", "A\r\nB", MsgButtons::OK) == vbOK && !yes.openFile("Open", "All|*", true));
        QVERIFY(!yes.saveFile("Save", "P|*.vlp", true) && yes.browseForFolder("F:").isEmpty() && yes.chooseColor(255) == 255);
        yes.openUrl("https://example.com/");
        yes.showInFileManager("/v/clip.mp4");
        QCOMPARE(fileBytes(log), "message|question|Confirm|GO ON?\nmessage|question|Confirm|GO ON?\nmessage|critical|T|A\\r\\nB\n"
                                 "open||Open|All|*\nsave||Save|P|*.vlp\nfolder||F:|\ncolour|||255\nurl|||https://example.com/\n"
                                 "reveal|||/v/clip.mp4\n");
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
