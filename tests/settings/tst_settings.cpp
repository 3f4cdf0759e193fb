// Profiles (cipher, file format and its refusals, a reader that never takes
// more than a profile holds), what applying a profile line does to the
// settings, Save and Load Profile in the window (a failed save leaves the
// old file), the profile at start-up and the watermark it draws, and the
// list editors.
#include "common/errors.h"
#include "settings/encodesettings.h"
#include "settings/frmListEditor.h"
#include "settings/windows1252.h"
#include "support/program.h"
#include "watermark/frmWatermarkOptions.h"

#include <QtTest>
#include <QtWidgets>
#include <csignal>
#include <sys/resource.h>

using namespace profile;
using namespace QTest;

namespace {

QString err(int number)
{
    return generalErrorText(RuntimeError(number));
}
QStringList list(const Values &v)
{
    return QStringList(v.begin(), v.end());
}

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

// Closes every window shown modally while it lives (the splash aside) and
// counts them: a window that should not open fails the test at once
// instead of waiting for a user.
struct ModalWatch : QTimer {
    int count = 0;
    ModalWatch()
    {
        connect(this, &QTimer::timeout, [this] {
            QWidget *modal = QApplication::activeModalWidget();
            count += modal && !modal->inherits("frmSplash") && modal->close();
        });
        start(5);
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

private slots:
    void cipher()
    {
        // Byte i (from 1) takes key byte (i mod L) + 1: the first the key's
        // second, the eleventh its first; sums wrap at 256. An empty key
        // changes nothing.
        const QByteArray plain = QByteArray(12, 'A') + "\xff",
                         enciphered = QByteArray::fromHex("A6B1A9BAB3A4B0B6AFB5BBA6") + "o";
        QCOMPARE(EncryptText(plain, cipherKey) + DecryptText(enciphered, cipherKey) + EncryptText("text", ""),
                 enciphered + plain + "text");
    }

    // Profiles are written in Windows-1252, one byte a character; a value
    // the format cannot carry is refused, the first in line order named.
    void codec_data()
    {
        addColumn<QStringList>("changes");
        addColumn<QString>("message");
        const auto refused = [](const char *setting, const char *character, const char *tail) {
            return QString("PROFILE NOT SAVED! THE %1 HOLDS \"%2\"%3 A PROFILE CANNOT STORE")
                .arg(setting, character, tail);
        };
        newRow("Windows-1252") << QStringList{"19=Grüße € ‚ƒ„Š‹ŒŽ ñÿ " + QString(QChar(0x81)),
                                              "26=C:\\Bilder\\Größe.png"}
                               << "";
        newRow("no such character") << QStringList{"19=Smile ☺", "26=x☺"}
                                    << refused("WATERMARK TEXT", "☺", ", WHICH") + ".";

        newRow("enciphers to LF") << QStringList{"11=¥"}
                                  << refused("STILL IMAGE MINUTE", "¥", " AT POSITION 1, WHERE") + " IT.";
        newRow("enciphers to CR") << QStringList{
            "23=abcdefghij“"} << refused("WATERMARK FONT COLOR CODE", "“", " AT POSITION 11, WHERE") + " IT.";
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
            // One byte a character.
            QVERIFY(bytes.contains(EncryptText("Gr\xfc\xdf"
                                               "e \x80",
                                               cipherKey)));
            QCOMPARE(decodeProfile(bytes), lines);
        } catch (const Refusal &r) {
            QTEST(r.message(), "message");
            QCOMPARE(r.line(), changes.first().section('=', 0, 0).toInt());
        }
    }

    void readProfile_data()
    {
        addColumn<QByteArray>("bytes");
        addColumn<bool>("valid");
        addColumn<QStringList>("lines");
        const QByteArray rest(300000, 'a'), head = profileFile({signature}), a = EncryptText("a", cipherKey);
        newRow("wrong signature") << profileFile({"vdlkenc!"}) + rest << false << QStringList{"vdlkenc!"};
        newRow("over-long line") << head + QByteArray(maxLineBytes + 1, 'a') + "\r\n"
                                 << false << QStringList{signature};
        newRow("longest line") << head + EncryptText(QByteArray(maxLineBytes, 'a'), cipherKey) << true
                               << QStringList{signature, QString(maxLineBytes, 'a')};
        newRow("CR, LF, CR LF, none")
            << head + a + "\r" + a + "\n\r\n" + a << true << QStringList{signature, "a", "a", "", "a"};
        newRow("CR and LF in two pieces")
            << head + EncryptText(QByteArray(65536 - head.size() - 1, 'b'), cipherKey) + "\r\n" + a << true
            << QStringList{signature, QString(65526, 'b'), "a"};
        newRow("29 lines at most") << profileFile(start + start) + rest << true << start;
    }
    void readProfile()
    {
        QFETCH(QByteArray, bytes);
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        const ProfileFile file = profile::readProfile(buffer);
        QTEST(file.valid, "valid");
        QTEST(file.lines, "lines");
        // What follows is never read.
        QVERIFY(buffer.pos() <= 2 * 65536);
    }

    // One line ("line=value") applied to the start-up settings: the lines
    // it changes, or the error of a refused value.
    void apply_data()
    {
        addColumn<QString>("line");
        addColumn<QString>("changes");
        newRow("greyed, rounded") << "1= 1.6 "
                                  << "1=2";
        newRow("True clears its group") << "16=True"
                                        << "15=False 16=True";

        newRow("other size: resize") << "6=2"
                                     << "4=False 5=True 6=2";

        newRow("font moves its file") << "20=3"
                                      << "20=3 21=3";
        newRow("two-character boxes") << "25=999"
                                      << "25=99";
        newRow("AV1 and HLS") << "29=2;31=1"
                              << "29=2 31=1";
        newRow("no such quality") << "30=4"
                                  << "error 380";
        newRow("no codec is no choice") << "29=-1"
                                        << "error 380";
    }
    void apply()
    {
        QFETCH(QString, line);
        encodesettings::Settings settings(lists);
        QStringList changes;
        for (const QString &one : line.split(';'))
            if (const int error = runtimeErrorOf(
                    [&] { settings.apply(one.section('=', 0, 0).toInt(), one.section('=', 1)); }))
                changes << "error " + QString::number(error);
        for (int i = 0; i < lineCount; ++i)
            if (settings.values()[i] != start[i])
                changes << QString::number(i) + "=" + settings.values()[i];
        QTEST(changes.join(' '), "changes");
    }

    // Save Profile then Load Profile restores every setting; a value no
    // profile holds is refused, and a failed write leaves the old file.
    void saveThenLoad()
    {
        TestProgram p;
        QVERIFY(p.start());
        const QStringList saved = with(start,
                                       {"1=0", "4=False", "5=True", "6=3", "11=02", "12=15", "13=False",
                                        "14=True", "19=Grüße, 'x': 50%", "20=2", "21=1", "24=789514",
                                        "26=" + picture, "29=1", "30=3", "31=1"});
        const QString first = p.dir.file("first.vlp"), second = p.dir.file("second profile");
        QVERIFY(writeFileBytes(first, profileFile(saved)) && writeFileBytes(second, "old"));
        p.prompts.expectOpenFile(first, "Load Profile").expectSaveFile(second, "Save Profile");
        p.prompts
            .expectMessage(
                "PROFILE NOT SAVED! THE STILL IMAGE SECOND HOLDS \"☺\", WHICH A PROFILE CANNOT STORE.")
            .expectSaveFile(second);
        p.prompts.expectMessage(err(75))
            .expectSaveFile(second)
            .expectMessage("PROFILE SAVED AS " + second)
            .expectOpenFile(second);
        p.window->mnuLoadProfile->trigger();
        p.window->txtFrameSecond->setText("☺");
        // Refused.
        p.window->mnuSaveProfile->trigger();
        p.window->txtFrameSecond->setText("15");
        // No file may grow beyond 100 bytes for a while: writing fails part of the way.
        rlimit normal{};
        getrlimit(RLIMIT_FSIZE, &normal);
        const rlimit small{100, normal.rlim_max};
        signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &small);
        p.window->mnuSaveProfile->trigger();
        setrlimit(RLIMIT_FSIZE, &normal);
        // The old file whole, nothing left behind.
        QCOMPARE(QDir(p.dir.path()).entryList({"second*"}, QDir::Files | QDir::Hidden) << fileBytes(second),
                 QStringList({"second profile", "old"}));
        p.window->mnuSaveProfile->trigger();
        // Under the very name typed.
        QCOMPARE(fileBytes(second), profileFile(saved));
        p.forms.settings().apply(FLV, "1");
        p.window->mnuLoadProfile->trigger();
        QCOMPARE(list(p.forms.settings().values()), saved);
        VERIFY_PROMPTS(p.prompts);
    }

    // A profile of 28 settings reads as VP8, "Standard" and no HLS.
    void shortProfile()
    {
        encodesettings::Settings settings(lists);
        settings.applyLines(with(start, {"29=2", "30=0", "31=1"}));
        settings.applyLines(start.mid(0, 29));
        QCOMPARE(list(settings.values()), start);
    }

    // The profile at start-up (quotes taken off in pairs only; a bad path is
    // reported and the program stays open) or from Load Profile, and the
    // watermark it draws: no window opens while a profile is applied; the
    // filter text is then built as the dialog's Save builds it; a refusal
    // shows Save's message and clears the box, the rest of the profile
    // standing; a bad line ends the applying, the lines before it standing.
    void loadedProfile_data()
    {
        // Empty: Load Profile once started, after the start settings were saved.
        addColumn<QString>("argument");
        addColumn<QStringList>("changes");
        addColumn<QString>("message");
        // A piece of the filter text; empty: none.
        addColumn<QString>("filter");
        const QString path = dir.file("loaded.vlp");
        const QStringList text{"9=1", "15=False", "18=True", "19=Hi: 'x'", "22=6"},
            image{"9=1", "13=False", "14=True"};
        newRow("start-up, in quotes") << "\"" + path + "\"" << text << ""
                                      << "fontsize=40:";
        newRow("picture") << "" << image + QStringList{"26=" + picture} << ""
                          << "movie='logo.png'";

        newRow("bad line") << "" << QStringList{"9=1", "19=Up", "28=x"} << err(13) << "text='Up'";
    }
    void loadedProfile()
    {
        QFETCH(QString, argument);
        QFETCH(QStringList, changes);
        QFETCH(QString, message);
        QFETCH(QString, filter);
        QStringList loaded = with(start, changes);
        writeFileBytes(dir.file("loaded.vlp"), profileFile(loaded));
        ModalWatch watch;
        TestProgram p;
        p.forms.arguments = QStringList{argument};
        if (!message.isEmpty())
            p.prompts.expectMessage(message);
        QVERIFY(p.start());
        if (argument.isEmpty()) {
            // The start settings, saved: the box is ticked.
            p.forms.watermarkOptions().cmdSave_Click();
            p.window->LoadProfile(dir.file("loaded.vlp"));
        }
        const encodesettings::Settings &settings = p.forms.settings();
        const QString drawn = settings.text(settings::WatermarkFilter);
        QCOMPARE(watch.count, 0);
        QCOMPARE(list(settings.values()),
                 with(loaded, {filter.isEmpty() ? "9=0" : "9=1", "28=" + start[28]}));
        QCOMPARE(drawn.contains(filter) ? filter : drawn, filter);
        // The picture copy.
        QCOMPARE(QFile::exists(p.dir.file("logo.png")), filter.startsWith("movie"));
        if (!filter.isEmpty()) {
            p.forms.watermarkOptions().cmdSave_Click();
            // As the dialog's Save builds it.
            QCOMPARE(settings.text(settings::WatermarkFilter), drawn);
        }
        VERIFY_PROMPTS(p.prompts);
    }

    // The bitrate editor: a text without entries is nothing to save; the
    // text is saved with one more line end; it takes digits and "x" only;
    // what was typed is dropped and the list shows the file again.
    void listEditor()
    {
        TestProgram p;
        QVERIFY(p.start());
        const QString file = p.dir.file("config/configvbr.txt");
        writeFileBytes(file, "300\r\n400\r\n");
        const QString ask = "DO YOU WANT TO SAVE?";
        p.prompts.expectMessage(ask, vbYes)
            .expectMessage("NOTHING TO SAVE!")
            .expectMessage(ask, vbYes)
            .expectMessage("DATA SAVED.");
        QStringList seen;
        QTimer::singleShot(0, [&] {
            auto *editor = qobject_cast<frmListEditor *>(QApplication::activeModalWidget());
            QPlainTextEdit *box = editor->txtList;
            seen << editor->windowTitle() << box->toPlainText();
            box->setPlainText("\n\n");
            editor->cmdSave->click();
            box->setPlainText(seen[1]);
            editor->cmdSave->click();
            box->moveCursor(QTextCursor::End);
            keyClicks(box, "1a2 x.3");
            seen << box->toPlainText().mid(seen[1].size()) << fileBytes(file);
            editor->cmdExit->click();
        });
        p.window->mnuVideoRates->trigger();
        QCOMPARE(seen << entries(p.window->cmbVideoBitrate),
                 QStringList({"Video Bitrates", "300\n400\n", "12x3", "300\r\n400\r\n\r\n", "300", "400"}));
        VERIFY_PROMPTS(p.prompts);
    }
};

QTEST_MAIN(tst_Settings)
#include "tst_settings.moc"
