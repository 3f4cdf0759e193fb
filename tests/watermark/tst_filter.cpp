// The watermark filter text: the exact texts for ordinary values, the
// position table, opacity and colour codes, what a build keeps, and the
// escaping, checked by reading the text back the way ffmpeg reads it.
#include "common/cmdline.h"
#include "support/testappdir.h"
#include "watermark/watermarkfilter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace watermark;

namespace {

// --- A reader that takes the filter text apart as ffmpeg does ---

// ffmpeg's token reader: skips leading blanks, '\' takes the next character,
// '...' is literal, stops at a terminator outside quotes, drops trailing
// blanks that were neither escaped nor quoted.
QString getToken(const QString &in, qsizetype &pos, const QString &terms)
{
    const QString blanks = QStringLiteral(" \n\t\r");
    while (pos < in.size() && blanks.contains(in.at(pos)))
        ++pos;
    QString out;
    qsizetype keep = 0;
    while (pos < in.size() && !terms.contains(in.at(pos))) {
        const QChar c = in.at(pos++);
        if (c == QLatin1Char('\\') && pos < in.size()) {
            out.append(in.at(pos++));
            keep = out.size();
        } else if (c == QLatin1Char('\'')) {
            while (pos < in.size() && in.at(pos) != QLatin1Char('\''))
                out.append(in.at(pos++));
            if (pos < in.size()) {
                ++pos;
                keep = out.size();
            }
        } else {
            out.append(c);
        }
    }
    while (out.size() > keep && blanks.contains(out.back()))
        out.chop(1);
    return out;
}

// The options of the first filter after "name=" in a graph, key -> value.
QMap<QString, QString> filterOptions(const QString &graph, const QString &filterName)
{
    const qsizetype start = graph.indexOf(filterName + QLatin1Char('='));
    if (start < 0)
        return {};
    qsizetype pos = start + filterName.size() + 1;
    const QString args = getToken(graph, pos, QStringLiteral("[],;")); // graph level
    QMap<QString, QString> options;
    qsizetype p = 0;
    while (p < args.size()) {
        const qsizetype eq = args.indexOf(QLatin1Char('='), p);
        if (eq < 0)
            break;
        const QString key = args.mid(p, eq - p);
        p = eq + 1;
        options.insert(key, getToken(args, p, QStringLiteral(":"))); // option level
        if (p < args.size())
            ++p; // the ':'
    }
    return options;
}

// drawtext's expansion of a text without functions.
QString expand(const QString &text)
{
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('\\') && i + 1 < text.size())
            out.append(text.at(++i));
        else if (text.at(i) == QLatin1Char('%'))
            return QStringLiteral("<expansion at %1>").arg(i);
        else
            out.append(text.at(i));
    }
    return out;
}

// The graph as the command-line splitter hands it to ffmpeg after "-vf".
QString graphOf(const QString &filter)
{
    const QStringList args = cmdline::splitCommandLine(filter);
    if (args.size() != 2 || args.at(0) != QLatin1String("-vf"))
        return QStringLiteral("<split into %1>").arg(args.join(QLatin1Char('|')));
    return args.at(1);
}

Settings textSettings(const QString &text)
{
    Settings s;
    s.kind = Kind::Text;
    s.corner = Corner::TopLeft;
    s.text = text;
    s.fontSize = QStringLiteral("24");
    s.fontFolder = QStringLiteral("/opt/vidlark/wmfonts/");
    s.fontFile = QStringLiteral("DejaVuSans.ttf");
    s.colorCode = QStringLiteral("0x008000");
    s.transparency = QStringLiteral("60");
    return s;
}

Settings imageSettings(const QString &name, Corner corner = Corner::TopLeft)
{
    Settings s;
    s.kind = Kind::Image;
    s.corner = corner;
    s.imageName = name;
    return s;
}

} // namespace

class tst_Filter : public QObject
{
    Q_OBJECT
private slots:
    void examplesByteForByte()
    {
        Settings text = textSettings(QStringLiteral("Your Watermark Text"));
        text.fontFolder = QStringLiteral("C:\\Apps\\Enc\\wmfonts\\");
        text.fontFile = QStringLiteral("arial.ttf");
        const Result t = build(text, State{});
        QCOMPARE(t.status, Result::Built);
        QCOMPARE(t.filter,
                 QStringLiteral(" -vf \"[in]drawtext=fontsize=24:fontcolor=0x008000@0.6:fontfile='C\\:\\\\Apps\\\\Enc\\\\"
                                "wmfonts\\\\arial.ttf':text='Your Watermark Text':x=8:y=8 [out]\""));
        QCOMPARE(t.state.fontFolder, QStringLiteral("C\\:\\\\Apps\\\\Enc\\\\wmfonts\\\\"));

        const Result i = build(imageSettings(QStringLiteral("logo.png"), Corner::BottomRight), State{});
        QCOMPARE(i.status, Result::Built);
        QCOMPARE(i.filter, QStringLiteral(" -vf \"movie='logo.png'[watermark];[in][watermark] "
                                          "overlay=(W-overlay_w)-8:(H-overlay_h)-8 [out]\""));
    }

    void ordinaryValuesUnescaped_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("letters and blanks") << QStringLiteral("My Site 2024");
        QTest::newRow("punctuation") << QStringLiteral("(c) www.example.com - [best]; a, b! #1 & co? *@/+=~`$^{}|<>");
        QTest::newRow("non-ASCII") << QStringLiteral("Grüße aus Köln");
    }

    void ordinaryValuesUnescaped()
    {
        QFETCH(QString, value);
        Settings s = textSettings(value);
        s.fontFile = value + QStringLiteral(".ttf");
        const QString filter = build(s, State{}).filter;
        QVERIFY2(filter.contains(QStringLiteral(":text='") + value + QStringLiteral("':x=")), qPrintable(filter));
        QVERIFY2(filter.contains(QStringLiteral("wmfonts/") + value + QStringLiteral(".ttf'")), qPrintable(filter));
        const QString image = build(imageSettings(value + QStringLiteral(".png")), State{}).filter;
        QVERIFY2(image.contains(QStringLiteral("movie='") + value + QStringLiteral(".png'[watermark]")), qPrintable(image));
    }

    void everyCorner_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("corner");
        QTest::addColumn<QString>("position");
        const int text = int(Kind::Text), image = int(Kind::Image);
        QTest::newRow("text top left") << text << int(Corner::TopLeft) << QStringLiteral(":x=8:y=8 [out]");
        QTest::newRow("text top right") << text << int(Corner::TopRight) << QStringLiteral(":x=(W-text_w)-8:y=8 [out]");
        QTest::newRow("text bottom left") << text << int(Corner::BottomLeft)
                                          << QStringLiteral(":x=8:y=(H-text_h)-8 [out]");
        QTest::newRow("text bottom right") << text << int(Corner::BottomRight)
                                           << QStringLiteral(":x=(W-text_w)-8:y=(H-text_h)-8 [out]");
        QTest::newRow("image top left") << image << int(Corner::TopLeft) << QStringLiteral(" overlay=8:8 [out]");
        QTest::newRow("image top right") << image << int(Corner::TopRight)
                                         << QStringLiteral(" overlay=(W-overlay_w)-8:8 [out]");
        QTest::newRow("image bottom left") << image << int(Corner::BottomLeft)
                                           << QStringLiteral(" overlay=8:(H-overlay_h)-8 [out]");
        QTest::newRow("image bottom right") << image << int(Corner::BottomRight)
                                            << QStringLiteral(" overlay=(W-overlay_w)-8:(H-overlay_h)-8 [out]");
    }

    void everyCorner()
    {
        QFETCH(int, kind);
        QFETCH(int, corner);
        QFETCH(QString, position);
        Settings s = Kind(kind) == Kind::Text ? textSettings(QStringLiteral("x")) : imageSettings(QStringLiteral("a.png"));
        s.corner = Corner(corner);
        const Result r = build(s, State{QStringLiteral("old x"), QStringLiteral("old y"), QString()});
        QVERIFY2(r.filter.endsWith(position + QLatin1Char('"')), qPrintable(r.filter));
        QVERIFY(!r.state.posX.isEmpty() && !r.state.posY.isEmpty());
        QVERIFY2(r.filter.contains(QLatin1Char('=') + r.state.posX + QLatin1Char(':')), qPrintable(r.filter));
    }

    void noCornerKeepsPreviousPosition()
    {
        Settings s = textSettings(QStringLiteral("x"));
        const Result first = build(s, State{});
        s.corner = Corner::None;
        s.kind = Kind::Image;
        s.imageName = QStringLiteral("a.png");
        // The text kind's expressions carry over, as the last ones chosen.
        const Result second = build(s, first.state);
        QCOMPARE(second.state.posX, QStringLiteral("8"));
        QVERIFY2(second.filter.endsWith(QStringLiteral(" overlay=8:8 [out]\"")), qPrintable(second.filter));

        // A corner chosen once is kept through builds without one.
        Settings br = textSettings(QStringLiteral("x"));
        br.corner = Corner::BottomRight;
        Settings none = br;
        none.corner = Corner::None;
        const Result afterBr = build(none, build(br, State{}).state);
        QVERIFY2(afterBr.filter.endsWith(QStringLiteral(":x=(W-text_w)-8:y=(H-text_h)-8 [out]\"")),
                 qPrintable(afterBr.filter));

        // Before any build there is nothing to keep: x and y stay empty.
        const Result empty = build(none, State{});
        QVERIFY2(empty.filter.endsWith(QStringLiteral(":x=:y= [out]\"")), qPrintable(empty.filter));
    }

    void neitherKindChangesNothing()
    {
        Settings s = textSettings(QStringLiteral("x"));
        s.kind = Kind::None;
        const Result r = build(s, State{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
        QCOMPARE(r.status, Result::Unchanged);
        QVERIFY(r.filter.isEmpty());
        QCOMPARE(QStringList({r.state.posX, r.state.posY, r.state.fontFolder}), QStringList({"a", "b", "c"}));
    }

    void opacity_data()
    {
        QTest::addColumn<QString>("transparency");
        QTest::addColumn<QString>("opacity");
        QTest::newRow("0") << QStringLiteral("0") << QStringLiteral("0");
        QTest::newRow("5") << QStringLiteral("5") << QStringLiteral("0.05");
        QTest::newRow("05") << QStringLiteral("05") << QStringLiteral("0.05");
        QTest::newRow("10") << QStringLiteral("10") << QStringLiteral("0.1");
        QTest::newRow("60") << QStringLiteral("60") << QStringLiteral("0.6");
        QTest::newRow("75") << QStringLiteral("75") << QStringLiteral("0.75");
        QTest::newRow("99") << QStringLiteral("99") << QStringLiteral("0.99");
    }

    void opacity()
    {
        QFETCH(QString, transparency);
        QFETCH(QString, opacity);
        QCOMPARE(opacityText(transparency).value_or(QStringLiteral("none")), opacity);
        Settings s = textSettings(QStringLiteral("x"));
        s.transparency = transparency;
        const QString filter = build(s, State{}).filter;
        QVERIFY2(filter.contains(QStringLiteral("@") + opacity + QStringLiteral(":fontfile=")), qPrintable(filter));
    }

    void badTransparencyKeepsEverything_data()
    {
        QTest::addColumn<QString>("transparency");
        QTest::newRow("empty") << QString();
        QTest::newRow("letters") << QStringLiteral("ab");
        QTest::newRow("negative") << QStringLiteral("-1");
        QTest::newRow("fraction") << QStringLiteral(".5");
        QTest::newRow("blank") << QStringLiteral(" 5");
        QTest::newRow("three digits") << QStringLiteral("100");
        QTest::newRow("arabic digit") << QString(QChar(0x0665));
    }

    void badTransparencyKeepsEverything()
    {
        QFETCH(QString, transparency);
        Settings s = textSettings(QStringLiteral("x"));
        s.transparency = transparency;
        s.corner = Corner::BottomRight;
        const State previous{QStringLiteral("8"), QStringLiteral("8"), QStringLiteral("old")};
        const Result r = build(s, previous);
        QCOMPARE(r.status, Result::BadTransparency);
        QVERIFY(r.filter.isEmpty());
        QCOMPARE(r.state.posX, previous.posX);
        QCOMPARE(r.state.fontFolder, previous.fontFolder);
        // The image kind does not use the transparency at all.
        Settings image = imageSettings(QStringLiteral("a.png"));
        image.transparency = transparency;
        QCOMPARE(build(image, previous).status, Result::Built);
    }

    void colourCodes_data()
    {
        QTest::addColumn<quint32>("color");
        QTest::addColumn<QString>("code");
        QTest::newRow("red 10 green 11 blue 12") << quint32(0x0C0B0A) << QStringLiteral("0x0A0B0C");
        QTest::newRow("white") << quint32(0xFFFFFF) << QStringLiteral("0xFFFFFF");
        QTest::newRow("start green") << quint32(0x008000) << QStringLiteral("0x008000");
        QTest::newRow("black") << quint32(0) << QStringLiteral("0x000000");
        QTest::newRow("high byte ignored") << quint32(0x80FF0001) << QStringLiteral("0x0100FF");
    }

    void colourCodes()
    {
        QFETCH(quint32, color);
        QFETCH(QString, code);
        QCOMPARE(colorCode(color), code);
    }

    void fontFolder_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("escaped");
        QTest::newRow("design example") << QStringLiteral("C:\\Apps\\Enc\\wmfonts\\")
                                        << QStringLiteral("C\\:\\\\Apps\\\\Enc\\\\wmfonts\\\\");
        QTest::newRow("drive D") << QStringLiteral("D:\\wmfonts\\") << QStringLiteral("D\\:\\\\wmfonts\\\\");
        QTest::newRow("linux") << QStringLiteral("/opt/Vid Lark/wmfonts/") << QStringLiteral("/opt/Vid Lark/wmfonts/");
        QTest::newRow("colon and backslash") << QStringLiteral("/a:b/c\\d/wmfonts/")
                                             << QStringLiteral("/a\\:b/c\\\\d/wmfonts/");
        QTest::newRow("quote") << QStringLiteral("/joe's/wmfonts/") << QStringLiteral("/joe\\'s/wmfonts/");
    }

    void fontFolder()
    {
        QFETCH(QString, folder);
        QFETCH(QString, escaped);
        QCOMPARE(fontFolderText(folder), escaped);
        Settings s = textSettings(QStringLiteral("x"));
        s.fontFolder = folder;
        const Result r = build(s, State{});
        QCOMPARE(r.state.fontFolder, escaped);
        QCOMPARE(filterOptions(graphOf(r.filter), QStringLiteral("drawtext")).value(QStringLiteral("fontfile")),
                 folder + s.fontFile);
    }

    void textReadBackLiterally_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("quote") << QStringLiteral("Joe's Videos");
        QTest::newRow("colon and percent") << QStringLiteral("Sale: 50%");
        QTest::newRow("backslashes") << QStringLiteral("a\\b\\\\c\\");
        QTest::newRow("expansion") << QStringLiteral("%{pts} %{localtime}");
        QTest::newRow("double quotes") << QStringLiteral("say \"hi\" \\\"x\\\\\"");
        QTest::newRow("graph specials") << QStringLiteral("[x];[in] a,b");
        QTest::newRow("blanks at both ends") << QStringLiteral("  lead and trail  ");
        QTest::newRow("tab at end") << QStringLiteral("tab\t");
        QTest::newRow("lone quote") << QStringLiteral("'");
        QTest::newRow("quote pairs") << QStringLiteral("''x''");
        QTest::newRow("non-ASCII") << QStringLiteral("Grüße ÄÖÜ – €");
        QTest::newRow("everything") << QStringLiteral(" '\\:%\"[];,{} ");
    }

    void textReadBackLiterally()
    {
        QFETCH(QString, text);
        // The font file's name goes through the same escaping.
        Settings s = textSettings(text);
        s.fontFile = text + QStringLiteral(".ttf");
        const Result r = build(s, State{});
        QCOMPARE(r.status, Result::Built);
        const QString graph = graphOf(r.filter);
        QVERIFY2(graph.startsWith(QStringLiteral("[in]drawtext=")), qPrintable(graph));
        QVERIFY2(graph.endsWith(QStringLiteral(" [out]")), qPrintable(graph));
        const auto options = filterOptions(graph, QStringLiteral("drawtext"));
        QCOMPARE(expand(options.value(QStringLiteral("text"))), text);
        QCOMPARE(options.value(QStringLiteral("fontfile")), s.fontFolder + s.fontFile);
        // The other options are still there, unharmed.
        QCOMPARE(options.value(QStringLiteral("fontsize")), QStringLiteral("24"));
        QCOMPARE(options.value(QStringLiteral("y")), QStringLiteral("8"));
        QCOMPARE(options.size(), 6);
    }

    void pictureNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("opened");
        QTest::addColumn<QString>("format");
        QTest::newRow("plain") << QStringLiteral("logo.png") << QStringLiteral("logo.png") << QString();
        QTest::newRow("blank and quote") << QStringLiteral("Joe's logo.png") << QStringLiteral("Joe's logo.png")
                                         << QString();
        QTest::newRow("colon") << QStringLiteral("a:b.png") << QStringLiteral("file:a:b.png")
                               << QStringLiteral("image2pipe");
        QTest::newRow("sequence pattern") << QStringLiteral("logo%03d.png") << QStringLiteral("file:logo%03d.png")
                                          << QStringLiteral("image2pipe");
        QTest::newRow("everything") << QStringLiteral(" it's: \"50%\" [x];a,b\\.jpg")
                                    << QStringLiteral("file: it's: \"50%\" [x];a,b\\.jpg") << QStringLiteral("image2pipe");
    }

    void pictureNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, opened);
        QFETCH(QString, format);
        const Result r = build(imageSettings(name), State{});
        const QString graph = graphOf(r.filter);
        // The first option is the file name (its key is implied).
        qsizetype pos = graph.indexOf(QLatin1Char('=')) + 1;
        const QString args = getToken(graph, pos, QStringLiteral("[],;"));
        qsizetype p = 0;
        QCOMPARE(getToken(args, p, QStringLiteral(":")), opened);
        QCOMPARE(p < args.size() ? args.mid(p + 1) : QString(), format.isEmpty() ? QString() : QStringLiteral("f=") + format);
        QVERIFY2(graph.mid(pos).startsWith(QStringLiteral("[watermark];[in][watermark] overlay=8:8 [out]")),
                 qPrintable(graph));
    }

    void barePiecesCannotAddOptions()
    {
        // Size and colour code come from files and profiles; whatever they hold
        // stays one value of its own option.
        Settings s = textSettings(QStringLiteral("x"));
        s.fontSize = QStringLiteral("24:textfile=/etc/passwd");
        s.colorCode = QStringLiteral("red'[x];,\\");
        const QString graph = graphOf(build(s, State{}).filter);
        const auto options = filterOptions(graph, QStringLiteral("drawtext"));
        QCOMPARE(options.value(QStringLiteral("fontsize")), s.fontSize);
        QCOMPARE(options.value(QStringLiteral("fontcolor")), s.colorCode + QStringLiteral("@0.6"));
        QVERIFY(!options.contains(QStringLiteral("textfile")));
        QCOMPARE(options.value(QStringLiteral("text")), QStringLiteral("x"));
    }

    void reservedPictureNames()
    {
        QTemporaryDir dir;
        const QString app = dir.path();
        QVERIFY(QDir(app).mkpath(QStringLiteral("config")) && QDir(app).mkpath(QStringLiteral("somefolder.png")));
        QVERIFY(writeFileBytes(app + QStringLiteral("/readme.txt"), "") && writeFileBytes(app + QStringLiteral("/old.PNG"), ""));
        QVERIFY(QFile::link(app + QStringLiteral("/old.PNG"), app + QStringLiteral("/link.png")));
        for (const char *name : {"config", "wmfonts", "engine", "ma", "vidlark-encoder", "myprogram", "readme.txt",
                                 "somefolder.png", "link.png", "", ".", "..", "a/b.png"})
            QVERIFY2(isReservedPictureName(app, QLatin1String(name), QStringLiteral("myprogram")), name);
        for (const char *name : {"logo.png", "old.PNG", "new.jpg", "Config", "photo.jpeg", "ma.png"})
            QVERIFY2(!isReservedPictureName(app, QLatin1String(name), QStringLiteral("myprogram")), name);
    }

    void pictureCopy()
    {
        QTemporaryDir dir;
        const QString app = dir.path();
        const QString source = app + QStringLiteral("/source it's.png");
        const QString copy = app + QStringLiteral("/copy.png");
        QVERIFY(writeFileBytes(source, "new picture") && writeFileBytes(copy, "earlier copy"));
        copyPicture(source, app, QStringLiteral("copy.png"));
        QCOMPARE(fileBytes(copy), QByteArray("new picture"));
        // A picture already in the folder copied onto itself stays whole.
        copyPicture(source, app, QStringLiteral("source it's.png"));
        QCOMPARE(fileBytes(source), QByteArray("new picture"));
        // A missing picture fails and leaves the earlier copy alone.
        QVERIFY_THROWS_EXCEPTION(std::exception, copyPicture(app + QStringLiteral("/gone.png"), app, QStringLiteral("copy.png")));
        QCOMPARE(fileBytes(copy), QByteArray("new picture"));
    }

};

QTEST_GUILESS_MAIN(tst_Filter)
#include "tst_filter.moc"
