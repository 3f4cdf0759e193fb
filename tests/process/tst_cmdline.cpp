// Splitting command texts into arguments and quoting arguments for them.
#include "common/cmdline.h"

#include <QRandomGenerator>
#include <QTest>

using namespace cmdline;

class TestCmdline : public QObject
{
    Q_OBJECT
private slots:
    void split_data();
    void split();
    void quote_data();
    void quote();
    void quoteIfNeeded_data();
    void quoteIfNeeded();
    void hostilePathsRoundTrip_data();
    void hostilePathsRoundTrip();
    void randomRoundTrip();
};

void TestCmdline::split_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("args");
    const auto L = [](std::initializer_list<const char *> list) {
        QStringList out;
        for (const char *s : list)
            out << QString::fromUtf8(s);
        return out;
    };
    QTest::newRow("empty") << "" << QStringList();
    QTest::newRow("only blanks") << " \t  " << QStringList();
    QTest::newRow("words") << "a b c" << L({"a", "b", "c"});
    QTest::newRow("runs of blanks") << "  a \t\t b  " << L({"a", "b"});
    QTest::newRow("tab separates") << "a\tb" << L({"a", "b"});
    QTest::newRow("other whitespace is not a blank") << "a\nb\rc\vd" << L({"a\nb\rc\vd"});
    QTest::newRow("quoted blank") << R"("a b" c)" << L({"a b", "c"});
    QTest::newRow("quotes dropped mid-word") << R"(ab"c d"e)" << L({"abc de"});
    QTest::newRow("empty quotes give an empty argument") << R"(a "" b)" << L({"a", "", "b"});
    QTest::newRow("lone empty quotes") << R"("")" << L({""});
    QTest::newRow("unterminated quote runs to the end") << R"(a "b c )" << L({"a", "b c "});
    QTest::newRow("backslashes literal") << R"(C:\dir\file.txt x\\y)" << L({R"(C:\dir\file.txt)", R"(x\\y)"});
    QTest::newRow("trailing backslash unquoted") << R"(a\ b)" << L({R"(a\)", "b"});
    QTest::newRow("1 backslash + quote = literal quote") << R"(a\"b)" << L({R"(a"b)"});
    QTest::newRow("2 backslashes + quote = 1 backslash, quote groups") << R"("a\\" b)" << L({R"(a\)", "b"});
    QTest::newRow("3 backslashes + quote") << R"(a\\\"b)" << L({R"(a\"b)"});
    QTest::newRow("4 backslashes + quote opens") << R"(a\\\\"b c")" << L({R"(a\\b c)"});
    QTest::newRow("escaped quote inside quotes") << R"("say \"hi\" now")" << L({R"(say "hi" now)"});
    QTest::newRow("non-ASCII") << "\"Vidéo été\" 日本" << L({"Vidéo été", "日本"});
    QTest::newRow("command as built") << R"(/opt/app/engine/ffmpeg -i "/v/my clip.avi" -y "/out/a.flv")"
                                      << L({"/opt/app/engine/ffmpeg", "-i", "/v/my clip.avi", "-y", "/out/a.flv"});
}

void TestCmdline::split()
{
    QFETCH(QString, text);
    QFETCH(QStringList, args);
    QCOMPARE(splitCommandLine(text), args);
}

void TestCmdline::quote_data()
{
    QTest::addColumn<QString>("arg");
    QTest::addColumn<QString>("quoted");
    QTest::newRow("plain path") << "/v/a b.avi" << R"("/v/a b.avi")";
    QTest::newRow("empty") << "" << R"("")";
    QTest::newRow("inner backslashes kept") << R"(C:\v\a.avi)" << R"("C:\v\a.avi")";
    QTest::newRow("quote") << R"(a"b)" << R"("a\"b")";
    QTest::newRow("backslash before quote") << R"(a\"b)" << R"("a\\\"b")";
    QTest::newRow("trailing backslash") << R"(C:\out\)" << R"("C:\out\\")";
    QTest::newRow("two trailing backslashes") << R"(x\\)" << R"("x\\\\")";
}

void TestCmdline::quote()
{
    QFETCH(QString, arg);
    QFETCH(QString, quoted);
    QCOMPARE(quoteArgument(arg), quoted);
    QCOMPARE(splitCommandLine(quoted), QStringList{arg});
}

void TestCmdline::quoteIfNeeded_data()
{
    QTest::addColumn<QString>("arg");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain word stays") << "-y" << "-y";
    QTest::newRow("backslashes stay") << R"(a\b\)" << R"(a\b\)";
    QTest::newRow("blank quotes") << "a b" << R"("a b")";
    QTest::newRow("tab quotes") << "a\tb" << "\"a\tb\"";
    QTest::newRow("quote quotes") << R"(a"b)" << R"("a\"b")";
    QTest::newRow("empty quotes") << "" << R"("")";
}

void TestCmdline::quoteIfNeeded()
{
    QFETCH(QString, arg);
    QFETCH(QString, expected);
    QCOMPARE(cmdline::quoteIfNeeded(arg), expected);
    QCOMPARE(splitCommandLine(expected), QStringList{arg});
}

void TestCmdline::hostilePathsRoundTrip_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("blanks") << "/tmp/my  videos/a b.avi";
    QTest::newRow("double quotes") << R"(/tmp/"quoted" name.mp4)";
    QTest::newRow("single quotes") << "/tmp/it's o'clock.avi";
    QTest::newRow("command substitution") << "/tmp/$(rm -rf ~)/x.avi";
    QTest::newRow("semicolon") << "/tmp/a; reboot.avi";
    QTest::newRow("backticks") << "/tmp/`id`.avi";
    QTest::newRow("backslashes") << R"(/tmp/a\b\\c\"d.avi)";
    QTest::newRow("trailing backslash") << R"(/tmp/folder\)";
    QTest::newRow("trailing backslashes and quote") << R"(/tmp/x"\\)";
    QTest::newRow("non-ASCII") << "/tmp/Видео/été 日本 🎬.mkv";
    QTest::newRow("tab and newline") << "/tmp/a\tb\nc.avi";
}

void TestCmdline::hostilePathsRoundTrip()
{
    QFETCH(QString, path);
    const QString command = QStringLiteral("/app/engine/ffmpeg -i ") + quoteArgument(path) + QStringLiteral(" -y ")
                            + quoteArgument(path + QStringLiteral(".flv"));
    QCOMPARE(splitCommandLine(command),
             (QStringList{QStringLiteral("/app/engine/ffmpeg"), QStringLiteral("-i"), path, QStringLiteral("-y"),
                          path + QStringLiteral(".flv")}));
    if (!path.contains(QLatin1Char('"')) && !path.endsWith(QLatin1Char('\\')))
        QCOMPARE(quoteArgument(path), QLatin1Char('"') + path + QLatin1Char('"'));
}

// Random lists of random texts, drawn mostly from the characters that matter
// to the rules, survive quoting, joining with blanks and splitting.
void TestCmdline::randomRoundTrip()
{
    const QString alphabet = QStringLiteral("\\\\\\\"\"\" \t ab'$;`()é日\n");
    QRandomGenerator rng(20240615);
    for (int round = 0; round < 20000; ++round) {
        QStringList args;
        const int count = int(rng.bounded(1, 5));
        for (int a = 0; a < count; ++a) {
            QString s;
            const int length = int(rng.bounded(0, 12));
            for (int i = 0; i < length; ++i)
                s += rng.bounded(10) == 0 ? QChar(char16_t(rng.bounded(0x20, 0x3000)))
                                          : alphabet.at(rng.bounded(alphabet.size()));
            args << s;
        }
        QStringList quoted, needed;
        for (const QString &s : args) {
            quoted << quoteArgument(s);
            needed << cmdline::quoteIfNeeded(s);
        }
        const QString separator = rng.bounded(2) ? QStringLiteral(" ") : QStringLiteral(" \t ");
        const QString c1 = quoted.join(separator);
        const QString c2 = needed.join(separator);
        QVERIFY2(splitCommandLine(c1) == args, qPrintable(QStringLiteral("quoted: [%1]").arg(c1)));
        QVERIFY2(splitCommandLine(c2) == args, qPrintable(QStringLiteral("if needed: [%1]").arg(c2)));
        // The plain form of quoting for texts without quotes or a trailing
        // backslash, as the command texts show it.
        for (const QString &s : args) {
            if (!s.contains(QLatin1Char('"')) && !s.endsWith(QLatin1Char('\\')))
                QCOMPARE(quoteArgument(s), QLatin1Char('"') + s + QLatin1Char('"'));
        }
    }
}

QTEST_GUILESS_MAIN(TestCmdline)
#include "tst_cmdline.moc"
