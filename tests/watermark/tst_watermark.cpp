// The watermark: the filter text ffmpeg receives (escaped at every level, so
// what the user typed is what is drawn or opened), the picture copy, and the
// watermark dialog that holds the settings.
#include "common/cmdline.h"
#include "common/errors.h"
#include "common/ui_controls.h"
#include "support/fixture.h"
#include "watermark/fonts.h"
#include "watermark/frmWatermarkOptions.h"
#include "watermark/watermarkfilter.h"

#include <QtTest>
#include <QtWidgets>
#include <csignal>
#include <sys/resource.h>

using namespace watermark;
Q_DECLARE_METATYPE(watermark::Settings)

namespace {

const QString program = "vidlark-encoder";
const QString ownName = "THE PROGRAM USES THE NAME OF THIS WATERMARK IMAGE FOR ITS OWN FILES! PLEASE RENAME THE IMAGE.";

Settings text(Corner corner, const QString &words, const QString &alpha = "60", const QString &color = "0x008000")
{
    return Settings{Kind::Text, corner, words, "20", "/opt/Enc/wmfonts/", "DejaVuSans.ttf", color, alpha, {}};
}
Settings image(Corner corner, const QString &path) { return Settings{Kind::Image, corner, {}, {}, {}, {}, {}, {}, path}; }
// How a refusal shows in the "graph" column.
QString refused(Subject subject, const QString &message) { return QString::number(int(subject)) + " " + message; }

// The graph of the option text " -vf \"graph\"", as the command splitter gives it back.
QString graphOf(const std::optional<Filter> &f)
{
    const QStringList args = cmdline::splitCommandLine(f->text);
    return f->text.startsWith(" -vf \"") && args.size() == 2 && args[0] == "-vf" ? args[1] : "bad: " + f->text;
}

// The folder's entries with their bytes (folders and links by name only).
QStringList snapshot(const QString &folder)
{
    QStringList out;
    for (const QFileInfo &i : QDir(folder).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System))
        out << i.fileName() + "=" + (i.isFile() && !i.isSymLink() ? fileBytes(i.filePath()) : QByteArray("-"));
    return out;
}

// A folder with earlier copies, a non-picture file, a folder, a link and one
// of the program's own folders.
QString pictureFolder(const QTemporaryDir &copies)
{
    const QString folder = copies.path();
    writeFileBytes(folder + "/logo.png", "old copy");
    writeFileBytes(folder + "/old.JPEG", "older copy");
    writeFileBytes(folder + "/notes.txt", "notes");
    QDir().mkpath(folder + "/shots.png");
    QDir().mkpath(folder + "/config");
    QFile::link(folder + "/notes.txt", folder + "/link.png");
    return folder;
}

// One black 160x120 frame with the graph drawn, as RGB bytes; ffmpeg runs in
// `folder`, where a picture copy lies.
QByteArray drawn(const QString &graph, const QString &folder)
{
    QDir::setCurrent(folder);
    return runFfmpeg({"-f", "lavfi", "-i", "color=c=black:size=160x120:d=1", "-vf", graph, "-frames:v", "1", "-f", "rawvideo",
                      "-pix_fmt", "rgb24", folder + "/frame.rgb"}) ? fileBytes(folder + "/frame.rgb") : QByteArray();
}

// "magenta", "black" or "other", within what the colour conversions change.
QString pixel(const QByteArray &rgb, int x, int y)
{
    const auto c = [&](int i) { return int(uchar(rgb.at((y * 160 + x) * 3 + i))); };
    return c(1) > 35 ? "other" : c(0) > 220 && c(2) > 220 ? "magenta" : c(0) < 35 && c(2) < 35 ? "black" : "other";
}

} // namespace

class tst_Watermark : public QObject
{
    Q_OBJECT
    TestAppDir dir;
    // A font whose file is missing (the preview keeps the font it has), and a picture.
    const bool prepared = writeFileBytes(dir.file("wmfonts/_fontlist.txt"), fileBytes(dir.file("wmfonts/_fontlist.txt")) + "Nowhere#missing.ttf\n")
        && writeFileBytes(dir.file("pics/mark.png"), "mark");
    QWidget owner;
    std::optional<ScriptedPrompts> prompts;
    QPointer<frmWatermarkOptions> dlg;

    // Puts the kind, corner, text, transparency and picture into the dialog.
    void enter(const Settings &s)
    {
        (s.kind == Kind::Image ? dlg->optImageWM : dlg->optTextWM)->setChecked(true);
        QList<QRadioButton *>{dlg->optTopLeft, dlg->optTopRight, dlg->optBottomLeft, dlg->optBottomRight}[int(s.corner) - 1]->setChecked(true);
        dlg->txtWatermark->setText(s.text);
        dlg->txtWMAlpha->setText(s.transparency);
        dlg->lblWMImagePath->setCaption(s.imagePath);
    }

private slots:
    void init()
    {
        prompts.emplace();
        dlg = new frmWatermarkOptions(*prompts, dir.path(), &owner);
    }
    void cleanup()
    {
        VERIFY_PROMPTS(*prompts);
        delete dlg;
    }

    // Image paths are names in a folder of pictures; a build runs with an
    // earlier state and a picture folder as pictureFolder() makes it.
    void filter_data()
    {
        QTest::addColumn<Settings>("s");
        QTest::addColumn<QString>("graph");
        const QString head = "[in]drawtext=fontsize=20:fontcolor=0x008000@", over = "[watermark];[in][watermark] overlay=";
        const QString font = ":fontfile='/opt/Enc/wmfonts/DejaVuSans.ttf':text=", tl = ":x=8:y=8 [out]";
        QTest::newRow("top left, 60") << text(Corner::TopLeft, "Your Text") << head + "0.6" + font + "'Your Text'" + tl;
        QTest::newRow("top right, 5") << text(Corner::TopRight, "W", "5") << head + "0.05" + font + "'W':x=(W-text_w)-8:y=8 [out]";
        QTest::newRow("bottom left, 0") << text(Corner::BottomLeft, "W", "0") << head + "0" + font + "'W':x=8:y=(H-text_h)-8 [out]";
        QTest::newRow("bottom right, 99") << text(Corner::BottomRight, "W", "99") << head + "0.99" + font + "'W':x=(W-text_w)-8:y=(H-text_h)-8 [out]";
        QTest::newRow("no corner keeps the last, 10") << text(Corner::None, "W", "10") << head + "0.1" + font + "'W':x=px:y=py [out]";
        QTest::newRow("quote, percent, colon, backslash") << text(Corner::TopLeft, R"(it's 50%: C:\x)") << head + "0.6" + font + R"('it\'\''s 50\\%\: C\:\\\\x')" + tl;
        QTest::newRow("blanks at the ends") << text(Corner::TopLeft, " \ta b ") << head + "0.6" + font + "'\\ \\\ta b\\ '" + tl;
        QTest::newRow("graph marks, double quotes, expansion") << text(Corner::TopLeft, R"([x];a,b "q" %{pts})") << head + "0.6" + font + R"('[x];a,b "q" \\%{pts}')" + tl;
        QTest::newRow("colour text from a profile") << text(Corner::TopLeft, "W", "60", R"(red:x[1],y;'\)") << R"([in]drawtext=fontsize=20:fontcolor=red\\:x\[1\]\,y\;\\\'\\\\@0.6)" + font + "'W'" + tl;
        QTest::newRow("image top left, copy replaced") << image(Corner::TopLeft, "logo.png") << "movie='logo.png'" + over + "8:8 [out]";
        QTest::newRow("image top right") << image(Corner::TopRight, "a.jpg") << "movie='a.jpg'" + over + "(W-overlay_w)-8:8 [out]";
        QTest::newRow("image bottom left, quote") << image(Corner::BottomLeft, "Joe's.png") << R"(movie='Joe\'\''s.png')" + over + "8:(H-overlay_h)-8 [out]";
        QTest::newRow("image bottom right, colon") << image(Corner::BottomRight, "http:x.png") << R"(movie='file\:http\:x.png':f=image2pipe)" + over + "(W-overlay_w)-8:(H-overlay_h)-8 [out]";
        QTest::newRow("image, percent") << image(Corner::TopLeft, "50%d.png") << R"(movie='file\:50%d.png':f=image2pipe)" + over + "8:8 [out]";
        // Refused builds: all or nothing.
        QTest::newRow("text missing") << text(Corner::TopLeft, "") << refused(Subject::WatermarkText, "WATERMARK TEXT MISSING");
        for (const char *alpha : {"100", "6x", "", " 5", "-1"})
            QTest::addRow("transparency '%s'", alpha) << text(Corner::TopLeft, "W", alpha) << refused(Subject::Transparency, "TRANSPARENCY MUST BE A WHOLE NUMBER FROM 0 TO 99!");
        QTest::newRow("image missing") << image(Corner::TopLeft, "") << refused(Subject::WatermarkImage, "WATERMARK IMAGE MISSING");
        for (const char *name : {"config", "vidlark-encoder", "notes.txt", "shots.png", "link.png", "..", "x/"})
            QTest::addRow("reserved '%s'", name) << image(Corner::TopLeft, name) << refused(Subject::ReservedImageName, ownName);
        QTest::newRow("picture gone") << image(Corner::TopLeft, dir.file("gone.png")) << refused(Subject::WatermarkPicture, "WATERMARK IMAGE COULD NOT BE COPIED! FILE NOT FOUND.");
    }
    void filter()
    {
        QFETCH(Settings, s);
        QTemporaryDir copies;
        const QStringList before = snapshot(pictureFolder(copies));
        const QString name = QFileInfo(s.imagePath).fileName();
        if (s.kind == Kind::Image && !s.imagePath.isEmpty() && !s.imagePath.startsWith('/'))
            writeFileBytes(s.imagePath = dir.file("pics/" + s.imagePath), "picture " + name.toUtf8());
        try {
            const auto built = buildFilter(s, State{"px", "py", "old"}, copies.path(), program);
            QTEST(graphOf(built), "graph");
            QCOMPARE(built->imageName, name);
            QCOMPARE(built->state.fontFolder, s.kind == Kind::Text ? "/opt/Enc/wmfonts/" : "old");
            QCOMPARE(fileBytes(copies.filePath(name)), s.kind == Kind::Text ? QByteArray() : "picture " + name.toUtf8());
        } catch (const Refusal &r) {
            QTEST(refused(r.subject(), r.message()), "graph");
            QCOMPARE(snapshot(copies.path()), before); // nothing written, nothing replaced
        }
    }

    void pictureNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("reserved");
        QTest::addColumn<bool>("deletable");
        for (const char *name : {"logo.png", "old.JPEG", "new.png", "new.txt"}) // earlier copies and new names
            QTest::addRow("'%s'", name) << QString(name) << false << !QByteArray(name).startsWith("new");
        for (const char *name : {"notes.txt", "shots.png", "link.png", "config", "ma", "vidlark-encoder", "", "a/b.png", ".", ".."})
            QTest::addRow("reserved '%s'", name) << QString(name) << true << false;
    }
    void pictureNames()
    {
        QFETCH(QString, name);
        QFETCH(bool, reserved);
        QFETCH(bool, deletable);
        QTemporaryDir copies;
        const QString folder = pictureFolder(copies), copy = copies.filePath(name);
        QCOMPARE(isReservedPictureName(folder, name, program), reserved);
        QCOMPARE(pictureCopyToDelete(folder, name, program) == copy, deletable);
        // Before a request a missing copy (a new name) comes back, unless its name is reserved.
        writeFileBytes(dir.file("pics/" + name), "picture");
        restorePictureCopy(folder, name, dir.file("pics/" + name), program);
        QCOMPARE(fileBytes(copy) == "picture", !reserved && !deletable);
    }

    void copyPictureIsAtomic()
    {
        QTemporaryDir copies;
        writeFileBytes(copies.filePath("logo.png"), "old copy");
        writeFileBytes(copies.filePath("new.png"), "new picture");
        const QStringList before = snapshot(copies.path());
        // No file may grow beyond 4 bytes for a while: writing fails part of the way.
        rlimit normal{};
        getrlimit(RLIMIT_FSIZE, &normal);
        const rlimit small{4, normal.rlim_max};
        signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &small);
        const int error = runtimeErrorOf([&] { copyPicture(copies.filePath("new.png"), copies.path(), "logo.png"); });
        setrlimit(RLIMIT_FSIZE, &normal);
        QCOMPARE(error, 75);
        QCOMPARE(snapshot(copies.path()), before); // the earlier copy whole, nothing left behind
        copyPicture(copies.filePath("new.png"), copies.path(), "logo.png");
        // Restoring: not for a picture renamed since; refused for one that is gone.
        restorePictureCopy(copies.path(), "gone.png", copies.filePath("new.png"), program);
        QVERIFY_THROWS_EXCEPTION(Refusal, restorePictureCopy(copies.path(), "gone.png", dir.file("pics/gone.png"), program));
        QCOMPARE(snapshot(copies.path()), QStringList({"logo.png=new picture", "new.png=new picture"}));
    }

    void startStateAndPreview()
    {
        QVERIFY(dlg->optTextWM->isChecked() && dlg->Frame2->isEnabled() && !dlg->Frame3->isEnabled() && dlg->optTopLeft->isChecked() && dlg->txtWMString->text().isEmpty());
        const FontList fonts = readFontList(dir.path());
        const QStringList sizes = readFontSizes(dir.path());
        QCOMPARE(entries(dlg->cmbWMFontName) + entries(dlg->cmbWMFontFileName) + entries(dlg->cmbWMFontSize), fonts.names + fonts.files + sizes);
        QCOMPARE(QList<int>({dlg->cmbWMFontName->currentIndex(), dlg->cmbWMFontFileName->currentIndex(), dlg->cmbWMFontSize->currentIndex()}), QList<int>({0, 0, 2}));
        QCOMPARE(QStringList({dlg->lblWMPreview->text(), QString::number(dlg->lblWMPreview->font().pointSizeF()), dlg->lblWMPreview->font().family()}),
                 QStringList({"Your Watermark Text", sizes.at(2), fonts.names.first()}));
        QCOMPARE(ui::foreColor(dlg->lblWMPreview), 0x008000u);
        // The preview follows the font (the file list moves along), the size and the text.
        dlg->cmbWMFontName->setCurrentIndex(3);
        QCOMPARE(dlg->cmbWMFontFileName->currentIndex(), 3);
        QCOMPARE(dlg->lblWMPreview->font().family(), fonts.names.at(3));
        dlg->cmbWMFontName->setCurrentIndex(4); // its file is missing: the font stays
        QCOMPARE(dlg->cmbWMFontFileName->currentText() + dlg->lblWMPreview->font().family(), "missing.ttf" + fonts.names.at(3));
        dlg->cmbWMFontSize->setCurrentIndex(5);
        QCOMPARE(dlg->lblWMPreview->font().pointSizeF(), sizes.at(5).toDouble());
        dlg->txtWatermark->setText("<b>Hello</b>");
        dlg->txtWatermark->clear(); // an empty text leaves the last one
        QCOMPARE(dlg->lblWMPreview->text(), "<b>Hello</b>");
        // The colour dialog (cancelled, then a colour chosen) and the picture dialog (chosen, then cancelled).
        prompts->expectColor(std::nullopt).expectColor(0x0C0B0A);
        dlg->cmdWMFontColor->click(); // cancelled: nothing changes
        dlg->cmdWMFontColor->click();
        QCOMPARE(prompts->records().last().text, "32768"); // it starts from the colour held, unchanged
        QCOMPARE(dlg->txtWMFontColor->text(), "0x0A0B0C");
        QCOMPARE(QList<quint32>({dlg->txtWMFontColor->foreColor(), ui::foreColor(dlg->lblWMPreview)}), QList<quint32>(2, 0x0C0B0A));
        const QString path = dir.file("pics/logo.png");
        prompts->expectOpenFile(path, "Open Picture File").expectOpenFile(std::nullopt, "Open Picture File");
        dlg->optImageWM->setChecked(true);
        QVERIFY(dlg->Frame3->isEnabled() && !dlg->Frame2->isEnabled());
        dlg->cmdWMImage->click();
        dlg->cmdWMImage->click(); // cancelled: both captions stay
        QCOMPARE(dlg->lblWMImagePath->caption() + "|" + dlg->lblWMImagePath->toolTip() + "|" + dlg->lblWMImageName->caption(),
                 path + "| " + path + " |logo.png");
    }

    void startupFailure()
    {
        // A failure stops the start-up with the general error report; once
        // loaded, the report comes when the failing choice is made.
        TestAppDir other;
        other.writeFile("wmfonts/_fontsize.txt", "10\n12\nbig\nbig\n");
        prompts->expectMessage(generalErrorText(RuntimeError(rt::TypeMismatch))).expectMessage(generalErrorText(RuntimeError(13)));
        frmWatermarkOptions failed(*prompts, other.path());
        QVERIFY(failed.cmbWMFontName->currentIndex() == -1 && failed.optTextWM->isChecked() && !failed.Frame3->isEnabled());
        failed.cmbWMFontSize->setCurrentIndex(3);
    }

    // Save builds the filter as buildFilter does, emits saved() and hides;
    // Exit and Esc, and a refused Save, keep the filter of the last Save, and
    // a refusal takes the user to the setting to mend.
    void saveAndExit_data()
    {
        QTest::addColumn<Settings>("s");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");
        QTest::newRow("save text") << text(Corner::BottomRight, "Hi: 'you'", "42") << "" << "hidden";
        QTest::newRow("save image, path from a profile") << image(Corner::BottomRight, dir.file("pics/mark.png")) << "" << "hidden";
        QTest::newRow("Exit") << text(Corner::TopRight, "New") << "" << "cmdExit";
        QTest::newRow("text missing") << text(Corner::TopRight, "") << "WATERMARK TEXT MISSING" << "txtWatermark";
        QTest::newRow("image missing") << image(Corner::TopRight, "") << "WATERMARK IMAGE MISSING" << "cmdExit";
        QTest::newRow("transparency") << text(Corner::TopRight, "New", "x") << "TRANSPARENCY MUST BE A WHOLE NUMBER FROM 0 TO 99!" << "txtWMAlpha";
        QTest::newRow("reserved name") << image(Corner::TopRight, dir.file("pics/config")) << ownName << "cmdExit";
    }
    void saveAndExit()
    {
        QFETCH(Settings, s);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        const bool saves = focus == "hidden";
        QFile::remove(dir.file("mark.png"));
        dlg->optBottomLeft->setChecked(true);
        dlg->cmdSave_Click();
        const QString old = dlg->txtWMString->text();
        enter(s);
        if (!message.isEmpty())
            prompts->expectMessage(message);
        if (s.kind == Kind::Image && s.imagePath.isEmpty())
            prompts->expectOpenFile(std::nullopt, "Open Picture File"); // the picture dialog, cancelled
        QSignalSpy saved(dlg.data(), &frmWatermarkOptions::saved);
        QTimer::singleShot(0, dlg, [&] {
            dlg->showModal(); // already shown: returns at once
            dlg->cmdExit->setFocus();
            if (focus != "cmdExit" || !message.isEmpty())
                dlg->cmdSave->click();
            if (dlg->isVisible()) {
                focus = dlg->focusWidget()->objectName();
                QTest::keyClick(dlg, Qt::Key_Escape);
            }
        });
        dlg->showModal();
        QTEST(focus, "focus");
        QVERIFY(dlg->result() == (saves ? QDialog::Accepted : QDialog::Rejected) && !dlg->isVisible());
        QCOMPARE(saved.count(), int(saves));
        QCOMPARE(dlg->txtWatermark->text(), s.text); // the changes stay in the dialog
        const bool image = saves && s.kind == Kind::Image;
        QCOMPARE(fileBytes(dir.file("mark.png")), image ? QByteArray("mark") : QByteArray());
        QCOMPARE(dlg->lblWMImageName->caption(), image ? "mark.png" : ""); // the build names the copy
        QCOMPARE(dlg->strWMPosX + dlg->strWMPosY, !saves ? "8(H-text_h)-8" : image ? "(W-overlay_w)-8(H-overlay_h)-8" : "(W-text_w)-8(H-text_h)-8");
        s.fontFolder = fontFolder(dir.path()); // the rest as the dialog starts
        QCOMPARE(dlg->txtWMString->text(), saves ? buildFilter(s, State{}, dir.path(), program)->text : old);
    }

    void closeBoxDrops()
    {
        QSignalSpy dropped(dlg.data(), &frmWatermarkOptions::dropped);
        dlg->close();
        QCOMPARE(dropped.count(), 1);
        QTRY_VERIFY(dlg.isNull());
    }

    void drawnByFfmpeg()
    {
        // A text with awkward characters, in a font in a folder with awkward
        // characters, is drawn as the same text read from a file.
        const QString fonts = dir.file("font's: 50% [x],y;/");
        QVERIFY(QDir().mkpath(fonts) && QFile::copy(dir.file("wmfonts/DejaVuSans.ttf"), fonts + "DejaVuSans.ttf"));
        Settings s = text(Corner::TopLeft, R"( it's "50%": C:\new\ [x];a,b %{pts}\)", "99", "0xFFFF00");
        s.fontFolder = fonts;
        writeFileBytes(dir.file("text.txt"), s.text.toUtf8());
        const QByteArray built = drawn(graphOf(buildFilter(s, State{}, dir.path(), program)), dir.path());
        QCOMPARE(built.size(), 160 * 120 * 3);
        QVERIFY(built != drawn("null", dir.path()));
        QVERIFY(built == drawn("drawtext=fontsize=20:fontcolor=0xFFFF00@0.99:fontfile=" + dir.file("wmfonts/DejaVuSans.ttf") + ":textfile=" + dir.file("text.txt") + ":expansion=none:x=8:y=8", dir.path()));
        // A 16x12 picture whose name holds a colon, a percent sign and a quote lies 8 pixels from the corner.
        QTemporaryDir run;
        const QString picture = dir.file("pics/logo 50%: v1's.png");
        QVERIFY(runFfmpeg({"-f", "lavfi", "-i", "color=c=magenta:size=16x12", "-frames:v", "1", dir.file("pics/made.png")}));
        QVERIFY(QFile::copy(dir.file("pics/made.png"), picture));
        const QByteArray frame = drawn(graphOf(buildFilter(image(Corner::BottomRight, picture), State{}, run.path(), program)), run.path());
        QCOMPARE(frame.size(), 160 * 120 * 3);
        QCOMPARE(pixel(frame, 159 - 8, 119 - 8) + pixel(frame, 160 - 8 - 16, 120 - 8 - 12), "magentamagenta");
        QCOMPARE(pixel(frame, 159 - 8 - 16, 119 - 8 - 12) + pixel(frame, 160 - 8, 120 - 8), "blackblack"); // just outside
    }
};

QTEST_MAIN(tst_Watermark)
#include "tst_watermark.moc"
