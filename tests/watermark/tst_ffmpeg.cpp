// The watermark filter text with Debian's real ffmpeg: the command text is
// split as the runner splits it and run in the application folder. A text
// or picture lands in the chosen corner and nowhere else, and whatever the
// user typed is drawn exactly as a textfile= reference without expansion
// draws it.
#include "common/ui_controls.h"
#include "app/ui_forms.h"
#include "common/cmdline.h"
#include "support/scriptedprompts.h"
#include "support/testappdir.h"
#include "watermark/frmWatermarkOptions.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRect>
#include <QTest>

namespace {

constexpr int Width = 320;
constexpr int Height = 240;

struct RunResult {
    bool ok = false;
    QByteArray out;
    QString errors;
};

RunResult run(const QString &program, const QStringList &args, const QString &workingDirectory = QString())
{
    QProcess p;
    if (!workingDirectory.isEmpty())
        p.setWorkingDirectory(workingDirectory);
    p.start(program, args);
    RunResult r;
    if (!p.waitForStarted(30000) || !p.waitForFinished(300000))
        return r;
    r.out = p.readAllStandardOutput();
    r.errors = QString::fromUtf8(p.readAllStandardError()).right(2000);
    r.ok = p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    return r;
}

// One frame of a video as packed RGB.
QByteArray frameRgb(const QString &video, int frame)
{
    return run(QStringLiteral("ffmpeg"),
               {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), video, QStringLiteral("-vf"),
                QStringLiteral("select=eq(n\\,%1)").arg(frame), QStringLiteral("-frames:v"), QStringLiteral("1"),
                QStringLiteral("-f"), QStringLiteral("rawvideo"), QStringLiteral("-pix_fmt"), QStringLiteral("rgb24"),
                QStringLiteral("-")})
        .out;
}

// Mean absolute difference of two frames inside a rectangle.
double regionDifference(const QByteArray &a, const QByteArray &b, const QRect &rect)
{
    if (a.size() != Width * Height * 3 || b.size() != a.size())
        return -1;
    qint64 sum = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            for (int c = 0; c < 3; ++c) {
                const qsizetype i = (qsizetype(y) * Width + x) * 3 + c;
                sum += qAbs(int(uchar(a.at(i))) - int(uchar(b.at(i))));
            }
    return double(sum) / (rect.width() * rect.height() * 3);
}

// The checksums of every decoded frame.
QStringList frameChecksums(const QString &video)
{
    const RunResult r = run(QStringLiteral("ffmpeg"), {QStringLiteral("-v"), QStringLiteral("error"),
                                                       QStringLiteral("-i"), video, QStringLiteral("-map"),
                                                       QStringLiteral("0:v"), QStringLiteral("-f"),
                                                       QStringLiteral("framemd5"), QStringLiteral("-")});
    QStringList sums;
    for (const QByteArray &line : r.out.split('\n'))
        if (!line.startsWith('#') && line.contains(','))
            sums << QString::fromLatin1(line.split(',').last().trimmed());
    return sums;
}

const QRect topLeft(0, 0, 110, 60);
const QRect bottomRight(Width - 110, Height - 60, 110, 60);

} // namespace

class tst_Ffmpeg : public QObject
{
    Q_OBJECT

    ScriptedPrompts prompts;
    TestAppDir dir;
    Forms forms{prompts, dir.path()};
    QString source;
    QString plain; // the encode without a watermark
    int outputs = 0;

    frmWatermarkOptions &wm() { return forms.watermarkOptions(); }

    // Encodes the source with the filter text the way the program's commands
    // carry it, losslessly so that untouched pixels stay equal.
    QString encode(const QString &filter)
    {
        const QString out = dir.file(QStringLiteral("out/%1.mkv").arg(++outputs));
        const QString command = dir.path() + QStringLiteral("/engine/ffmpeg  -y -i  \"") + source
            + QStringLiteral("\" -an -vcodec libx264 -preset ultrafast -qp 0") + filter + QStringLiteral(" \"") + out
            + QLatin1Char('"');
        QStringList args = cmdline::splitCommandLine(command);
        const QString program = args.takeFirst();
        const RunResult r = run(program, args, dir.path());
        if (!r.ok) {
            qWarning("%s\n%s", qPrintable(command), qPrintable(r.errors));
            return QString();
        }
        return out;
    }

    // The dialog's filter text for a text watermark in the top-left corner.
    QString textFilter(const QString &text)
    {
        frmWatermarkOptions &w = wm();
        w.optTextWM->setChecked(true);
        w.optTopLeft->setChecked(true);
        w.txtWatermark->setText(text);
        w.cmbWMFontSize->setCurrentIndex(3); // 24
        w.txtWMFontColor->setText(QStringLiteral("0xFFFF00"));
        w.txtWMAlpha->setText(QStringLiteral("99"));
        w.cmdSave_Click();
        return w.txtWMString->text();
    }

    // Frames of the marked encode differ from the plain one inside the
    // corner and not at all in the opposite one.
    void markedOnlyIn(const QString &out, const QRect &corner, const QRect &opposite)
    {
        for (int frame : {0, 20}) {
            const QByteArray marked = frameRgb(out, frame);
            const QByteArray unmarked = frameRgb(plain, frame);
            const double changed = regionDifference(marked, unmarked, corner);
            QVERIFY2(changed > 10, qPrintable(QString::number(changed)));
            QCOMPARE(regionDifference(marked, unmarked, opposite), 0.0);
        }
    }

    QString pictureFilter(const QString &path, QRadioButton *corner)
    {
        frmWatermarkOptions &w = wm();
        w.optImageWM->setChecked(true);
        corner->setChecked(true);
        prompts.expectOpenFile(path, QStringLiteral("Open Picture File"));
        w.cmdWMImage->click();
        w.cmdSave_Click();
        return w.txtWMString->text();
    }

    QString picture(const QString &name)
    {
        const QString path = dir.file(QStringLiteral("pictures/") + name);
        if (!QFile::exists(dir.file(QStringLiteral("pictures/made.png")))) {
            QDir().mkpath(dir.file(QStringLiteral("pictures")));
            if (!runFfmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                            QStringLiteral("color=c=magenta:size=48x32"), QStringLiteral("-frames:v"),
                            QStringLiteral("1"), dir.file(QStringLiteral("pictures/made.png"))}))
                return QString();
        }
        QFile::remove(path);
        QFile::copy(dir.file(QStringLiteral("pictures/made.png")), path);
        return path;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QVERIFY(!dir.path().contains(QLatin1Char('\'')));
        QDir().mkpath(dir.file(QStringLiteral("out")));
        QDir().mkpath(dir.file(QStringLiteral("clips")));
        source = dir.file(QStringLiteral("clips/source.avi"));
        QVERIFY(makeClip(source, 1.0, QStringLiteral("%1x%2").arg(Width).arg(Height), false));
        plain = encode(QString());
        QVERIFY(!plain.isEmpty());
    }

    void textLandsInChosenCorner()
    {
        frmWatermarkOptions &w = wm();
        w.optTextWM->setChecked(true);
        w.txtWatermark->setText(QStringLiteral("WWWW"));
        w.cmbWMFontSize->setCurrentIndex(6); // 40
        prompts.expectColor(quint32(0x00FFFF)); // yellow
        w.cmdWMFontColor->click();
        w.txtWMAlpha->setText(QStringLiteral("99"));
        w.optBottomRight->setChecked(true);
        w.cmdSave_Click();
        const QString out = encode(w.txtWMString->text());
        QVERIFY(!out.isEmpty());
        QCOMPARE(probeStreams(out), QStringList{QStringLiteral("video:h264")});
        markedOnlyIn(out, bottomRight, topLeft);
        if (QTest::currentTestFailed())
            return;
        VERIFY_PROMPTS(prompts);
    }

    void pictureLandsInChosenCorner()
    {
        const QString filter = pictureFilter(picture(QStringLiteral("logo.png")), wm().optTopLeft);
        QCOMPARE(filter, QStringLiteral(" -vf \"movie='logo.png'[watermark];[in][watermark] overlay=8:8 [out]\""));
        const QString out = encode(filter);
        QVERIFY(!out.isEmpty());
        markedOnlyIn(out, topLeft, bottomRight);
        if (QTest::currentTestFailed())
            return;
        VERIFY_PROMPTS(prompts);
    }

    void awkwardPictureNamesWork_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("blank, quote and colon") << QStringLiteral("my logo's: v1.png");
        QTest::newRow("sequence pattern") << QStringLiteral("logo 50%d.png");
        QTest::newRow("glob pattern") << QStringLiteral("logo %[1].png");
        QTest::newRow("double quote, backslash, graph marks") << QStringLiteral("\"a\\b\" [x];c,d.png");
        QTest::newRow("protocol look-alike") << QStringLiteral("http:x.png");
    }

    void awkwardPictureNamesWork()
    {
        QFETCH(QString, name);
        const QStringList expected = frameChecksums(encode(pictureFilter(picture(QStringLiteral("logo.png")),
                                                                         wm().optBottomLeft)));
        QVERIFY(!expected.isEmpty());
        QVERIFY(expected != frameChecksums(plain));
        const QString filter = pictureFilter(picture(name), wm().optBottomLeft);
        QVERIFY2(filter.contains(QStringLiteral("movie=")), qPrintable(filter));
        QVERIFY(QFile::exists(dir.file(name)));
        const QString out = encode(filter);
        QVERIFY2(!out.isEmpty(), qPrintable(filter));
        QCOMPARE(frameChecksums(out), expected);
        VERIFY_PROMPTS(prompts);
    }

    void textsDrawnLiterally_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("quote") << QStringLiteral("Joe's Videos");
        QTest::newRow("colon and percent") << QStringLiteral("Sale: 50%");
        QTest::newRow("backslashes") << QStringLiteral("C:\\new\\ta\\\\b\\");
        QTest::newRow("expansion") << QStringLiteral("%{pts} %{n}");
        QTest::newRow("double quotes") << QStringLiteral("say \"hi\\\" there\"");
        QTest::newRow("graph marks") << QStringLiteral("[x];[out],a,b");
        QTest::newRow("leading blanks") << QStringLiteral("   indented");
        QTest::newRow("non-ASCII") << QStringLiteral("Grüße ÄÖÜ ñ €");
        QTest::newRow("all at once") << QStringLiteral(" '\\:%{pts}\"[x]; ,'' ");
    }

    void textsDrawnLiterally()
    {
        QFETCH(QString, text);
        const QString out = encode(textFilter(text));
        QVERIFY(!out.isEmpty());

        // The reference: the same drawing with the text read from a file,
        // nothing expanded.
        const QString textFile = dir.file(QStringLiteral("out/text%1.txt").arg(outputs));
        QFile f(textFile);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text.toUtf8());
        f.close();
        const QString ref = dir.file(QStringLiteral("out/ref%1.mkv").arg(outputs));
        const QString reference = QStringLiteral("drawtext=fontsize=24:fontcolor=0xFFFF00@0.99:fontfile='")
            + dir.file(QStringLiteral("wmfonts/DejaVuSans.ttf")) + QStringLiteral("':textfile='") + textFile
            + QStringLiteral("':expansion=none:x=8:y=8");
        const RunResult r = run(QStringLiteral("ffmpeg"),
                                {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"),
                                 QStringLiteral("-i"), source, QStringLiteral("-an"), QStringLiteral("-vcodec"),
                                 QStringLiteral("libx264"), QStringLiteral("-preset"), QStringLiteral("ultrafast"),
                                 QStringLiteral("-qp"), QStringLiteral("0"), QStringLiteral("-vf"), reference, ref});
        QVERIFY2(r.ok, qPrintable(r.errors));

        const QStringList drawn = frameChecksums(out);
        QCOMPARE(drawn.size(), 25);
        QCOMPARE(drawn, frameChecksums(ref));
        QVERIFY(drawn != frameChecksums(plain));
    }
};

QTEST_MAIN(tst_Ffmpeg)
#include "tst_ffmpeg.moc"
