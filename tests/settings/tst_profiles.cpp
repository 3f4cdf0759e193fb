// Saving and loading profiles through the main window: the settings of the
// main window and of the watermark dialog, the control reactions that
// loading runs, and every way a profile can be wrong.
#include "app/frmMain.h"
#include "common/mdlMain.h"
#include "common/ui_controls.h"
#include "app/ui_forms.h"
#include "settings/profile.h"
#include "support/scriptedprompts.h"
#include "support/testappdir.h"
#include "support/testprogram.h"
#include "watermark/frmWatermarkOptions.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <malloc.h>

using namespace profile;

namespace {

const QString generalError53 = QStringLiteral("ERROR# 53 FILE NOT FOUND. PLEASE CONTACT SUPPORT.");
const QString generalError380 = QStringLiteral("ERROR# 380 INVALID PROPERTY VALUE. PLEASE CONTACT SUPPORT.");
const QString notAProfile = QStringLiteral("NOT A VALID VIDLARK WEB VIDEO ENCODER PROFILE!");

struct Program : TestProgram {
    explicit Program(IPrompts *other = nullptr) : TestProgram(TestAppDir::RealTools, true, other) {}
    frmMain &w() { return *window; }
    frmWatermarkOptions &wm() { return forms.watermarkOptions(); }
};

QString check(QCheckBox *box) { return QString::number(ui::checkValue(box)); }
QString option(QAbstractButton *button) { return button->isChecked() ? QStringLiteral("True") : QStringLiteral("False"); }
QString index(QComboBox *list) { return QString::number(list->currentIndex()); }

// The 28 settings as the controls show them, in profile order (index 0 is
// the signature, so line numbers match).
QStringList settingsOf(Program &p)
{
    frmMain &w = p.w();
    frmWatermarkOptions &wm = p.wm();
    return {QStringLiteral("vdlkenc"),
            check(w.chkFLV),
            check(w.chkMp4),
            check(w.chkWebm),
            option(w.optVideoWindowOriginal),
            option(w.optVideoWindowResize),
            index(w.cmbVideoWindow),
            index(w.cmbVideoBitrate),
            index(w.cmbVideoFrameRate),
            check(w.chkWatermark),
            check(w.chkGrabStillImage),
            w.txtFrameMinute->text(),
            w.txtFrameSecond->text(),
            option(wm.optTextWM),
            option(wm.optImageWM),
            option(wm.optTopLeft),
            option(wm.optTopRight),
            option(wm.optBottomLeft),
            option(wm.optBottomRight),
            wm.txtWatermark->text(),
            index(wm.cmbWMFontName),
            index(wm.cmbWMFontFileName),
            index(wm.cmbWMFontSize),
            wm.txtWMFontColor->text(),
            QString::number(qint32(wm.txtWMFontColor->foreColor())),
            wm.txtWMAlpha->text(),
            wm.lblWMImagePath->caption(),
            index(w.cmbAudioBitrate),
            index(w.cmbAudioSamplerate)};
}

QByteArray profileBytes(const QStringList &settings)
{
    Values v;
    for (int i = 0; i < lineCount; ++i)
        v[size_t(i)] = settings.at(i);
    return encodeProfile(v);
}

// Lines enciphered one by one, each ended by CR LF.
QByteArray enciphered(const QStringList &plain)
{
    QByteArray out;
    for (const QString &line : plain)
        out += EncryptText(line.toLatin1(), cipherKey) + "\r\n";
    return out;
}

// The process's peak resident memory in KiB.
qint64 peakMemory()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return -1;
}

// Lowers the peak to what is resident now, so that a later reading shows
// only what came after; returns it. Memory freed earlier is handed back
// first, or a later allocation could reuse it without raising the peak.
qint64 resetPeakMemory()
{
    malloc_trim(0);
    {
        QFile clear(QStringLiteral("/proc/self/clear_refs"));
        if (clear.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            clear.write("5");
    }
    return peakMemory();
}

// Answers the next modal dialog (the watermark dialog that a changed
// chkWatermark opens) with the given action; counts how often it came.
void onModal(int *shown, std::function<void(QDialog *)> action)
{
    auto *timer = new QTimer;
    timer->setInterval(10);
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, action, tries, shown] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog && ++*tries < 500)
            return;
        timer->stop();
        timer->deleteLater();
        if (dialog) {
            ++*shown;
            action(dialog);
        }
    });
    timer->start();
}

// Prompts that accept whatever comes, for the fuzz loop.
class AnyPrompts : public IPrompts
{
public:
    QStringList messages;
    int message(MsgIcon, const QString &, const QString &text, MsgButtons) override
    {
        messages << text;
        return mdlMain::vbNo;
    }
    std::optional<QString> openFile(const QString &, const QString &, bool) override { return std::nullopt; }
    std::optional<QString> saveFile(const QString &, const QString &, bool) override { return std::nullopt; }
    QString browseForFolder(const QString &) override { return QString(); }
    quint32 chooseColor(quint32 start) override { return start; }
    void openUrl(const QString &) override {}
    void showInFileManager(const QString &) override {}
};

} // namespace

class TestProfiles : public QObject
{
    Q_OBJECT
private slots:
    void init() { mdlMain::blnForceExit = false; }

    // Every setting changed, saved, and loaded into a program fresh from its
    // start. The corners are one group, so each row picks another one.
    void saveThenLoadRestoresEverySetting_data()
    {
        QTest::addColumn<int>("corner");
        QTest::newRow("bottom right") << int(BottomRight);
        QTest::newRow("top right") << int(TopRight);
        QTest::newRow("bottom left") << int(BottomLeft);
    }
    void saveThenLoadRestoresEverySetting()
    {
        QFETCH(int, corner);
        QTemporaryDir folder;
        // No extension is added to the name the user gives.
        const QString path = folder.path() + QStringLiteral("/my profile");

        Program first;
        QVERIFY(first.window->Form_Load());
        const QStringList defaults = settingsOf(first);
        frmMain &w = first.w();
        frmWatermarkOptions &wm = first.wm();
        // A filter text exists, so ticking the box opens no dialog here.
        wm.txtWMString->setText(QStringLiteral("drawtext=text=x"));
        ui::setCheckValue(w.chkFLV, 0);
        ui::setCheckValue(w.chkMp4, 2);
        ui::setCheckValue(w.chkWebm, 1);
        w.cmbVideoWindow->setCurrentIndex(3);
        w.optVideoWindowResize->setChecked(true);
        w.cmbVideoBitrate->setCurrentIndex(2);
        w.cmbVideoFrameRate->setCurrentIndex(7);
        ui::setCheckValue(w.chkWatermark, 1);
        ui::setCheckValue(w.chkGrabStillImage, 1);
        w.txtFrameMinute->setText(QStringLiteral("04"));
        w.txtFrameSecond->setText(QStringLiteral("15"));
        wm.optImageWM->setChecked(true);
        wm.optTopRight->setChecked(corner == TopRight);
        wm.optBottomLeft->setChecked(corner == BottomLeft);
        wm.optBottomRight->setChecked(corner == BottomRight);
        wm.txtWatermark->setText(QStringLiteral("Café crème"));
        wm.cmbWMFontName->setCurrentIndex(2);
        wm.cmbWMFontFileName->setCurrentIndex(3); // apart from the name, to see line 21 applied after 20
        wm.cmbWMFontSize->setCurrentIndex(5);
        wm.txtWMFontColor->setText(QStringLiteral("0x0000FF"));
        wm.txtWMFontColor->setForeColor(0xFF0000);
        wm.txtWMAlpha->setText(QStringLiteral("35"));
        wm.lblWMImagePath->setCaption(QStringLiteral("/srv/Bilder/logo ü.png"));
        w.cmbAudioBitrate->setCurrentIndex(10);
        w.cmbAudioSamplerate->setCurrentIndex(2);
        const QStringList saved = settingsOf(first);
        for (int line = 1; line < lineCount; ++line) {
            if ((line == TopRight || line == BottomLeft || line == BottomRight) && line != corner)
                continue;
            QVERIFY2(saved.at(line) != defaults.at(line), qPrintable(settingName(line)));
        }

        first.prompts.expectSaveFile(path, QStringLiteral("Save Profile"))
            .expectMessage(QStringLiteral("PROFILE SAVED AS ") + path);
        w.mnuSaveProfile->trigger();
        QCOMPARE(first.prompts.records().at(0).text, QStringLiteral("Vidlark Web Video Encoder Profile|*.vlp"));
        VERIFY_PROMPTS(first.prompts);
        QVERIFY(QFile::exists(path));
        QVERIFY(!QFile::exists(path + QStringLiteral(".vlp")));
        const QByteArray bytes = fileBytes(path);
        QCOMPARE(bytes, profileBytes(saved));
        QCOMPARE(bytes.count("\r\n"), 29);

        Program second;
        QVERIFY(second.window->Form_Load());
        QCOMPARE(settingsOf(second), defaults);
        // Line 9 ticks the box, but no window opens half-way through the
        // load; the picture of line 26 is not on this machine, so the box
        // goes clear again with Save's message.
        int shown = 0;
        onModal(&shown, [](QDialog *dialog) { dialog->close(); });
        second.prompts.expectOpenFile(path, QStringLiteral("Load Profile"))
            .expectMessage(QStringLiteral("WATERMARK IMAGE COULD NOT BE COPIED! PATH NOT FOUND."));
        second.w().mnuLoadProfile->trigger();
        QCOMPARE(shown, 0);
        QStringList expected = saved;
        expected[Watermark] = QStringLiteral("0");
        QCOMPARE(settingsOf(second), expected);
        // The reactions ran: the preview took the colour and the text, the
        // image frame is the usable one, the path label's tooltip follows.
        QCOMPARE(ui::foreColor(second.wm().lblWMPreview), quint32(0xFF0000));
        QCOMPARE(second.wm().lblWMPreview->text(), QStringLiteral("Café crème"));
        QVERIFY(second.wm().Frame3->isEnabled());
        QVERIFY(!second.wm().Frame2->isEnabled());
        QCOMPARE(second.wm().lblWMImagePath->toolTip(), QStringLiteral(" /srv/Bilder/logo ü.png "));
        QCOMPARE(second.wm().txtWMString->text(), QString());
        QCOMPARE(second.w().intProfileLine, 29);
        VERIFY_PROMPTS(second.prompts);
    }

    // A profile's watermark is the one drawn: its filter text is built from
    // the loaded settings as Save builds it, with no window half-way; the
    // one saved earlier in this run gives way.
    void profileWatermarkIsTheOneBuilt_data()
    {
        QTest::addColumn<bool>("atStartUp");
        QTest::addColumn<bool>("savedBefore");
        QTest::newRow("start-up profile") << true << false;
        QTest::newRow("Load Profile after another was saved") << false << true;
    }
    void profileWatermarkIsTheOneBuilt()
    {
        QFETCH(bool, atStartUp);
        QFETCH(bool, savedBefore);
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("p.vlp"));
        QStringList s;
        {
            Program maker;
            QVERIFY(maker.window->Form_Load());
            s = settingsOf(maker);
        }
        s[Watermark] = QStringLiteral("1");
        s[WatermarkText] = QStringLiteral("From the profile");
        s[TopLeft] = QStringLiteral("False");
        s[BottomRight] = QStringLiteral("True");
        QVERIFY(writeFileBytes(path, profileBytes(s)));

        Program p;
        int shown = 0;
        onModal(&shown, [](QDialog *dialog) { dialog->close(); });
        if (atStartUp)
            p.forms.arguments = {path};
        QVERIFY(p.window->Form_Load());
        if (savedBefore) {
            p.wm().txtWatermark->setText(QStringLiteral("Saved before"));
            p.wm().cmdSave->click();
            QVERIFY(p.wm().txtWMString->text().contains(QStringLiteral("Saved before")));
            p.w().LoadProfile(path);
        }
        QCOMPARE(shown, 0);
        QCOMPARE(settingsOf(p), s);
        const QString built = p.wm().txtWMString->text();
        QVERIFY(built.contains(QStringLiteral("text='From the profile'")));
        QVERIFY(built.contains(QStringLiteral("x=(W-text_w)-8:y=(H-text_h)-8")));
        // Byte for byte what the dialog's Save builds from the same settings.
        p.wm().txtWMString->clear();
        p.wm().cmdSave->click();
        QCOMPARE(p.wm().txtWMString->text(), built);
        VERIFY_PROMPTS(p.prompts);
    }

    // Line 6 comes after lines 4 and 5: a changed window size selects
    // "Resize to (W x H)" whatever line 4 said.
    void windowSizeAfterTheOptions()
    {
        Program p;
        QVERIFY(p.window->Form_Load());
        QVERIFY(p.w().optVideoWindowOriginal->isChecked());
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("p.vlp"));

        QStringList s = settingsOf(p);
        s[KeepWindowSize] = QStringLiteral("True");
        s[ResizeWindow] = QStringLiteral("False");
        s[WindowSize] = QStringLiteral("3");
        QVERIFY(writeFileBytes(path, profileBytes(s)));
        p.w().LoadProfile(path);
        QVERIFY(p.w().optVideoWindowResize->isChecked());
        QVERIFY(!p.w().optVideoWindowOriginal->isChecked());
        QCOMPARE(p.w().cmbVideoWindow->currentIndex(), 3);

        // The same index again changes nothing, so "Keep" stays.
        QVERIFY(writeFileBytes(path, profileBytes(s)));
        p.w().LoadProfile(path);
        QVERIFY(p.w().optVideoWindowOriginal->isChecked());
        QVERIFY(!p.w().optVideoWindowResize->isChecked());

        // Both options False clears the pair; -1 clears the list.
        s[KeepWindowSize] = QStringLiteral("0");
        s[WindowSize] = QStringLiteral("-1");
        QVERIFY(writeFileBytes(path, profileBytes(s)));
        p.w().LoadProfile(path);
        QVERIFY(!p.w().optVideoWindowOriginal->isChecked());
        QVERIFY(!p.w().optVideoWindowResize->isChecked());
        QCOMPARE(p.w().cmbVideoWindow->currentIndex(), -1);
        VERIFY_PROMPTS(p.prompts);
    }

    // A profile as the Windows program writes it, made byte by byte: the
    // watermark text "Café" is 43 61 66 E9 in Windows-1252, enciphered
    // C67+e101=168, a97+p112=209, f102+h104=206, é233+y121=354-256=98;
    // the image path "/é": /47+e101=148, é233+p112=345-256=89.
    void accentedProfileFromWindows()
    {
        Program p;
        QVERIFY(p.window->Form_Load());
        QByteArray file("\xDB\xD4\xD4\xE4\xD7\xD1\xD2\r\n"); // "vdlkenc"
        file += enciphered({"1", "1", "0", "True", "False", "0", "4", "4", "0", "0", "00", "30", "True", "False",
                            "True", "False", "False", "False"});
        file += QByteArray("\xA8\xD1\xCE\x62\r\n");           // line 19, "Café"
        file += enciphered({"0", "0", "2", "0x008000", "32768", "60"});
        file += QByteArray("\x94\x59\r\n");                   // line 26, "/é"
        file += enciphered({"8", "1"});
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("windows.vlp"));
        QVERIFY(writeFileBytes(path, file));
        p.w().LoadProfile(path);
        QCOMPARE(p.wm().txtWatermark->text(), QStringLiteral("Café"));
        QCOMPARE(p.wm().lblWMPreview->text(), QStringLiteral("Café"));
        QCOMPARE(p.wm().lblWMImagePath->caption(), QStringLiteral("/é"));
        QCOMPARE(p.wm().lblWMImagePath->toolTip(), QStringLiteral(" /é "));

        // And what we write is what Windows reads: the same bytes back.
        p.prompts.expectSaveFile(path).expectMessage(QStringLiteral("PROFILE SAVED AS ") + path);
        p.w().mnuSaveProfile_Click();
        QCOMPARE(fileBytes(path), file);
        VERIFY_PROMPTS(p.prompts);
    }

    // Values the format cannot carry are refused with the setting named;
    // the existing file is not touched.
    void refusedValues_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("message");
        QTest::newRow("not Windows-1252") << QStringLiteral("Hello 世界") << QString()
                                          << QStringLiteral("PROFILE NOT SAVED! THE WATERMARK TEXT HOLDS \"世\", "
                                                            "WHICH A PROFILE CANNOT STORE.");
        // ¥ (0xA5) first: 165+e101=266-256=10, a line feed.
        QTest::newRow("would be LF") << QStringLiteral("¥") << QString()
                                     << QStringLiteral("PROFILE NOT SAVED! THE WATERMARK TEXT HOLDS \"¥\" AT "
                                                       "POSITION 1, WHERE A PROFILE CANNOT STORE IT.");
        // ¨ (0xA8) first: 168+101=269-256=13, a carriage return.
        QTest::newRow("would be CR") << QStringLiteral("ok") << QStringLiteral("¨/logo.png")
                                     << QStringLiteral("PROFILE NOT SAVED! THE WATERMARK IMAGE PATH HOLDS \"¨\" AT "
                                                       "POSITION 1, WHERE A PROFILE CANNOT STORE IT.");
    }
    void refusedValues()
    {
        QFETCH(QString, text);
        QFETCH(QString, path);
        QFETCH(QString, message);
        Program p;
        QVERIFY(p.window->Form_Load());
        p.wm().txtWatermark->setText(text);
        p.wm().lblWMImagePath->setCaption(path);
        QTemporaryDir folder;
        const QString file = folder.filePath(QStringLiteral("old.vlp"));
        QVERIFY(writeFileBytes(file, "old profile\r\n"));
        p.prompts.expectSaveFile(file).expectMessage(message);
        p.w().mnuSaveProfile->trigger();
        QCOMPARE(fileBytes(file), QByteArray("old profile\r\n"));
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{"old.vlp"});
        // A new name is not created either.
        const QString fresh = folder.filePath(QStringLiteral("new.vlp"));
        p.prompts.expectSaveFile(fresh).expectMessage(message);
        p.w().mnuSaveProfile->trigger();
        QVERIFY(!QFile::exists(fresh));
        VERIFY_PROMPTS(p.prompts);
    }

    void saveFailures()
    {
        Program p;
        QVERIFY(p.window->Form_Load());
        QTemporaryDir folder;
        // Cancel: nothing at all.
        p.prompts.expectSaveFile(std::nullopt);
        p.w().mnuSaveProfile->trigger();
        // A folder that does not exist.
        p.prompts.expectSaveFile(folder.filePath(QStringLiteral("nowhere/p.vlp")))
            .expectMessage(QStringLiteral("ERROR# 76 PATH NOT FOUND. PLEASE CONTACT SUPPORT."));
        p.w().mnuSaveProfile->trigger();
        // A folder replaced by a file.
        QVERIFY(writeFileBytes(folder.filePath(QStringLiteral("plain")), "x"));
        p.prompts.expectSaveFile(folder.filePath(QStringLiteral("plain/p.vlp"))).expectMessage(QString());
        p.w().mnuSaveProfile->trigger();
        QVERIFY(p.prompts.messages().last().startsWith(QStringLiteral("ERROR# ")));
        QVERIFY(!p.prompts.messages().join(QLatin1Char('|')).contains(QStringLiteral("PROFILE SAVED")));
        VERIFY_PROMPTS(p.prompts);
    }

    void partialAndForeignFiles()
    {
        Program p;
        QVERIFY(p.window->Form_Load());
        const QStringList start = settingsOf(p);
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("p.vlp"));

        // Fewer lines: those present apply.
        QVERIFY(writeFileBytes(path, enciphered({"vdlkenc", "0", "0", "1"})));
        p.w().LoadProfile(path);
        QStringList expected = start;
        expected[FLV] = QStringLiteral("0");
        expected[Mp4] = QStringLiteral("0");
        expected[Webm] = QStringLiteral("1");
        QCOMPARE(settingsOf(p), expected);

        // Lines after line 28 are ignored, whatever they hold.
        QStringList full = start;
        full[AudioSamplerate] = QStringLiteral("0");
        QVERIFY(writeFileBytes(path, profileBytes(full) + enciphered({"garbage", "99", "-5"}) + "\xFF\xFF\r\n"));
        p.w().LoadProfile(path);
        QCOMPARE(settingsOf(p), full);

        // The wrong signature: the message, and nothing applied.
        QStringList other = start;
        other[Webm] = QStringLiteral("0");
        other[Signature] = QStringLiteral("vdlkenC");
        QVERIFY(writeFileBytes(path, profileBytes(other)));
        p.prompts.expectMessage(notAProfile);
        p.w().LoadProfile(path);
        QCOMPARE(settingsOf(p), full);

        // Any other text file.
        QVERIFY(writeFileBytes(path, "vdlkenc\r\n1\r\n"));
        p.prompts.expectMessage(notAProfile);
        p.w().LoadProfile(path);
        // An empty file: nothing, and no message.
        QVERIFY(writeFileBytes(path, QByteArray()));
        p.w().LoadProfile(path);
        // A first line that is empty is no signature.
        QVERIFY(writeFileBytes(path, "\r\n"));
        p.prompts.expectMessage(notAProfile);
        p.w().LoadProfile(path);
        QCOMPARE(settingsOf(p), full);
        VERIFY_PROMPTS(p.prompts);
    }

    // A video or other large file picked by mistake: only its beginning is
    // read, so the answer comes at once and memory stays flat. The files are
    // sparse, so they take no disk space.
    void largeFilePickedByMistake_data()
    {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<bool>("profile");
        QTest::newRow("no line end at all") << QByteArray() << false;
        QTest::newRow("short foreign first line") << QByteArray("ftypisom\r\n") << false;
        QTest::newRow("signature, then no line end")
            << QByteArray(EncryptText("vdlkenc", cipherKey) + "\r\n" + EncryptText("0", cipherKey) + "\r\n")
            << false;
        QTest::newRow("whole profile, then anything") << QByteArray("profile") << true;
    }
    void largeFilePickedByMistake()
    {
        QFETCH(QByteArray, head);
        QFETCH(bool, profile);
        Program p;
        QVERIFY(p.window->Form_Load());
        const QStringList start = settingsOf(p);
        QStringList wanted = start;
        wanted[FLV] = QStringLiteral("0");
        wanted[AudioSamplerate] = QStringLiteral("0");
        if (profile)
            head = profileBytes(wanted);
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("holiday.mp4"));
        QVERIFY(writeFileBytes(path, head));
        {
            QFile grow(path);
            QVERIFY(grow.resize(200LL * 1024 * 1024));
        }
        if (!profile)
            p.prompts.expectMessage(notAProfile);
        const qint64 before = resetPeakMemory();
        QVERIFY(before > 0);
        p.w().LoadProfile(path);
        const qint64 grown = peakMemory() - before;
        QVERIFY2(grown < 8 * 1024, qPrintable(QStringLiteral("peak memory grew by %1 KiB").arg(grown)));
        QCOMPARE(settingsOf(p), profile ? wanted : start);
        VERIFY_PROMPTS(p.prompts);
    }

    // A bad value stops loading at its line with the general error report;
    // the lines before it stay applied.
    void badValueStopsThere_data()
    {
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("message");
        QTest::newRow("bitrate index beyond the list") << int(VideoBitrate) << "11" << generalError380;
        QTest::newRow("check state 3") << int(GrabStillImage) << "3" << generalError380;
        QTest::newRow("option not a truth value")
            << int(TopRight) << "maybe" << QStringLiteral("ERROR# 13 TYPE MISMATCH. PLEASE CONTACT SUPPORT.");
        QTest::newRow("font size index beyond") << int(FontSize) << "8" << generalError380;
        QTest::newRow("colour out of range") << int(FontColor) << "-1" << generalError380;
        QTest::newRow("index overflows") << int(AudioBitrate) << "70000"
                                         << QStringLiteral("ERROR# 6 OVERFLOW. PLEASE CONTACT SUPPORT.");
    }
    void badValueStopsThere()
    {
        QFETCH(int, line);
        QFETCH(QString, value);
        QFETCH(QString, message);
        Program p;
        // Ten bitrates: index 11 lies beyond today's list.
        p.dir.writeFile(QStringLiteral("config/configvbr.txt"), "1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9\r\n10\r\n");
        QVERIFY(p.window->Form_Load());
        const QStringList start = settingsOf(p);
        // Every line differs from the start, so we can see where loading stopped.
        QStringList s = start;
        s[FLV] = QStringLiteral("0");
        s[VideoFrameRate] = QStringLiteral("1");
        s[StillMinute] = QStringLiteral("07");
        s[TextWatermark] = QStringLiteral("False");
        s[WatermarkText] = QStringLiteral("Zeile");
        s[FontSize] = QStringLiteral("1");
        s[Transparency] = QStringLiteral("12");
        s[AudioBitrate] = QStringLiteral("1");
        s[AudioSamplerate] = QStringLiteral("0");
        s[line] = value;
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("p.vlp"));
        QVERIFY(writeFileBytes(path, profileBytes(s)));
        p.prompts.expectMessage(message);
        p.w().LoadProfile(path);
        QCOMPARE(p.w().intProfileLine, line);
        const QStringList now = settingsOf(p);
        for (int i = 1; i < lineCount; ++i) {
            if (i < line)
                QCOMPARE(now.at(i), s.at(i));
            else if (i > line)
                QCOMPARE(now.at(i), start.at(i));
        }
        QCOMPARE(p.ended, 0);
        VERIFY_PROMPTS(p.prompts);
    }

    void loadDialogAndMissingFile()
    {
        Program p;
        QVERIFY(p.window->Form_Load());
        const QStringList start = settingsOf(p);
        p.prompts.expectOpenFile(std::nullopt, QStringLiteral("Load Profile"));
        p.w().mnuLoadProfile->trigger();
        p.prompts.expectOpenFile(p.dir.file(QStringLiteral("none.vlp"))).expectMessage(generalError53);
        p.w().mnuLoadProfile->trigger();
        // A folder is no profile either.
        p.prompts.expectMessage(QString());
        p.w().LoadProfile(p.dir.path());
        QVERIFY(p.prompts.messages().last().startsWith(QStringLiteral("ERROR# ")));
        QCOMPARE(settingsOf(p), start);
        QCOMPARE(p.ended, 0);
        VERIFY_PROMPTS(p.prompts);
    }

    // Random lines after a valid signature never crash the program; they
    // end at most in one general error report each.
    void fuzz()
    {
        AnyPrompts prompts;
        Program p(&prompts);
        QVERIFY(p.window->Form_Load());
        p.wm().txtWMString->setText(QStringLiteral("drawtext=text=x")); // no dialog from line 9
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("fuzz.vlp"));
        QRandomGenerator random(7);
        const QStringList likely = {"0", "1", "2", "-1", "3", "True", "False", "", "x", "65536", "1e3", " 2 "};
        for (int round = 0; round < 300; ++round) {
            QByteArray bytes;
            if (round % 4 != 0)
                bytes = EncryptText("vdlkenc", cipherKey) + "\r\n";
            const int lines = random.bounded(40);
            for (int i = 0; i < lines; ++i) {
                if (random.bounded(2)) {
                    bytes += EncryptText(likely.at(random.bounded(likely.size())).toLatin1(), cipherKey);
                } else {
                    for (int n = random.bounded(12); n > 0; --n)
                        bytes += char(random.bounded(256));
                }
                bytes += random.bounded(3) ? "\r\n" : "\n";
            }
            QVERIFY(writeFileBytes(path, bytes));
            const int before = int(prompts.messages.size());
            p.w().LoadProfile(path);
            QVERIFY(prompts.messages.size() - before <= 1);
            for (qsizetype m = before; m < prompts.messages.size(); ++m) {
                const QString &text = prompts.messages.at(m);
                QVERIFY2(text == notAProfile || text.startsWith(QStringLiteral("ERROR# ")), qPrintable(text));
            }
        }
        QCOMPARE(p.ended, 0);
        QVERIFY(p.w().isVisible());
        // Whatever the controls hold now can be saved or refused, never half written.
        QVERIFY(p.forms.watermarkOptionsLoaded());
    }
};

QTEST_MAIN(TestProfiles)
#include "tst_profiles.moc"
