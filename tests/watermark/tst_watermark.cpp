// The watermark: the filter text ffmpeg receives (escaped at every level, so
// what the user typed is what is drawn or opened), the picture copy (never
// over a file of the program or the user, never half written), and the
// watermark dialog that edits the settings.
#include "common/cmdline.h"
#include "common/errors.h"
#include "support/fixture.h"
#include "watermark/watermarkfilter.h"

#include <QtTest>
#include <QtWidgets>
#include <csignal>
#include <sys/resource.h>

using namespace watermark;
using namespace QTest;
Q_DECLARE_METATYPE(watermark::Settings)

namespace {

const QString program = "vidlark-encoder";

Settings text(Corner corner, const QString &words, const QString &alpha = "60",
              const QString &color = "0x008000", const QString &path = {})
{
    return {path.isEmpty() ? Kind::Text : Kind::Image,
            corner,
            words,
            "20",
            "/opt/Enc/wmfonts/",
            "DejaVuSans.ttf",
            color,
            alpha,
            path};
}
Settings image(Corner corner, const QString &path)
{
    return text(corner, {}, "60", "0x008000", path);
}

// The graph of the option text " -vf \"graph\"", as the command splitter gives it back.
QString graphOf(const std::optional<Filter> &f)
{
    const QStringList args = cmdline::splitCommandLine(f->text);
    return f->text.startsWith(" -vf \"") && args.size() == 2 ? args[1] : "bad: " + f->text;
}

// The folder's entries with their bytes (folders and links by name only).
QStringList snapshot(const QString &folder)
{
    QStringList out;
    for (const QFileInfo &i :
         QDir(folder).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System))
        out << i.fileName() + "=" + (i.isFile() && !i.isSymLink() ? fileBytes(i.filePath()) : "-");
    return out;
}

// A folder with earlier copies, a non-picture file, a folder, a link and one
// of the program's own folders.
QString pictureFolder(const QTemporaryDir &copies)
{
    const QString folder = copies.path();
    for (const char *name : {"logo.png", "old.JPEG", "notes.txt"})
        writeFileBytes(folder + "/" + name, "earlier");
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
    return runFfmpeg({"-f", "lavfi", "-i", "color=c=black:size=160x120:d=1", "-vf", graph, "-frames:v", "1",
                      "-f", "rawvideo", "-pix_fmt", "rgb24", folder + "/frame.rgb"})
        ? fileBytes(folder + "/frame.rgb")
        : QByteArray();
}

} // namespace

class tst_Watermark : public QObject
{
    Q_OBJECT
    TestAppDir dir;

private slots:
    // A build from an earlier state ("px", "py") into a folder as
    // pictureFolder() makes it; image paths are names in a folder of
    // pictures. A refused build writes nothing.
    void filter_data()
    {
        addColumn<Settings>("s");
        // The graph, or the subject of the refusal.
        addColumn<QString>("graph");
        const QString head = "[in]drawtext=fontsize=20:fontcolor=0x008000@",
                      over = "[watermark];[in][watermark] overlay=";
        const QString font = ":fontfile='/opt/Enc/wmfonts/DejaVuSans.ttf':text=", tl = ":x=8:y=8 [out]";
        newRow("bottom right, 5") << text(Corner::BottomRight, "W", "5")
                                  << head + "0.05" + font + "'W':x=(W-text_w)-8:y=(H-text_h)-8 [out]";
        newRow("no corner keeps the last, 0")
            << text(Corner::None, "W", "0") << head + "0" + font + "'W':x=px:y=py [out]";
        newRow("quote, percent, colon, backslash")
            << text(Corner::TopLeft, R"(it's 50%: C:\x)")
            << head + "0.6" + font + R"('it\'\''s 50\\%\: C\:\\\\x')" + tl;
        newRow("blanks at the ends") << text(Corner::TopLeft, " \ta b ")
                                     << head + "0.6" + font + "'\\ \\\ta b\\ '" + tl;
        newRow("graph marks, double quotes, expansion")
            << text(Corner::TopLeft, R"([x];a,b "q" %{pts})")
            << head + "0.6" + font + R"('[x];a,b "q" \\%{pts}')" + tl;
        newRow("colour text from a profile")
            << text(Corner::TopLeft, "W", "60", R"(red:x[1],y;'\)")
            << R"([in]drawtext=fontsize=20:fontcolor=red\\:x\[1\]\,y\;\\\'\\\\@0.6)" + font + "'W'" + tl;
        newRow("image, copy replaced")
            << image(Corner::TopLeft, "logo.png") << "movie='logo.png'" + over + "8:8 [out]";
        newRow("image, quote") << image(Corner::BottomLeft, "Joe's.png")
                               << R"(movie='Joe\'\''s.png')" + over + "8:(H-overlay_h)-8 [out]";
        newRow("image, colon") << image(Corner::BottomRight, "http:x.png")
                               << R"(movie='file\:http\:x.png':f=image2pipe)" + over
                + "(W-overlay_w)-8:(H-overlay_h)-8 [out]";
        newRow("image, percent") << image(Corner::TopRight, "50%d.png")
                                 << R"(movie='file\:50%d.png':f=image2pipe)" + over
                + "(W-overlay_w)-8:8 [out]";

        newRow("picture gone") << image(Corner::TopLeft, dir.file("gone.png"))
                               << QString::number(int(Subject::WatermarkPicture));
    }
    void filter()
    {
        QFETCH(Settings, s);
        QTemporaryDir copies;
        const QStringList before = snapshot(pictureFolder(copies));
        const QString name = QFileInfo(s.imagePath).fileName();
        if (s.kind == Kind::Image && !s.imagePath.isEmpty() && !s.imagePath.startsWith('/'))
            writeFileBytes(s.imagePath = dir.file("pics/" + s.imagePath), "picture");
        try {
            const auto built = buildFilter(s, State{"px", "py", "old"}, copies.path(), program);
            QTEST(graphOf(built), "graph");
            QCOMPARE(built->imageName + built->state.fontFolder,
                     name + (s.kind == Kind::Text ? "/opt/Enc/wmfonts/" : "old"));
            QCOMPARE(fileBytes(copies.filePath(name)), s.kind == Kind::Text ? "" : "picture");
        } catch (const Refusal &r) {
            QTEST(QString::number(int(r.subject())), "graph");
            QCOMPARE(snapshot(copies.path()), before);
        }
    }

    // Earlier copies may be replaced; the program's files, the user's
    // other files, folders, links and paths never are.
    void pictureNames()
    {
        QTemporaryDir copies;
        const QString folder = pictureFolder(copies);
        for (const QString name : {"logo.png", "old.JPEG", "new.png", "notes.txt", "shots.png", "link.png",
                                   "config", "vidlark-encoder", "", "a/b.png", ".."}) {
            const bool reserved = !name.contains(QRegularExpression("^(logo|old|new)\\."));
            QCOMPARE(isReservedPictureName(folder, name, program), reserved);
            QCOMPARE(pictureCopyToDelete(folder, name, program) == copies.filePath(name),
                     !reserved && name != "new.png");
        }
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
        const int error =
            runtimeErrorOf([&] { copyPicture(copies.filePath("new.png"), copies.path(), "logo.png"); });
        setrlimit(RLIMIT_FSIZE, &normal);
        QCOMPARE(error, 75);
        // The earlier copy whole, nothing left behind.
        QCOMPARE(snapshot(copies.path()), before);
        copyPicture(copies.filePath("new.png"), copies.path(), "logo.png");
        QCOMPARE(snapshot(copies.path()), QStringList({"logo.png=new picture", "new.png=new picture"}));
    }

    void drawnByFfmpeg()
    {
        // A text with awkward characters, in a font in a folder with awkward
        // characters, is drawn as the same text read from a file.
        const QString fonts = dir.file("font's: 50% [x],y;/");
        QVERIFY(QDir().mkpath(fonts)
                && QFile::copy(dir.file("wmfonts/DejaVuSans.ttf"), fonts + "DejaVuSans.ttf"));
        Settings s = text(Corner::TopLeft, R"( it's "50%": C:\new\ [x];a,b %{pts}\)", "99", "0xFFFF00");
        s.fontFolder = fonts;
        writeFileBytes(dir.file("text.txt"), s.text.toUtf8());
        const QByteArray built = drawn(graphOf(buildFilter(s, State{}, dir.path(), program)), dir.path());
        QCOMPARE(built.size(), 160 * 120 * 3);
        QVERIFY(built != drawn("null", dir.path()));
        QCOMPARE(built,
                 drawn("drawtext=fontsize=20:fontcolor=0xFFFF00@0.99:fontfile="
                           + dir.file("wmfonts/DejaVuSans.ttf") + ":textfile=" + dir.file("text.txt")
                           + ":expansion=none:x=8:y=8",
                       dir.path()));
        // A 16x12 picture whose name holds a colon, a percent sign and a quote lies 8 pixels from the corner.
        QTemporaryDir run;
        const QString picture = dir.file("pics/logo 50%: v1's.png");
        QVERIFY(runFfmpeg({"-f", "lavfi", "-i", "color=c=magenta:size=16x12", "-frames:v", "1",
                           dir.file("pics/made.png")}));
        QVERIFY(QFile::copy(dir.file("pics/made.png"), picture));
        const QByteArray frame =
            drawn(graphOf(buildFilter(image(Corner::BottomRight, picture), State{}, run.path(), program)),
                  run.path());
        QCOMPARE(frame.size(), 160 * 120 * 3);
        const auto magenta = [&](const QByteArray &rgb, int x, int y) {
            const auto c = [&](int i) { return int(uchar(rgb.at((y * 160 + x) * 3 + i))); };
            return c(0) > 220 && c(1) < 35 && c(2) > 220;
        };
        // Inside at both ends, outside just beyond them.
        QCOMPARE(QList<bool>({magenta(frame, 151, 111), magenta(frame, 136, 100), magenta(frame, 152, 112)}),
                 QList<bool>({true, true, false}));
    }
};

QTEST_MAIN(tst_Watermark)
#include "tst_watermark.moc"
