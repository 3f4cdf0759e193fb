// The ground helpers: error texts, text files, widget helpers and the Qt
// prompts.
#include "common/errors.h"
#include "common/textfiles.h"
#include "common/ui_controls.h"
#include "common/ui_qtprompts.h"
#include "support/fixture.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <sys/resource.h>

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
    // A write the file size limit stops half-way leaves the old file whole: the bytes fit the write buffer,
    // so only its flush finds out.
    void errorsAndTextFiles()
    {
        QCOMPARE(generalErrorText(RuntimeError(7, "Disk gone")),
                 "ERROR# 7 DISK GONE. PLEASE CONTACT SUPPORT.");
        QCOMPARE(textfiles::splitLines("a\r\nb\n\nc\rd"), (QStringList{"a", "b", "", "c\rd"}));
        QTemporaryDir dir;
        const QString file = dir.filePath("configvbr.txt");
        textfiles::writeBytesAtomically(file,
                                        "Gr\xc3\xb6\xc3\x9f"
                                        "e\r\n\xe6\x97\xa5\nlast");
        QCOMPARE(textfiles::readLines(file), (QStringList{"Größe", "日", "last"}));
        QList<int> errors;
        for (const QString &path : {dir.filePath("gone"), dir.filePath("no/x"), dir.path()})
            errors << runtimeErrorOf([&] { textfiles::readBytes(path); });
        errors << runtimeErrorOf([&] { textfiles::writeBytesAtomically(dir.filePath("no/x"), "x"); });
        const auto handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        const rlimit tight{20, old.rlim_max};
        setrlimit(RLIMIT_FSIZE, &tight);
        errors << runtimeErrorOf([&] { textfiles::writeBytesAtomically(file, QByteArray(1000, 'n')); });
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, handler);
        QCOMPARE(errors << int(textfiles::readLines(file).size()), (QList<int>{53, 76, 75, 76, 75, 3}));
    }

    // Captions as screen readers say them ("&&" one "&", a stray "&" kept); a path cut in the middle where it
    // is shown, whole everywhere else, never widening its window.
    void controlsAndLabels()
    {
        QStringList spoken;
        for (const char *caption : {"&Save Options and E&xit", " Fish && &Chips ", "Rock &"})
            spoken << ui::spokenCaption(caption);
        QCOMPARE(spoken, (QStringList{"Save Options and Exit", "Fish & Chips", "Rock &"}));
        CaptionLabel label(nullptr, true);
        label.showAsPath("Source video");
        const QSize hint = label.sizeHint();
        label.resize(160, hint.height());
        label.show();
        const QString path = "/home/user/videos/holiday/with/a/very/long/folder/name/beach-final.avi";
        label.setCaption(path);
        QCOMPARE(label.caption() + label.toolTip() + label.accessibleName(), path + ' ' + path + ' ' + path);
        QCOMPARE(std::tuple(label.text().left(3), label.text().right(6), label.text().size() < path.size()),
                 std::tuple(QString("/ho"), QString("al.avi"), true));
        QCOMPARE(label.sizeHint(), hint);
        label.resize(2000, hint.height());
        QCOMPARE(label.text(), path);
    }

    // Filters in Qt's form; a question, Esc answers No; "All Files" (*.*) lists a name without a dot.
    void qtPrompts()
    {
        QCOMPARE(qtFileFilter("Videos|*.avi;*.mp4|All Files|*.*|Flash|f4v;.m4v|Odd"),
                 "Videos (*.avi *.mp4);;All Files (*);;Flash (*.f4v *.m4v)");
        QtPrompts prompts;
        QString seen;
        onModal<QMessageBox>(
            [&](QMessageBox *box) { seen = box->text(), QTest::keyClick(box, Qt::Key_Escape); });
        QCOMPARE(std::pair(prompts.message(MsgIcon::Question, "Confirm", "SURE?", MsgButtons::YesNo), seen),
                 std::pair(vbNo, QString("SURE?")));
        QTemporaryDir dir;
        const QString noext = dir.filePath("noext");
        QVERIFY(writeFileBytes(noext, "x"));
        bool listed = false;
        onModal<QFileDialog>([&](QFileDialog *d) {
            d->setDirectory(dir.path());
            auto *model = d->findChild<QFileSystemModel *>();
            listed = model
                && QTest::qWaitFor([&] { return model->flags(model->index(noext)) & Qt::ItemIsEnabled; });
            d->selectFile(noext);
            QMetaObject::invokeMethod(d, "accept");
        });
        QCOMPARE(std::pair(prompts.openFile("Open", "All Files|*.*", true), listed),
                 std::pair(std::optional<QString>(noext), true));
    }
};

QTEST_MAIN(TestCommon)
#include "tst_common.moc"
