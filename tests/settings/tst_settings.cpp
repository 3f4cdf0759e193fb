// Profiles (cipher, file format, the settings they hold and how applying
// them reacts), the main window's Save and Load Profile and start-up
// profile, the watermark a loaded profile draws, and the list editors.
#include "common/errors.h"
#include "common/ui_controls.h"
#include "settings/encodesettings.h"
#include "settings/frmListEditor.h"
#include "settings/profile.h"
#include "settings/windows1252.h"
#include "support/fixture.h"
#include "watermark/frmWatermarkOptions.h"

#include <QtTest>
#include <QtWidgets>
#include <csignal>
#include <sys/resource.h>

using namespace profile;

namespace {

QString err(int number) { return generalErrorText(RuntimeError(number)); }
QStringList list(const Values &v) { return QStringList(v.begin(), v.end()); }

// The file for these plain lines, each enciphered and ended by CR LF.
QByteArray profileFile(const QStringList &lines)
{
    QByteArray bytes;
    for (const QString &line : lines)
        bytes += EncryptText(windows1252::encode(line).value(), cipherKey) + "\r\n";
    return bytes;
}

// The lines with some replaced, given as "line=value".
QStringList with(QStringList lines, const QStringList &changes)
{
    for (const QString &change : changes)
        lines[change.section('=', 0, 0).toInt()] = change.section('=', 1);
    return lines;
}

// The settings as a profile stores them, read from the controls.
Values controlValues(frmMain &w)
{
    frmWatermarkOptions &wm = w.forms().watermarkOptions();
    const auto check = [](const QCheckBox *b) { return checkStateText(ui::checkValue(b)); };
    const auto option = [](const QAbstractButton *b) { return optionText(b->isChecked()); };
    const auto index = [](const QComboBox *c) { return listIndexText(c->currentIndex()); };
    return {signature, check(w.chkFLV), check(w.chkMp4), check(w.chkWebm), option(w.optVideoWindowOriginal), option(w.optVideoWindowResize),
            index(w.cmbVideoWindow), index(w.cmbVideoBitrate), index(w.cmbVideoFrameRate), check(w.chkWatermark), check(w.chkGrabStillImage),
            w.txtFrameMinute->text(), w.txtFrameSecond->text(), option(wm.optTextWM), option(wm.optImageWM), option(wm.optTopLeft),
            option(wm.optTopRight), option(wm.optBottomLeft), option(wm.optBottomRight), wm.txtWatermark->text(), index(wm.cmbWMFontName),
            index(wm.cmbWMFontFileName), index(wm.cmbWMFontSize), wm.txtWMFontColor->text(), colorText(wm.txtWMFontColor->foreColor()),
            wm.txtWMAlpha->text(), wm.lblWMImagePath->caption(), index(w.cmbAudioBitrate), index(w.cmbAudioSamplerate)};
}

// Counts the windows (the splash aside) shown modally while it lives and
// closes each at once: a window that should not open fails the test at
// once instead of waiting for a user.
struct ModalWatch {
    int count = 0;
    QTimer timer;
    ModalWatch()
    {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            if (QWidget *modal = QApplication::activeModalWidget(); modal && !modal->inherits("frmSplash") && ++count)
                modal->close();
        });
        timer.start(5);
    }
};

} // namespace

class tst_Settings : public QObject
{
    Q_OBJECT
    TestAppDir dir;
    const encodesettings::Lists lists = encodesettings::readLists(dir.path());
    const QStringList start = list(encodesettings::Settings(lists).values());
    const QString picture = dir.file("pics/logo.png");
    const bool prepared = writeFileBytes(picture, "picture");

    // A plain value for a line: mostly one its control takes, now and then
    // one it refuses.
    QString randomValue(QRandomGenerator &r, int line)
    {
        const QString letters = "aZ9 '\":%\\[],;é€\t";
        QString words;
        for (int i = r.bounded(5); i > 0; --i)
            words += letters.at(r.bounded(int(letters.size())));
        if (r.bounded(60) == 0)
            return r.bounded(2) ? "zz" : "99999"; // refused by all but the texts
        if (QList<int>{WindowSize, VideoBitrate, VideoFrameRate, FontName, FontFile, FontSize, AudioBitrate, AudioSamplerate}.contains(line))
            return QString::number(r.bounded(-1, 4)); // 3 is beyond the sample rates
        if (line <= Webm || line == Watermark || line == GrabStillImage)
            return QString::number(r.bounded(3));
        if (line == KeepWindowSize || line == ResizeWindow || (line >= TextWatermark && line <= BottomRight))
            return QStringList{"True", "False", "false", "0", "-1"}[r.bounded(5)];
        if (line == ImagePath)
            return QStringList{"", picture, dir.file("gone.png"), dir.file("pics/config"), words}[r.bounded(5)];
        return line == FontColor ? QString::number(r.bounded(0x1000000)) : words;
    }

private slots:
    void cipher()
    {
        // Byte i (from 1) takes key byte (i mod L) + 1: the first the key's
        // second, the eleventh its first; sums wrap at 256.
        const QByteArray plain = QByteArray(12, 'A') + "\xff", enciphered = QByteArray::fromHex("A6B1A9BAB3A4B0B6AFB5BBA6") + "o";
        QCOMPARE(EncryptText(plain, cipherKey), enciphered);
        QCOMPARE(DecryptText(enciphered, cipherKey), plain);
        QCOMPARE(EncryptText("abc", "ab") + EncryptText("text", ""), QByteArray::fromHex("C3C3C5") + "text"); // an empty key changes nothing
    }

    // Profiles are written in Windows-1252, one byte a character; a value
    // the format cannot carry is refused, the first in line order named.
    void codec_data()
    {
        QTest::addColumn<QStringList>("changes");
        QTest::addColumn<QString>("message");
        const QString head = "PROFILE NOT SAVED! THE ";
        QTest::newRow("Windows-1252") << QStringList{"19=Grüße € ‚ƒ„…†‡ˆ‰Š‹ŒŽ ñÿ " + QString(QChar(0x81)), "26=C:\\Bilder\\Größe.png"} << "";
        QTest::newRow("no such character") << QStringList{"19=Smile ☺", "26=x☺"} << head + "WATERMARK TEXT HOLDS \"☺\", WHICH A PROFILE CANNOT STORE.";
        QTest::newRow("two units") << QStringList{"26=/p/😀.png"} << head + "WATERMARK IMAGE PATH HOLDS \"😀\", WHICH A PROFILE CANNOT STORE.";
        QTest::newRow("enciphers to LF") << QStringList{"11=¥"} << head + "STILL IMAGE MINUTE HOLDS \"¥\" AT POSITION 1, WHERE A PROFILE CANNOT STORE IT.";
        QTest::newRow("enciphers to CR") << QStringList{"23=abcdefghij“"} << head + "WATERMARK FONT COLOR CODE HOLDS \"“\" AT POSITION 11, WHERE A PROFILE CANNOT STORE IT.";
    }
    void codec()
    {
        QFETCH(QStringList, changes);
        const QStringList lines = with(start, changes);
        Values values;
        std::copy(lines.begin(), lines.end(), values.begin());
        try {
            const QByteArray bytes = encodeProfile(values);
            QTEST(QString(), "message");
            QCOMPARE(bytes, profileFile(lines));
            QVERIFY(bytes.contains(EncryptText("Gr\xfc\xdf" "e \x80", cipherKey))); // single bytes
            QCOMPARE(decodeProfile(bytes), lines);
        } catch (const Refusal &r) {
            QTEST(r.message(), "message");
            QCOMPARE(r.line(), changes.first().section('=', 0, 0).toInt());
        }
    }

    void readProfile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QStringList>("lines");
        const QByteArray rest(300000, 'a'), head = profileFile({signature}), a = EncryptText("a", cipherKey);
        QTest::newRow("empty") << QByteArray() << true << QStringList();
        QTest::newRow("wrong first line stops at once") << profileFile({"vdlkenc!"}) + rest << false << QStringList{"vdlkenc!"};
        QTest::newRow("over-long line") << head + QByteArray(maxLineBytes + 1, 'a') + "\r\n" << false << QStringList{signature};
        QTest::newRow("longest line") << head + EncryptText(QByteArray(maxLineBytes, 'a'), cipherKey) << true << QStringList{signature, QString(maxLineBytes, 'a')};
        QTest::newRow("CR, LF, CR LF, none") << head + a + "\r" + a + "\n\r\n" + a << true << QStringList{signature, "a", "a", "", "a"};
        QTest::newRow("CR and LF in two pieces") << head + EncryptText(QByteArray(65536 - head.size() - 1, 'b'), cipherKey) + "\r\n" + a << true << QStringList{signature, QString(65526, 'b'), "a"};
        QTest::newRow("29 lines at most") << profileFile(start + start) + rest << true << start;
    }
    void readProfile()
    {
        QFETCH(QByteArray, bytes);
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        const ProfileFile file = profile::readProfile(buffer);
        QTEST(file.valid, "valid");
        QTEST(file.lines, "lines");
        QVERIFY(buffer.pos() <= 2 * 65536); // what follows is never read
        QCOMPARE(runtimeErrorOf([&] { readProfileFile(dir.file("gone.vlp")); }), 53);
    }

    // Applying one line to the settings as values, against the start values:
    // the changes, or the error of a refused value.
    void apply_data()
    {
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QStringList>("changes");
        QTest::newRow("greyed, rounded") << int(FLV) << " 1.6 " << QStringList{"1=2"};
        QTest::newRow("check box 3") << int(Mp4) << "3" << QStringList{"error 380"};
        QTest::newRow("check box no number") << int(Watermark) << "x" << QStringList{"error 13"};
        QTest::newRow("check box overflow") << int(GrabStillImage) << "40000" << QStringList{"error 6"};
        QTest::newRow("option True clears its group") << int(TopRight) << "True" << QStringList{"15=False", "16=True"};
        QTest::newRow("option False leaves none") << int(KeepWindowSize) << "false" << QStringList{"4=False"};
        QTest::newRow("option as a number") << int(ImageWatermark) << "-1" << QStringList{"13=False", "14=True"};
        QTest::newRow("other window size: resize") << int(WindowSize) << "2" << QStringList{"4=False", "5=True", "6=2"};
        QTest::newRow("same window size") << int(WindowSize) << "0" << QStringList{};
        QTest::newRow("font name moves the file") << int(FontName) << "3" << QStringList{"20=3", "21=3"};
        QTest::newRow("colour beyond") << int(FontColor) << "16777216" << QStringList{"error 380"};
        QTest::newRow("two-character boxes") << int(Transparency) << "999" << QStringList{"25=99"};
        QTest::newRow("long text") << int(WatermarkText) << QString(40000, 'x') << QStringList{"19=" + QString(32767, 'x')};
        QTest::newRow("line 29") << 29 << "1" << QStringList{};
    }
    void apply()
    {
        QFETCH(int, line);
        QFETCH(QString, value);
        encodesettings::Settings settings(lists);
        QStringList changes;
        if (const int error = runtimeErrorOf([&] { settings.apply(line, value); }))
            changes << "error " + QString::number(error);
        for (int i = 0; i < lineCount; ++i)
            if (settings.values()[i] != start[i])
                changes << QString::number(i) + "=" + settings.values()[i];
        QTEST(changes, "changes");
    }

    // The same random profiles applied through the window and through the
    // settings as values give the same settings and the same messages, and
    // no window opens while they are applied.
    void windowAgreesWithSettings()
    {
        TestProgram p;
        QVERIFY(p.start());
        encodesettings::Settings model(lists);
        QRandomGenerator r(1357);
        ModalWatch watch;
        const QString path = p.dir.file("random.vlp");
        // First no profiles (another text file, an over-long line), an empty one and one with a bad line.
        const QList<QByteArray> fixed{"hello\r\nworld\r\n", profileFile({signature}) + QByteArray(maxLineBytes + 1, 'a'), "",
                                      profileFile({signature, "0", "1", "1", "False", "False", "2", "99", "7"})};
        for (int round = 0; round < 80; ++round) {
            QStringList lines{signature};
            for (int line = 1, count = r.bounded(4) ? lineCount : r.bounded(1, 33); line < count; ++line)
                lines << randomValue(r, line);
            writeFileBytes(path, round < fixed.size() ? fixed[round] : profileFile(lines));
            try {
                model.applyProfile(path);
            } catch (const Refusal &) {
                p.prompts.expectMessage("NOT A VALID VIDLARK WEB VIDEO ENCODER PROFILE!");
            } catch (const RuntimeError &e) {
                p.prompts.expectMessage(err(e.number()));
            }
            try {
                if (model.values()[Watermark] == "1")
                    watermark::buildFilter(model.watermark(p.dir.path()), {}, p.dir.path(), watermark::programName());
            } catch (const Refusal &refusal) {
                p.prompts.expectMessage(refusal.message());
                model.apply(Watermark, "0");
            }
            p.window->LoadProfile(path);
            QVERIFY2(list(controlValues(*p.window)) == list(model.values()), qPrintable(lines.join('|')));
        }
        QCOMPARE(watch.count, 0);
        VERIFY_PROMPTS(p.prompts);
    }

    // Save Profile then Load Profile restores every setting; a value no
    // profile holds is refused, and a failed write leaves the old file.
    void saveThenLoad()
    {
        TestProgram p;
        QVERIFY(p.start());
        const QStringList saved = with(start, {"1=0", "3=1", "4=False", "5=True", "6=3", "7=1", "8=7", "10=1", "11=02", "12=15",
                                              "13=False", "14=True", "15=False", "18=True", "19=Grüße, 'x': 50%", "20=2", "21=1",
                                              "22=5", "23=0x0A0B0C", "24=789514", "25=5", "26=" + picture, "27=3", "28=2"});
        const QString first = p.dir.file("first.vlp"), second = p.dir.file("second profile");
        QVERIFY(writeFileBytes(first, profileFile(saved)) && writeFileBytes(second, "old"));
        p.prompts.expectOpenFile(first, "Load Profile").expectSaveFile(std::nullopt, "Save Profile").expectSaveFile(second, "Save Profile");
        p.prompts.expectMessage("PROFILE NOT SAVED! THE STILL IMAGE SECOND HOLDS \"☺\", WHICH A PROFILE CANNOT STORE.").expectSaveFile(second);
        p.prompts.expectMessage(err(75)).expectSaveFile(second).expectMessage("PROFILE SAVED AS " + second).expectOpenFile(std::nullopt).expectOpenFile(second);
        p.window->mnuLoadProfile->trigger();
        p.window->mnuSaveProfile->trigger(); // cancelled
        p.window->txtFrameSecond->setText("☺");
        p.window->mnuSaveProfile->trigger(); // refused
        p.window->txtFrameSecond->setText("15");
        // No file may grow beyond 100 bytes for a while: writing fails part of the way.
        rlimit normal{};
        getrlimit(RLIMIT_FSIZE, &normal);
        const rlimit small{100, normal.rlim_max};
        signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &small);
        p.window->mnuSaveProfile->trigger();
        setrlimit(RLIMIT_FSIZE, &normal);
        QCOMPARE(fileBytes(second), "old");
        QCOMPARE(QDir(p.dir.path()).entryList({"second*"}, QDir::Files | QDir::Hidden), QStringList{"second profile"}); // nothing left behind
        p.window->mnuSaveProfile->trigger();
        QCOMPARE(p.prompts.records().last().title, " Message");
        QCOMPARE(fileBytes(second), profileFile(saved)); // under the very name typed
        writeFileBytes(first, profileFile(start));
        p.window->LoadProfile(first);
        QVERIFY(list(controlValues(*p.window)) != saved);
        p.window->mnuLoadProfile->trigger(); // cancelled
        p.window->mnuLoadProfile->trigger();
        QCOMPARE(list(controlValues(*p.window)), saved);
        QCOMPARE(ui::foreColor(p.forms.watermarkOptions().lblWMPreview), 789514u);
        VERIFY_PROMPTS(p.prompts);
    }

    // The profile at start-up (quotes taken off in pairs only; a bad path is
    // reported and the program stays open) or from Load Profile, and the
    // watermark it draws: no window opens while a profile is applied; the
    // filter text is then built as the dialog's Save builds it; a refusal
    // shows Save's message and clears the box, the rest of the profile
    // standing; with the watermark off the filter text is dropped.
    void loadedProfile_data()
    {
        QTest::addColumn<QString>("argument"); // empty: Load Profile once started
        QTest::addColumn<bool>("savedBefore"); // another watermark was saved first
        QTest::addColumn<QStringList>("changes");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("filter"); // a piece of it; empty: none; "-": nothing loaded
        const QString path = dir.file("loaded.vlp"), gone = "26=" + dir.file("gone.png");
        const QString notCopied = "WATERMARK IMAGE COULD NOT BE COPIED! FILE NOT FOUND.";
        const QStringList text{"9=1", "15=False", "18=True", "19=Hi: 'x'", "22=6"}, image{"9=1", "13=False", "14=True"};
        QTest::newRow("start-up, in quotes, text") << "\"" + path + "\"" << false << text << "" << "fontsize=40:";
        QTest::newRow("start-up, picture missing") << path << false << image + QStringList{gone, "1=0"} << notCopied << "";
        QTest::newRow("start-up, one quote is kept") << "\"" + path << false << text << err(76) << "-";
        QTest::newRow("start-up, missing") << dir.file("gone.vlp") << false << text << err(53) << "-";
        QTest::newRow("after another one was saved") << "" << true << QStringList{"9=1", "19=New"} << "" << "text='New'";
        QTest::newRow("picture") << "" << false << image + QStringList{"26=" + picture} << "" << "movie='logo.png'";
        QTest::newRow("picture missing") << "" << true << image + QStringList{gone, "1=0", "28=0"} << notCopied << "";
        QTest::newRow("watermark off") << "" << true << QStringList{"9=0", "19=Off"} << "" << "";
    }
    void loadedProfile()
    {
        QFETCH(QString, argument);
        QFETCH(bool, savedBefore);
        QFETCH(QStringList, changes);
        QFETCH(QString, message);
        QFETCH(QString, filter);
        const QStringList loaded = with(start, changes);
        writeFileBytes(dir.file("loaded.vlp"), profileFile(loaded));
        ModalWatch watch;
        TestProgram p;
        p.forms.arguments = QStringList{argument};
        if (!message.isEmpty())
            p.prompts.expectMessage(message);
        QVERIFY(p.start() && p.window->isVisible() && p.ended == 0);
        if (savedBefore) // the start settings, saved: the box is ticked
            p.forms.watermarkOptions().cmdSave_Click();
        if (argument.isEmpty())
            p.window->LoadProfile(dir.file("loaded.vlp"));
        QCOMPARE(watch.count, 0);
        QCOMPARE(list(controlValues(*p.window)), filter == "-" ? start : with(loaded, {filter.isEmpty() ? "9=0" : "9=1"}));
        const QString drawn = p.forms.watermarkOptions().txtWMString->text();
        QVERIFY2(filter.size() < 2 ? drawn.isEmpty() : drawn.contains(filter), qPrintable(drawn));
        QCOMPARE(QFile::exists(p.dir.file("logo.png")), filter.startsWith("movie")); // the picture copy
        if (filter.size() > 1) {
            p.forms.watermarkOptions().cmdSave_Click();
            QCOMPARE(p.forms.watermarkOptions().txtWMString->text(), drawn); // as the dialog's Save builds it
        }
        VERIFY_PROMPTS(p.prompts);
    }

    void listEditors_data()
    {
        QTest::addColumn<bool>("bitrates");
        QTest::newRow("video bitrates") << true;
        QTest::newRow("video window sizes") << false;
    }
    void listEditors()
    {
        QFETCH(bool, bitrates);
        TestProgram p;
        QVERIFY(p.start());
        const QString file = p.dir.file(bitrates ? "config/configvbr.txt" : "config/configvws.txt");
        const QByteArray old = bitrates ? "300\r\n400\r\n" : "320x240 Small\r\n640x480\r\n";
        writeFileBytes(file, old);
        const QString ask = "DO YOU WANT TO SAVE?";
        p.prompts.expectMessage(ask, vbNo).expectMessage(ask, vbYes).expectMessage("NOTHING TO SAVE!").expectMessage(ask, vbYes).expectMessage("DATA SAVED.");
        QString shown, typed, kept;
        QTimer::singleShot(0, [&] {
            auto *editor = qobject_cast<frmListEditor *>(QApplication::activeModalWidget());
            QPlainTextEdit *box = editor->findChild<QPlainTextEdit *>();
            shown = box->toPlainText();
            editor->cmdSave->click(); // No: the file stays
            box->setPlainText("\n\n");
            editor->cmdSave->click(); // a text without entries
            kept = fileBytes(file);
            box->setPlainText(shown);
            editor->cmdSave->click(); // the text, and one more line end
            box->moveCursor(QTextCursor::End);
            QTest::keyClicks(box, "1a2 x.3");
            typed = box->toPlainText().mid(shown.size());
            editor->cmdExit->click(); // what was typed is dropped
        });
        (bitrates ? p.window->mnuVideoRates : p.window->mnuVideoWindowSizes)->trigger();
        QCOMPARE(shown, QString(old).replace("\r\n", "\n"));
        QCOMPARE(kept.toUtf8() + fileBytes(file), old + old + "\r\n");
        QCOMPARE(typed, bitrates ? "12x3" : "1a2 x.3"); // the bitrate editor takes digits and "x" only
        QCOMPARE(entries(bitrates ? p.window->cmbVideoBitrate : p.window->cmbVideoWindow), QString(old).split("\r\n", Qt::SkipEmptyParts));
        QCOMPARE(p.window->optVideoWindowResize->isChecked(), !bitrates); // the window-size list chose anew
        VERIFY_PROMPTS(p.prompts);
    }
};

QTEST_MAIN(tst_Settings)
#include "tst_settings.moc"
