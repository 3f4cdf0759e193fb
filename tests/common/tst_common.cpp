// The ground helpers: conversions, error texts, text files, command texts,
// the application folder, file identity, widget helpers and the Qt prompts.
#include "common/appfolder.h"
#include "common/cmdline.h"
#include "common/conversions.h"
#include "common/errors.h"
#include "common/files.h"
#include "common/textfiles.h"
#include "common/ui_controls.h"
#include "common/ui_qtprompts.h"
#include "support/fixture.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QMessageBox>
#include <QMimeData>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <cfenv>
#include <csignal>
#include <sys/resource.h>

template <typename T>
using Rows = QList<std::pair<QString, T>>;

// Runs `action` on the next modal dialog of type D once its event loop runs.
template <typename D>
void onModal(std::function<void(D *)> action)
{
    QTimer::singleShot(0, qApp, [action] { action(qobject_cast<D *>(QApplication::activeModalWidget())); });
}

class TestCommon : public QObject
{
    Q_OBJECT
private slots:
    void conversions_data()
    {
        // "Function(text)=result"; a result "#n" is run-time error n (13 type mismatch, 6 overflow).
        QTest::addColumn<QString>("row");
        for (const char *row : {"CDbl( 2.5\t)=2.5", "CDbl(+3)=3", "CDbl(-1e2)=-100", "CDbl(1e400)=#6", "CDbl()=#13", "CDbl(  )=#13",
                 "CDbl(abc)=#13", "CDbl(0x10)=#13", "CDbl(inf)=#13", "CDbl(1.5.2)=#13", "CDbl(1,5)=#13", "CDbl(\xd9\xa3)=#13",
                 "CInt(2.5)=2", "CInt(3.5)=4", "CInt(-2.5)=-2", "CInt(32767.4)=32767", "CInt(-32768.5)=-32768", "CInt()=#13",
                 "CInt(32767.5)=#6", "CInt(-32769)=#6", "CLng(1.5)=2", "CLng(0.5)=0", "CLng(-2147483648)=-2147483648",
                 "CLng(2147483648)=#6", "CLng(-2147483649)=#6", "CBool( tRUE )=1", "CBool(False)=0", "CBool(-1)=1",
                 "CBool(0.0)=0", "CBool(yes)=#13", "CBool()=#13", "Round(-3.5)=-4", "Round(2.6)=3", "Int(-2.5)=-3", "Int(2.7)=2"})
            QTest::newRow(row) << QString::fromUtf8(row);
    }

    void conversions()
    {
        QFETCH(QString, row);
        const QString f = row.section('(', 0, 0), text = row.mid(f.size() + 1).section(")=", 0, 0);
        double got = 0;
        const int mode = std::fegetround();
        std::fesetround(FE_UPWARD); // halves go to even whatever rounding mode the program was left in
        const int error = runtimeErrorOf([&] {
            got = f == "CInt" ? conv::CInt(text) : f == "CLng" ? conv::CLng(text) : f == "CBool" ? conv::CBool(text)
                : f == "Round" ? conv::roundHalfEven(conv::CDbl(text)) : f == "Int" ? conv::Int(conv::CDbl(text)) : conv::CDbl(text);
        });
        const int after = std::fegetround();
        std::fesetround(mode);
        QCOMPARE(std::pair(error ? '#' + QString::number(error) : QString::number(got, 'g', 12), after),
                 std::pair(row.section(")=", 1), FE_UPWARD));
    }

    void errorsAndTextFiles()
    {
        QCOMPARE(generalErrorText(RuntimeError(13)), QStringLiteral("ERROR# 13 TYPE MISMATCH. PLEASE CONTACT SUPPORT."));
        QCOMPARE(generalErrorText(RuntimeError(7, "Disk gone")), QStringLiteral("ERROR# 7 DISK GONE. PLEASE CONTACT SUPPORT."));
        QStringList seen; // each number has a description of its own; others share the general one
        for (int n : {5, 6, 9, 13, 52, 53, 58, 70, 75, 76, 380, 999, 1000})
            seen << RuntimeError(n).what();
        QCOMPARE(seen.removeDuplicates(), 1);
        QCOMPARE(conv::boolText(true) + conv::boolText(false), QStringLiteral("TrueFalse"));
        ScriptedPrompts prompts;
        prompts.expectMessage("ERROR# 53 FILE NOT FOUND. PLEASE CONTACT SUPPORT.").expectMessage("NO!").expectMessage("SAVED.");
        showGeneralError(prompts, RuntimeError(rt::FileNotFound));
        showRefusal(prompts, Refusal("NO!"));
        showRefusal(prompts, Refusal("SAVED.", Subject::None, Refusal::Style::Notice));
        QVERIFY(prompts.records().at(1).icon == MsgIcon::Critical && prompts.records().at(2).icon == MsgIcon::Information);
        VERIFY_PROMPTS(prompts);

        for (const auto &[text, lines] : Rows<QStringList>{{"", {}}, {"a", {"a"}}, {"a\n", {"a"}}, {"\r\n", {""}},
                 {"a\r\nb\r\n", {"a", "b"}}, {"a\n\nb", {"a", "", "b"}}, {"a\rb", {"a\rb"}}})
            QCOMPARE(textfiles::splitLines(text), lines);
        QTemporaryDir dir;
        const QString file = dir.filePath("configvbr.txt");
        textfiles::writeBytesAtomically(file, "Gr\xc3\xb6\xc3\x9f" "e\r\n\xe6\x97\xa5\nlast");
        QCOMPARE(textfiles::readLines(file), (QStringList{QStringLiteral("Größe"), QStringLiteral("日"), "last"}));
        for (const auto &[path, number] : Rows<int>{{dir.filePath("gone"), 53}, {dir.filePath("no/x"), 76}, {dir.path(), 75}})
            QCOMPARE(runtimeErrorOf([&] { textfiles::readBytes(path); }), number);
        QCOMPARE(runtimeErrorOf([&] { textfiles::writeBytesAtomically(dir.filePath("no/x"), "x"); }), rt::PathNotFound);
        QCOMPARE((QList<int>{fileError(QFile::PermissionsError, file, true).number(), fileError(QFile::ReadError, file, false).number(),
                             fileError(QFile::OpenError, dir.filePath("gone"), false).number()}), (QList<int>{70, 75, 53}));
        // A write the file size limit stops part way leaves the old file whole.
        // The bytes fit the write buffer, so only its flush finds out.
        const auto handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        const rlimit tight{20, old.rlim_max};
        setrlimit(RLIMIT_FSIZE, &tight);
        const int error = runtimeErrorOf([&] { textfiles::writeBytesAtomically(file, QByteArray(1000, 'n')); });
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, handler);
        QCOMPARE(std::pair(error, textfiles::readLines(file).size()), std::pair(rt::PathFileAccessError, qsizetype(3)));
    }

    void commandsFoldersAndFiles()
    {
        for (const auto &[line, arguments] : Rows<QStringList>{{" a  b\tc ", {"a", "b", "c"}}, {"\"a b\" c", {"a b", "c"}},
                 {"a \"\" b", {"a", "", "b"}}, {" \t ", {}}, {"ab\"c d\"e", {"abc de"}}, {"\"a b", {"a b"}},
                 {"C:\\dir\\f a\\", {"C:\\dir\\f", "a\\"}}, {"a\\\\\"b c\"", {"a\\b c"}}, {"a\\\"b c", {"a\"b", "c"}},
                 {"a\\\\\\\"b", {"a\\\"b"}}, {"\"x\\\\\" y", {"x\\", "y"}}})
            QCOMPARE(QStringList{line} + cmdline::splitCommandLine(line), QStringList{line} + arguments);
        const QStringList awkward{QString(), "plain", "a b", "a\"b", "a\\", "a\\\\", "a\\\"b", "\\\"", "tab\there", "\"",
                                  "C:\\my dir\\", QStringLiteral("Видео 日本 🎬"), "$(x) `y` ;|&"};
        QStringList quoted, asNeeded;
        for (const QString &a : awkward)
            quoted << cmdline::quoteArgument(a), asNeeded << cmdline::quoteIfNeeded(a);
        QCOMPARE(cmdline::splitCommandLine(quoted.join(' ')), awkward);
        QCOMPARE(cmdline::splitCommandLine(asNeeded.join('\t')), awkward);
        QCOMPARE(quoted.mid(1, 2) + asNeeded.mid(0, 3), (QStringList{"\"plain\"", "\"a b\"", "\"\"", "plain", "\"a b\""}));

        QCOMPARE(appfolder::GetShortPath("/tmp") + appfolder::GetShortPath("/no/such/folder") + appfolder::GetShortPath(""), "/tmp");
        QCOMPARE(appfolder::joinPath("/a", "b") + appfolder::joinPath("/a/", "b"), QStringLiteral("/a/b/a/b"));
        for (const QString folder : {"/opt/app", "/opt/my app", "/opt/a\"b", "/o p/"})
            QCOMPARE(cmdline::splitCommandLine(appfolder::toolPath(folder, "engine/ffmpeg") + " -i \"x y\""),
                     (QStringList{folder + "/engine/ffmpeg", "-i", "x y"}));
        for (const char *own : {"config", "wmfonts", "engine", "ma", "vidlark-encoder", "vidlark-encode"})
            QVERIFY(appfolder::isOwnName(own) && !appfolder::isOwnName(QString(own).toUpper()));

        // The same file under other names; a file new or rewritten since a snapshot.
        QTemporaryDir dir;
        const QString file = dir.filePath("a.flv"), missing = dir.filePath("gone.flv");
        QVERIFY(writeFileBytes(file, "1") && ::link(QFile::encodeName(file), QFile::encodeName(dir.filePath("hard"))) == 0);
        QVERIFY(QFile::link(file, dir.filePath("soft")) && QDir(dir.path()).mkdir("sub"));
        for (const char *same : {"a.flv", "hard", "soft", "sub/.././a.flv"})
            QVERIFY2(files::sameFile(dir.filePath(same), file), same);
        QVERIFY(!files::sameFile(file, dir.filePath("sub")) && !files::sameFile(missing, missing) && !files::sameFile("", file));
        const files::FileSnapshot none = files::FileSnapshot::of(missing);
        QVERIFY(!none.exists && !files::isNewFile(missing, none) && writeFileBytes(missing, "new"));
        const files::FileSnapshot made = files::FileSnapshot::of(missing);
        QVERIFY(files::isNewFile(missing, none) && !files::isNewFile(missing, made));
        QTest::qWait(20);
        QVERIFY(writeFileBytes(missing, "abc")); // the same size, written again
        QVERIFY(files::isNewFile(missing, made) && !files::isNewFile(dir.filePath("sub"), files::FileSnapshot()));
    }

    void controlsAndLabels()
    {
        QWidget window;
        QCheckBox box(&window);
        QList<int> values;
        for (int value : {2, 1, 0, 1})
            values << (ui::setCheckValue(&box, value), ui::checkValue(&box));
        QCOMPARE(values, (QList<int>{2, 1, 0, 1}));
        QRadioButton first(&window), second(&window);
        QList<bool> states; // clearing the selected one leaves the group with no selection
        for (auto [button, on] : {std::pair(&first, true), {&second, true}, {&second, false}, {&first, false}})
            ui::setOption(button, on), states << first.isChecked() << second.isChecked();
        QCOMPARE(states << second.autoExclusive(), (QList<bool>{true, false, false, true, false, false, false, false, true}));
        ui::setForeColor(&box, 0x00FF8040);
        QVERIFY(box.palette().color(QPalette::WindowText) == QColor(0x40, 0x80, 0xFF) && ui::foreColor(&box) == 0x00FF8040u);

        for (const auto &[caption, spoken] : Rows<QString>{{"&Save Options and E&xit", "Save Options and Exit"},
                 {" Fish && &Chips ", "Fish & Chips"}, {"Rock &", "Rock &"}})
            QCOMPARE(caption + '>' + ui::spokenCaption(caption), caption + '>' + spoken);
        QLabel bitrate("&Video Bitrate:", &window);
        QComboBox *combo = ui::dropDown(&window, "cmbVideoBitrate", " Video bitrate ");
        ui::buddy(&bitrate, combo);
        QVERIFY(bitrate.buddy() == combo && !combo->isEditable() && combo->objectName() == "cmbVideoBitrate");
        QCOMPARE(combo->accessibleName() + '|' + combo->accessibleDescription(), QStringLiteral("Video Bitrate|Video bitrate"));
        QCheckBox *check = ui::named(new QCheckBox("&Save Options and E&xit", &window), "chkSave", ui::tipFor("Save"));
        QCOMPARE(check->accessibleName() + '|' + check->toolTip(), QStringLiteral("Save Options and Exit| Save "));

        struct Key { Qt::Key key; Qt::KeyboardModifiers modifiers; QString text; int typed; };
        for (const Key &k : {Key{Qt::Key_Delete, {}, "\x7f", -1}, {Qt::Key_Tab, {}, "\t", -1}, {Qt::Key_Escape, {}, "\x1b", -1},
                 {Qt::Key_A, Qt::ControlModifier, "\x01", -1}, {Qt::Key_X, Qt::AltModifier, "x", -1}, {Qt::Key_Shift, {}, "", -1},
                 {Qt::Key_Backspace, {}, "\b", 8}, {Qt::Key_Enter, Qt::KeypadModifier, "\r", 13}, {Qt::Key_7, {}, "7", '7'}}) {
            const QKeyEvent event(QEvent::KeyPress, k.key, k.modifiers, k.text);
            QCOMPARE(std::pair(int(k.key), ui::typedCharacter(&event).value_or(-1)), std::pair(int(k.key), k.typed));
        }

        // A path: cut in the middle where it is shown, whole everywhere else.
        CaptionLabel label(nullptr, true);
        QSignalSpy changes(&label, &CaptionLabel::captionChanged);
        label.setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label.showAsPath("Source video");
        const QSize hint = label.sizeHint(), minimum = label.minimumSizeHint();
        label.resize(160, hint.height());
        label.show();
        const QString path = "/home/user/videos/holiday/with/a/very/long/folder/name/beach-final.avi";
        label.setCaption(path);
        label.setCaption(path);
        QCOMPARE(label.caption() + label.toolTip() + label.accessibleName(), path + ' ' + path + ' ' + path);
        QVERIFY2(label.text().size() < path.size() && label.text().startsWith("/ho") && label.text().endsWith("al.avi"),
                 qPrintable(label.text()));
        // A long path does not widen the window; the same caption again changes nothing.
        QVERIFY(label.sizeHint() == hint && label.minimumSizeHint() == minimum && changes.size() == 1);
        label.resize(2000, hint.height());
        QCOMPARE(label.text(), path);

        LinkLabel link;
        link.resize(120, 20);
        QSignalSpy clicks(&link, &LinkLabel::clicked);
        QTest::mouseClick(&link, Qt::LeftButton);
        QTest::mouseRelease(&link, Qt::LeftButton, {}, QPoint(200, 5));
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space, Qt::Key_A})
            QTest::keyClick(&link, key);
        QCOMPARE(clicks.size(), 4);

        QMimeData none, web, local;
        web.setUrls({QUrl("https://example.org/a.avi"), QUrl::fromLocalFile("/tmp/b.avi")});
        local.setUrls({QUrl::fromLocalFile("/tmp/my clip.avi"), QUrl::fromLocalFile("/tmp/b.avi")});
        QCOMPARE(ui::droppedPath(nullptr) + ui::droppedPath(&none) + ui::droppedPath(&web) + '|' + ui::droppedPath(&local),
                 QStringLiteral("|/tmp/my clip.avi"));
    }

    void qtPrompts()
    {
        QCOMPARE(qtFileFilter("Videos|*.avi;*.mp4|All Files|*.*|Flash|f4v;.m4v;a?.x|PNG (*.png)|*.png|Odd"),
                 QStringLiteral("Videos (*.avi *.mp4);;All Files (*);;Flash (*.f4v *.m4v a?.x);;PNG (*.png)"));
        struct Row { MsgIcon icon; bool yesNo; Qt::Key key; int answer; QMessageBox::Icon shown; };
        QtPrompts prompts;
        for (const Row &r : {Row{MsgIcon::Question, true, Qt::Key_Return, vbYes, QMessageBox::Question},
                 Row{MsgIcon::Question, true, Qt::Key_Escape, vbNo, QMessageBox::Question},
                 Row{MsgIcon::Exclamation, false, Qt::Key_Escape, vbOK, QMessageBox::Warning}}) {
            QString seen;
            onModal<QMessageBox>([&](QMessageBox *box) { seen = box->windowTitle() + box->text() + QString::number(box->icon()); });
            onModal<QMessageBox>([&](QMessageBox *box) { QTest::keyClick(box, r.key); });
            QCOMPARE(prompts.message(r.icon, "Confirm", "SURE?", r.yesNo ? MsgButtons::YesNo : MsgButtons::OK), r.answer);
            QCOMPARE(seen, "ConfirmSURE?" + QString::number(r.shown));
        }
        QTemporaryDir dir;
        const QString noext = dir.filePath("noext");
        QVERIFY(writeFileBytes(noext, "x"));
        bool listed = false; // "All files" lists a name without a dot
        onModal<QFileDialog>([&](QFileDialog *d) {
            d->setDirectory(dir.path());
            auto *model = d->findChild<QFileSystemModel *>();
            listed = model && QTest::qWaitFor([&] { return model->flags(model->index(noext)) & Qt::ItemIsEnabled; });
            d->selectFile(noext);
            QMetaObject::invokeMethod(d, "accept");
        });
        QCOMPARE(std::pair(prompts.openFile("Open", "All Files|*.*", true), listed), std::pair(std::optional<QString>(noext), true));
        onModal<QFileDialog>([](QFileDialog *d) { d->reject(); });
        QCOMPARE(prompts.saveFile("Save", "Profile|*.vlp", false), std::nullopt);
    }
};

QTEST_MAIN(TestCommon)
#include "tst_common.moc"
