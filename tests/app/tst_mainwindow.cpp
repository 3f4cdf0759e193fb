// The main window: start-up and its failures (a second instance among them),
// closing, Step 1, the small reactions of Step 2, encoding through the
// window.
#include "app/weblinks.h"
#include "common/cmdline.h"
#include "common/errors.h"
#include "common/mdlMain.h"
#include "common/ui_controls.h"
#include "support/program.h"
#include "watermark/frmWatermarkOptions.h"

#include <QtTest>
#include <QtWidgets>

using namespace settings;
using namespace QTest;

namespace {

template <typename... T>
void row(const char *tag, const T &...values)
{
    (newRow(tag) << ... << values);
}

// A list as "a|[b]|c", the selected entry in brackets.
QString shown(const QComboBox *list)
{
    QStringList items = entries(list);
    if (list->currentIndex() >= 0)
        items[list->currentIndex()] = "[" + list->currentText() + "]";
    return items.join('|');
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
    QTemporaryDir m_logs;
    // A fresh program started for each test, its prompts checked after it.
    std::unique_ptr<TestProgram> p;
    frmMain *w = nullptr;

    Model &settings() { return p->forms.settings(); }

private slots:
    void initTestCase() { qputenv("FAKE_LOG", m_logs.filePath("tools.log").toUtf8()); }
    void init()
    {
        w = (p = std::make_unique<TestProgram>())->window.get();
        QVERIFY(p->start());
    }
    void cleanup() { VERIFY_PROMPTS(p->prompts); }

    // The lists from their files, each on its start-up entry (the fifth
    // bitrate, or the first of a shorter list). A list that cannot be used
    // ends the program with the failure report, no close question asked;
    // so does another instance, with its own message.
    void startUp_data()
    {
        addColumn<QByteArray>("bitrates");
        addColumn<QByteArray>("sizes");
        // The lists shown, or the message of the failure.
        addColumn<QString>("lists");
        row("three bitrates: the first", QByteArray("1\n2\n3\n"), QByteArray("a\nb"), "[1]|2|3 [a]|b");
        row("six bitrates, gaps", QByteArray("1\n2\n\n3\n4\n5\n6"), QByteArray("\n a b \n\nc"),
            "1|2|3|4|[5]|6 [ a b ]|c");
        row("no window sizes", QByteArray("1\n"), QByteArray(), generalErrorText(RuntimeError(53)));
        row("empty bitrates", QByteArray("\n"), QByteArray("a\n"), generalErrorText(RuntimeError(380)));
        row("another instance", QByteArray("1\n"), QByteArray("a\n"), "THIS SOFTWARE IS ALREADY OPEN!");
    }
    void startUp()
    {
        QFETCH(QByteArray, bitrates);
        QFETCH(QByteArray, sizes);
        QFETCH(QString, lists);
        TestProgram own;
        for (const auto &[name, bytes] :
             {std::pair("config/configvbr.txt", bitrates), {"config/configvws.txt", sizes}})
            bytes.isNull() ? void(QFile::remove(own.dir.file(name))) : own.dir.writeFile(name, bytes);
        own.forms.anotherInstanceRunning = [&] { return lists.endsWith("OPEN!"); };
        const frmMain &w = *own.window;
        const bool fails = lists.endsWith('!') || lists.endsWith('.');
        if (fails)
            own.prompts.expectMessage(lists);
        QCOMPARE(QList<bool>({own.start(), w.isVisible(), !mdlMain::blnForceExit}), QList<bool>(3, !fails));
        VERIFY_PROMPTS(own.prompts);
        if (fails)
            return;
        QTEST(shown(w.cmbVideoBitrate) + " " + shown(w.cmbVideoWindow), "lists");
        // Every button is named for screen readers without its mnemonic mark.
        for (const QWidget *window :
             std::initializer_list<const QWidget *>{&w, &own.forms.watermarkOptions()})
            for (const QAbstractButton *button : window->findChildren<QAbstractButton *>())
                QCOMPARE(button->accessibleName(), ui::spokenCaption(button->text()));
    }

    // A link opens its page; the window size already shown, picked again,
    // is "Resize to".
    void linksWindowsAndSizes()
    {
        mouseClick(w->lblLink, Qt::LeftButton);
        w->cmbVideoWindow->showPopup();
        keyClick(w->cmbVideoWindow->view(), Qt::Key_Return);
        QCOMPARE(p->prompts.texts(ScriptedPrompts::Kind::OpenUrl), QStringList{weblinks::players});
        QCOMPARE(QList<int>({w->cmbVideoWindow->currentIndex(), w->optVideoWindowResize->isChecked()}),
                 QList<int>({0, 1}));
    }

    // Step 1 through the source dialog (drop false) or a drop ("@" a folder
    // that exists), the output folder locked or not. What the window shows
    // is what it encodes.
    void stepOne_data()
    {
        addColumn<bool>("drop");
        addColumn<bool>("locked");
        addColumn<QString>("answer");
        addColumn<QString>("state");
        row("unlocked folder follows", false, false, "/c/h.2012.avi", "/c/h.2012.avi|/c/|h.flv h.mp4 h.webm");
        row("locked, MP4 would be the source", false, true, "/OLD/a.mp4",
            "/OLD/a.mp4|/old/|a.flv conv_a.mp4 a.webm");
        row("dropped file", true, false, "file:///d/a.avi", "/d/a.avi|/d/|a.flv a.mp4 a.webm");
    }
    void stepOne()
    {
        QFETCH(bool, drop);
        QFETCH(bool, locked);
        QFETCH(QString, answer);
        QFETCH(QString, state);
        w->chkLockLocation->setChecked(locked);
        w->lblOutDir->setCaption("/old/");
        answer.replace("@", p->dir.path());
        QMimeData data;
        data.setUrls({QUrl(answer)});
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QDropEvent dropped(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        if (!drop) {
            p->prompts.expectOpenFile(answer, "Source Video to Convert");
            w->cmdInput->click();
        } else if (QApplication::sendEvent(w, &enter)) {
            QApplication::sendEvent(w, &dropped);
        }
        const encode::Request r = w->encodeRequest();
        QCOMPARE(w->lblInput->caption() + "|" + w->lblOutDir->caption() + "|" + w->txtOutFileFLV->text() + " "
                     + w->txtOutFileMp4->text() + " " + w->txtOutFileWebm->text(),
                 state.replace("@", p->dir.path()));
        QCOMPARE(r.source + "|" + r.outDir + "|" + r.flvName + " " + r.mp4Name + " " + r.webmName, state);
    }

    // The caption file beside a chosen source shows under it; the quality is VP9's and AV1's.
    void captionsAndQuality()
    {
        const QString source = p->dir.file("clip.avi");
        QVERIFY(writeFileBytes(p->dir.file("clip.fr.srt"), "1") && writeFileBytes(source, "x"));
        p->prompts.expectOpenFile(source, "Source Video to Convert");
        w->cmdInput->click();
        QCOMPARE(w->lblCaptions->caption(), p->dir.file("clip.fr.srt"));
        const encode::Request r = w->encodeRequest();
        QCOMPARE(r.captionsName + " " + r.captionsLanguage + " " + r.hlsName, "clip.vtt fr clip-hls");
        QVERIFY(!w->cmbQuality->isEnabled());
        w->cmbWebmCodec->setCurrentIndex(2);
        QVERIFY(w->cmbQuality->isEnabled());
        QCOMPARE(w->encodeRequest().webmCodec, encode::WebmCodec::Av1);
    }

    void timeFieldKeys_data()
    {
        addColumn<QKeyCombination>("key");
        addColumn<int>("cursor");
        addColumn<QString>("typed");
        addColumn<QString>("result");
        // Any other character is dropped as the letter is.
        row("letter dropped", QKeyCombination(Qt::Key_A), 1, "a", "3");
        row("Backspace", QKeyCombination(Qt::Key_Backspace), 1, "\b", "");

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
                      + (w->focusWidget() != field ? ", focus moved on" : "")
                      + (press.isAccepted() ? "" : ", left to the window"),
                  "result");
        }
    }

    // The request runs through the progress window as it is, a watermark
    // text as long as its box takes included.
    void encodeThroughWindow()
    {
        const QString out = p->dir.file("in/");
        writeFileBytes(out + "clip.avi", "a source");
        p->dir.setTool("engine/ffmpeg", fake::encodes);
        p->dir.setTool("ma", fake::copies);
        p->prompts.expectMessage("FILE(S) ENCODED - " + out + "\r\nDO YOU WANT TO OPEN THE OUTPUT FOLDER?",
                                 vbYes);
        w->setSource(out + "clip.avi");
        w->chkWebm->setChecked(true);
        p->forms.watermarkOptions().txtWatermark->setText(QString(40000, 'x'));
        p->forms.watermarkOptions().cmdSave->click();
        w->cmdEncode->click();
        const QString graph = cmdline::splitCommandLine(settings().text(WatermarkFilter)).last();
        QStringList outputs;
        for (const QStringList &run : p->dir.toolLog())
            outputs << QFileInfo(run.last()).fileName() + (run.contains(graph) ? "+" : "");
        QCOMPARE(outputs, QStringList({"clip.flv+", "clip.mp4+", "clip.mp4", "clip.webm+"}));
        QCOMPARE(graph.mid(graph.indexOf("text='") + 6, 32768), QString(32767, 'x') + "'");
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
