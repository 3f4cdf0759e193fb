// The profile file format without any window: the cipher, Windows-1252, the
// 29-line codec, the plain forms of the values, and the list-file rules of
// the editors.
#include "common/errors.h"
#include "settings/listfiles.h"
#include "settings/profile.h"
#include "settings/windows1252.h"
#include "support/testprogram.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QTest>

using namespace profile;

namespace {

// Plain values that change every setting away from the program's defaults.
Values sampleValues()
{
    Values v;
    v[Signature] = QStringLiteral("vdlkenc");
    const QStringList rest = {"0", "0", "1", "False", "True", "3", "7", "2", "1", "1", "04", "15", "False", "True",
                              "False", "False", "False", "True", "Café crème", "2", "2", "5", "0x0000FF", "255", "35",
                              "/home/user/Bilder/logo.png", "10", "2"};
    for (int i = 0; i < rest.size(); ++i)
        v[size_t(i + 1)] = rest.at(i);
    return v;
}

} // namespace

class TestProfileCodec : public QObject
{
    Q_OBJECT
private slots:
    // Vectors worked out by hand. Key "zephyrcount" = z 122, e 101, p 112,
    // h 104, y 121, r 114, c 99, o 111, u 117, n 110, t 116; the first plain
    // byte pairs with "e", the eleventh with "z".
    void cipherKnownAnswers_data()
    {
        QTest::addColumn<QByteArray>("plain");
        QTest::addColumn<QByteArray>("enciphered");
        // v118+e101=219 d100+p112=212 l108+h104=212 k107+y121=228
        // e101+r114=215 n110+c99=209 c99+o111=210
        QTest::newRow("signature") << QByteArray("vdlkenc") << QByteArray("\xDB\xD4\xD4\xE4\xD7\xD1\xD2");
        // Twelve bytes: the key wraps, "l" meets "z" and "d" meets "e" again.
        // H72+101=173 e101+112=213 l108+104=212 l108+121=229 o111+114=225
        // ,44+99=143 " "32+111=143 W87+117=204 o111+110=221 r114+116=230
        // l108+122=230 d100+101=201
        QTest::newRow("key wraps") << QByteArray("Hello, World")
                                   << QByteArray("\xAD\xD5\xD4\xE5\xE1\x8F\x8F\xCC\xDD\xE6\xE6\xC9");
        // Bytes past 255 wrap: 0xE9 (é) 233+101=334-256=78 "N";
        // 0xFF (ÿ) 255+112=367-256=111 "o".
        QTest::newRow("wraps past 255") << QByteArray("\xE9\xFF") << QByteArray("No");
        QTest::newRow("check state 1") << QByteArray("1") << QByteArray("\x96"); // 49+101=150
        QTest::newRow("empty") << QByteArray() << QByteArray();
    }
    void cipherKnownAnswers()
    {
        QFETCH(QByteArray, plain);
        QFETCH(QByteArray, enciphered);
        const QByteArray key(cipherKey);
        QCOMPARE(EncryptText(plain, key), enciphered);
        QCOMPARE(DecryptText(enciphered, key), plain);
    }

    void cipherEdges()
    {
        // An empty key leaves the text as it is.
        QCOMPARE(EncryptText("abc\xFF", QByteArray()), QByteArray("abc\xFF"));
        QCOMPARE(DecryptText("abc\xFF", QByteArray()), QByteArray("abc\xFF"));
        // Every byte value survives at every key position.
        QByteArray all;
        for (int round = 0; round < 11; ++round)
            for (int b = 0; b < 256; ++b)
                all.append(char(b));
        const QByteArray enciphered = EncryptText(all, cipherKey);
        QCOMPARE(enciphered.size(), all.size());
        QCOMPARE(DecryptText(enciphered, cipherKey), all);
        // Another key pairs the same way: "ab" shifts byte 1 by "b", byte 2 by "a".
        QCOMPARE(EncryptText(QByteArray(3, '\0'), "ab"), QByteArray("bab"));
    }

    void windows1252Table()
    {
        QCOMPARE(windows1252::decode("\x80\x8A\x8C\x91\x92\x93\x94\x96\x97\x99\x9F"),
                 QStringLiteral("€ŠŒ‘’“”–—™Ÿ"));
        QCOMPARE(windows1252::decode("\xA0\xE9\xFF"), QStringLiteral("\u00A0éÿ"));
        // Every byte decodes, and encodes back to itself.
        for (int b = 0; b < 256; ++b) {
            const QByteArray one(1, char(b));
            const QString text = windows1252::decode(one);
            QCOMPARE(text.size(), 1);
            QCOMPARE(windows1252::encode(text).value_or(QByteArray("?")), one);
        }
        QCOMPARE(*windows1252::encode(QStringLiteral("Grüße – “ok” €5")),
                 QByteArray("Gr\xFC\xDF" "e \x96 \x93ok\x94 \x80" "5"));
        // What the code page does not hold.
        QVERIFY(!windows1252::encode(QStringLiteral("日本")).has_value());
        QCOMPARE(windows1252::firstUnencodable(QStringLiteral("abĀc")), 2);
        QCOMPARE(windows1252::firstUnencodable(QStringLiteral("ok \U0001F600")), 3);
        QCOMPARE(windows1252::firstUnencodable(QString(QChar(0x0080))), 0); // C1 control, not the euro sign
        QCOMPARE(windows1252::firstUnencodable(QStringLiteral("plain")), -1);
    }

    void fileLayout()
    {
        const QByteArray file = encodeProfile(sampleValues());
        QVERIFY(file.endsWith("\r\n"));
        QCOMPARE(file.count("\r\n"), 29);
        QCOMPARE(file.count('\n') + file.count('\r'), 58);
        QVERIFY(file.startsWith(QByteArray("\xDB\xD4\xD4\xE4\xD7\xD1\xD2\r\n")));
        // Line 1 is "0" under "e": 48+101=149.
        QCOMPARE(file.mid(9, 3), QByteArray("\x95\r\n"));
        // An empty text gives an empty line.
        Values v = sampleValues();
        v[WatermarkText].clear();
        const QList<QByteArray> lines = encodeProfile(v).split('\n');
        QCOMPARE(lines.at(WatermarkText), QByteArray("\r"));
    }

    void roundTrip()
    {
        const Values v = sampleValues();
        const QStringList lines = decodeProfile(encodeProfile(v));
        QCOMPARE(lines.size(), lineCount);
        for (int i = 0; i < lineCount; ++i)
            QCOMPARE(lines.at(i), v[size_t(i)]);
    }

    void lineEnds()
    {
        const QByteArray key(cipherKey);
        const QByteArray a = EncryptText("vdlkenc", key);
        const QByteArray b = EncryptText("1", key);
        // CR LF, LF and a lone CR all end a line; the final end starts none.
        QCOMPARE(decodeProfile(a + "\r\n" + b + "\n" + b + "\r" + b), (QStringList{"vdlkenc", "1", "1", "1"}));
        QCOMPARE(decodeProfile(a), QStringList{"vdlkenc"});
        QCOMPARE(decodeProfile(a + "\r\n\r\n"), (QStringList{"vdlkenc", ""}));
        QCOMPARE(decodeProfile(QByteArray()), QStringList());
    }

    void refusals_data()
    {
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("reason");
        QTest::addColumn<QString>("message");
        QTest::newRow("not in code page")
            << int(WatermarkText) << QStringLiteral("Ivan 日") << int(Refusal::NotInCodePage)
            << QStringLiteral("PROFILE NOT SAVED! THE WATERMARK TEXT HOLDS \"日\", WHICH A PROFILE CANNOT STORE.");
        QTest::newRow("outside the plane")
            << int(ImagePath) << QStringLiteral("/tmp/\U0001F600.png") << int(Refusal::NotInCodePage)
            << QStringLiteral(
                   "PROFILE NOT SAVED! THE WATERMARK IMAGE PATH HOLDS \"\U0001F600\", WHICH A PROFILE CANNOT STORE.");
        // ¥ (0xA5) at position 1 meets "e": 165+101=266-256=10, a line feed.
        QTest::newRow("enciphers to LF")
            << int(WatermarkText) << QStringLiteral("¥ sale") << int(Refusal::LineBreak)
            << QStringLiteral(
                   "PROFILE NOT SAVED! THE WATERMARK TEXT HOLDS \"¥\" AT POSITION 1, WHERE A PROFILE CANNOT STORE IT.");
        // ¨ (0xA8) at position 1: 168+101=269-256=13, a carriage return.
        QTest::newRow("enciphers to CR") << int(Transparency) << QStringLiteral("¨") << int(Refusal::LineBreak)
                                         << QStringLiteral("PROFILE NOT SAVED! THE WATERMARK TRANSPARENCY HOLDS "
                                                           "\"¨\" AT POSITION 1, WHERE A PROFILE CANNOT STORE IT.");
        // At position 3 the key is "h" (104): 0xA2 (¢) 162+104=266-256=10.
        QTest::newRow("LF further on")
            << int(ImagePath) << QStringLiteral("ab¢") << int(Refusal::LineBreak)
            << QStringLiteral(
                   "PROFILE NOT SAVED! THE WATERMARK IMAGE PATH HOLDS \"¢\" AT POSITION 3, WHERE A PROFILE CANNOT STORE IT.");
    }
    void refusals()
    {
        QFETCH(int, line);
        QFETCH(QString, value);
        QFETCH(int, reason);
        QFETCH(QString, message);
        Values v = sampleValues();
        v[size_t(line)] = value;
        try {
            encodeProfile(v);
            QFAIL("value accepted");
        } catch (const Refusal &r) {
            QCOMPARE(r.line(), line);
            QCOMPARE(int(r.reason()), reason);
            QCOMPARE(r.text(), message);
        }
        // A line break depends on the place: one position later the same
        // character meets another key letter and is stored.
        if (reason == Refusal::LineBreak) {
            v[size_t(line)] = QLatin1Char(' ') + value;
            QCOMPARE(decodeProfile(encodeProfile(v)).at(line), QLatin1Char(' ') + value);
        }
    }

    void plainForms()
    {
        QCOMPARE(checkStateText(2), QStringLiteral("2"));
        QCOMPARE(optionText(true), QStringLiteral("True"));
        QCOMPARE(optionText(false), QStringLiteral("False"));
        QCOMPARE(listIndexText(-1), QStringLiteral("-1"));
        QCOMPARE(colorText(0x008000), QStringLiteral("32768"));
        QCOMPARE(colorText(0xFF8000), QStringLiteral("16744448"));

        QCOMPARE(checkState(QStringLiteral("2")), 2);
        QCOMPARE(checkState(QStringLiteral(" 1 ")), 1);
        QCOMPARE(runtimeErrorOf([] { checkState(QStringLiteral("3")); }), rt::InvalidPropertyValue);
        QCOMPARE(runtimeErrorOf([] { checkState(QStringLiteral("-1")); }), rt::InvalidPropertyValue);
        QCOMPARE(runtimeErrorOf([] { checkState(QStringLiteral("yes")); }), rt::TypeMismatch);
        QCOMPARE(runtimeErrorOf([] { checkState(QStringLiteral("40000")); }), rt::Overflow);

        QVERIFY(optionState(QStringLiteral("True")));
        QVERIFY(!optionState(QStringLiteral("false")));
        QVERIFY(optionState(QStringLiteral("-1")));
        QVERIFY(!optionState(QStringLiteral("0")));
        QCOMPARE(runtimeErrorOf([] { optionState(QString()); }), rt::TypeMismatch);

        QCOMPARE(listIndex(QStringLiteral("-1"), 3), -1);
        QCOMPARE(listIndex(QStringLiteral("2"), 3), 2);
        QCOMPARE(runtimeErrorOf([] { listIndex(QStringLiteral("3"), 3); }), rt::InvalidPropertyValue);
        QCOMPARE(runtimeErrorOf([] { listIndex(QStringLiteral("-2"), 3); }), rt::InvalidPropertyValue);
        QCOMPARE(runtimeErrorOf([] { listIndex(QStringLiteral("0"), 0); }), rt::InvalidPropertyValue);

        QCOMPARE(colorValue(QStringLiteral("32768")), quint32(0x008000));
        QCOMPARE(colorValue(QStringLiteral("16777215")), quint32(0xFFFFFF));
        QCOMPARE(runtimeErrorOf([] { colorValue(QStringLiteral("16777216")); }), rt::InvalidPropertyValue);
        QCOMPARE(runtimeErrorOf([] { colorValue(QStringLiteral("-1")); }), rt::InvalidPropertyValue);
        QCOMPARE(runtimeErrorOf([] { colorValue(QStringLiteral("99999999999")); }), rt::Overflow);
    }

    // Loading reads a file a piece at a time; it splits lines exactly as the
    // whole-file decoder does, up to the last setting.
    void readerSplitsAsTheDecoder_data()
    {
        const QByteArray key(cipherKey);
        const QByteArray a = EncryptText("vdlkenc", key);
        const QByteArray b = EncryptText("1", key);
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("signature alone") << a;
        QTest::newRow("mixed ends") << QByteArray(a + "\r\n" + b + "\n" + b + "\r" + b);
        QTest::newRow("empty lines") << QByteArray(a + "\r\n\r\n\n\r\r\n" + b + "\r");
        QTest::newRow("whole profile") << encodeProfile(sampleValues());
        QByteArray longer = encodeProfile(sampleValues());
        for (int i = 0; i < 10; ++i)
            longer += b + "\n";
        QTest::newRow("lines after the last setting") << longer;
        // A CR that ends the 64 KiB piece and the LF that starts the next one
        // are one line end, not two.
        QByteArray split = a + "\r\n";
        split += QByteArray(64 * 1024 - 1 - split.size(), 'x');
        split += "\r\n" + b + "\r\n";
        QTest::newRow("CR LF across pieces") << split;
        QByteArray lone = a + "\r\n";
        lone += QByteArray(64 * 1024 - 1 - lone.size(), 'x');
        lone += "\r" + b + "\r\n";
        QTest::newRow("lone CR at the end of a piece") << lone;
    }
    void readerSplitsAsTheDecoder()
    {
        QFETCH(QByteArray, bytes);
        QBuffer buffer(&bytes);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        const ProfileFile file = readProfile(buffer);
        QVERIFY(file.valid);
        QCOMPARE(file.lines, decodeProfile(bytes).mid(0, lineCount));
    }

    // What loading reads of files that are no profile, or hold more than one.
    void readerStopsEarly()
    {
        const QByteArray key(cipherKey);
        const QByteArray rest(4 * 1024 * 1024, '\x01'); // no line end anywhere
        auto read = [](QByteArray bytes, qint64 *position) {
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::ReadOnly);
            const ProfileFile file = readProfile(buffer);
            *position = buffer.pos();
            return file;
        };
        qint64 position = 0;

        // A wrong first line: only the piece that ends it is read.
        ProfileFile file = read(EncryptText("vdlkenC", key) + "\r\n" + rest, &position);
        QVERIFY(!file.valid);
        QCOMPARE(file.lines, QStringList{"vdlkenC"});
        QVERIFY(position <= 64 * 1024);
        // A first line without an end that grows past any profile line.
        file = read(rest, &position);
        QVERIFY(!file.valid);
        QVERIFY(file.lines.isEmpty());
        QVERIFY(position <= 2 * 64 * 1024);
        // The same after the signature: the lines before it are kept.
        file = read(EncryptText("vdlkenc", key) + "\n" + EncryptText("1", key) + "\n" + rest, &position);
        QVERIFY(!file.valid);
        QCOMPARE(file.lines, (QStringList{"vdlkenc", "1"}));
        QVERIFY(position <= 2 * 64 * 1024 + 64);
        // A whole profile followed by anything: the anything is not read.
        file = read(encodeProfile(sampleValues()) + rest, &position);
        QVERIFY(file.valid);
        QCOMPARE(file.lines.size(), lineCount);
        QCOMPARE(file.lines.last(), sampleValues()[AudioSamplerate]);
        QVERIFY(position <= 64 * 1024);
    }

    // The longest line a profile may hold, and one byte more.
    void readerLineLimit()
    {
        const QByteArray key(cipherKey);
        const QByteArray head = EncryptText("vdlkenc", key) + "\r\n";
        QByteArray bytes = head + QByteArray(maxLineBytes, 'a') + "\r\n";
        QBuffer fits(&bytes);
        fits.open(QIODevice::ReadOnly);
        ProfileFile file = readProfile(fits);
        QVERIFY(file.valid);
        QCOMPARE(file.lines.size(), 2);
        QCOMPARE(file.lines.at(1).size(), maxLineBytes);

        QByteArray over = head + QByteArray(maxLineBytes + 1, 'a') + "\r\n";
        QBuffer tooLong(&over);
        tooLong.open(QIODevice::ReadOnly);
        file = readProfile(tooLong);
        QVERIFY(!file.valid);
        QCOMPARE(file.lines, QStringList{"vdlkenc"});
        // The longest text a text box takes fits easily.
        Values v = sampleValues();
        v[WatermarkText] = QString(32767, QLatin1Char('w'));
        QByteArray saved = encodeProfile(v);
        QBuffer savedBuffer(&saved);
        savedBuffer.open(QIODevice::ReadOnly);
        QCOMPARE(readProfile(savedBuffer).lines.at(WatermarkText), v[WatermarkText]);
    }

    void readerFileErrors()
    {
        QCOMPARE(runtimeErrorOf([] { readProfileFile(QStringLiteral("/nonexistent-folder-x/p.vlp")); }),
                 int(rt::PathNotFound));
        QTemporaryDir folder;
        QCOMPARE(runtimeErrorOf([&] { readProfileFile(folder.filePath(QStringLiteral("none.vlp"))); }),
                 int(rt::FileNotFound));
        QCOMPARE(runtimeErrorOf([&] { readProfileFile(folder.path()); }), int(rt::PathFileAccessError));
    }

    void listFileText()
    {
        using namespace listfiles;
        QCOMPARE(editorText("300\r\n400\r\n"), QStringLiteral("300\n400\n"));
        QCOMPARE(editorText("a\rb\nc"), QStringLiteral("a\nb\nc"));
        QCOMPARE(editorText("640x480 Größe\r\n"), QStringLiteral("640x480 Größe\n"));
        // Saving writes CR LF line ends and one more CR LF.
        QCOMPARE(savedBytes(QStringLiteral("300\n400\n")), QByteArray("300\r\n400\r\n\r\n"));
        QCOMPARE(savedBytes(QStringLiteral("300")), QByteArray("300\r\n"));
        QCOMPARE(savedBytes(QStringLiteral("a\r\nb")), QByteArray("a\r\nb\r\n"));
        QCOMPARE(savedBytes(QStringLiteral("Größe")), QByteArray("Gr\xC3\xB6\xC3\x9F" "e\r\n"));
        // Unchanged text round-trips apart from the added line end.
        const QByteArray file("320x240 Small\r\n\r\n640x480 VGA\r\n");
        QCOMPARE(savedBytes(editorText(file)), file + "\r\n");

        QVERIFY(!hasEntry(QString()));
        QVERIFY(!hasEntry(QStringLiteral("\n\n\r\n")));
        QVERIFY(hasEntry(QStringLiteral("\n \n")));
        QVERIFY(hasEntry(QStringLiteral("300")));

        for (int code = 0; code < 256; ++code) {
            const bool expected = (code >= '0' && code <= '9') || code == 8 || code == 13 || code == 'x';
            QCOMPARE(bitrateKeyAllowed(code), expected);
        }
        QVERIFY(!bitrateKeyAllowed('X'));
        QVERIFY(!bitrateKeyAllowed(0x0660)); // Arabic-Indic digit zero
    }
};

QTEST_GUILESS_MAIN(TestProfileCodec)
#include "tst_profilecodec.moc"
