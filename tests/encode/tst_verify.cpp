// Reading a made output back: real outputs of Debian's ffmpeg, whole, cut
// off, without a stream, too short, with the index last, and a still image,
// each checked through the console runner with the application folder's
// ffprobe; and the walk over an MP4's top-level boxes.
#include "common/cmdline.h"
#include "encode/verify.h"
#include "support/fixture.h"

#include <QDir>
#include <QRegularExpression>
#include <QTest>
#include <QtEndian>

using verify::Expectation;
using verify::Verdict;
Q_DECLARE_METATYPE(Expectation)

namespace {

// Runs each tool with the console runner and keeps what it was asked.
struct PipeRunner : IToolRunner {
    QList<ToolRun> runs;
    bool cancel = false; // the user cancels each run once it has ended
    mdlDOSPipe::RunResult run(const ToolRun &r) override
    {
        runs << r;
        mdlDOSPipe::RunResult result = mdlDOSPipe::ExecuteApp(r.commandLine, QString(), {});
        result.cancelled = cancel;
        return result;
    }
};

// The first `share` of a file's bytes.
bool cutOff(const QString &from, const QString &to, double share)
{
    const QByteArray bytes = fileBytes(from);
    return writeFileBytes(to, bytes.left(qsizetype(bytes.size() * share)));
}

// An MP4 box: its header (a 64-bit size when `large`) and `payload` bytes.
QByteArray box(const char *type, quint32 payload, bool large = false)
{
    QByteArray b(large ? 16 : 8, '\0');
    if (large)
        qToBigEndian<quint32>(1, b.data()), qToBigEndian<quint64>(16 + payload, b.data() + 8);
    else
        qToBigEndian<quint32>(8 + payload, b.data());
    b.replace(4, 4, type);
    return b + QByteArray(payload, 'x');
}

} // namespace

class TestVerify : public QObject
{
    Q_OBJECT

    QTemporaryDir m_work;
    QHash<QString, mdlDOSPipe::RunResult> m_encoded; // each output's encoder run

    QString file(const QString &name) const { return m_work.filePath(name); }

    // Encodes `source` to `output` with the application folder's ffmpeg.
    bool encode(const QString &source, const QString &options, const QString &output)
    {
        PipeRunner runner;
        m_encoded[output] = runner.run({cmdline::quoteArgument(buildAppDir() + "/engine/ffmpeg")
                                            + " -nostdin -y -i " + cmdline::quoteArgument(file(source)) + " "
                                            + options + " " + cmdline::quoteArgument(file(output)),
                                        ToolRun::Tool, source, output, "encode"});
        return m_encoded[output].succeeded();
    }

    // What the window expects of a video made from the encoder run behind `made`.
    Expectation video(const QString &made, bool moovFirst = false) const
    {
        const ProgressParser &report = m_encoded.value(made).report;
        Expectation e;
        e.audio = report.inputHasAudio();
        e.encoded = report.position();
        e.stated = report.duration();
        e.moovFirst = moovFirst;
        return e;
    }

private slots:
    void initTestCase()
    {
        const QString h264 = "-vcodec libx264 -b:v 300k -s 160x120 -acodec aac -ab 96k -ar 22050 -ac 2";
        QVERIFY(makeClip(file("a.avi"), 2) && makeClip(file("silent.avi"), 2, "320x240", false));
        QVERIFY(encode("a.avi", "-f flv " + h264, "a.flv")
                && encode("a.avi", "-f mp4 " + h264, "a.mp4.temp"));
        QVERIFY(
            encode("a.avi", "-f webm -vcodec libvpx -b:v 300k -s 160x120 -acodec libvorbis -ac 2", "a.webm"));
        QVERIFY(encode("a.avi", "-ss 1 -vframes 1 -s 160x120", "a.jpg")
                && encode("silent.avi", "-f mp4 " + h264, "silent.mp4"));
        PipeRunner faststart;
        const QString ma = cmdline::quoteArgument(buildAppDir() + "/ma");
        QVERIFY(
            faststart.run({ma + " " + file("a.mp4.temp") + " " + file("a.mp4"), ToolRun::Tool, "", "", ""})
                .succeeded());
        QVERIFY(cutOff(file("a.webm"), file("cut.webm"), 0.6) && cutOff(file("a.mp4"), file("cut.mp4"), 0.6));
        QVERIFY(writeFileBytes(file("empty.jpg"), ""));
    }

    void outputs_data()
    {
        QTest::addColumn<QString>("output");
        QTest::addColumn<Expectation>("expect");
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<QString>("judged"); // a pattern: the verdict's number, the reason
        const auto row = [](const char *tag, const QString &output, const Expectation &e,
                            const QString &judged,
                            bool cancel = false) { QTest::newRow(tag) << output << e << cancel << judged; };
        Expectation small{Expectation::Kind::Still, false, {}, {}, false, QSize(160, 120)},
            large = small, withSound = video("silent.mp4");
        large.pictureSize = QSize(320, 240), withSound.audio = true;
        const QString broken = "1 THE OUTPUT FILE IS INCOMPLETE\\.";
        row("flv", "a.flv", video("a.flv"), "0 ");
        row("mp4, index first", "a.mp4", video("a.mp4.temp", true), "0 ");
        row("webm", "a.webm", video("a.webm"), "0 ");
        row("still image", "a.jpg", small, "0 ");
        row("mp4, index last", "a.mp4.temp", video("a.mp4.temp", true),
            broken + " ITS INDEX STANDS AFTER ITS MEDIA DATA\\.");
        row("webm cut off", "cut.webm", video("a.webm"), broken + " FILE ENDED PREMATURELY\\.");
        row("mp4 cut off", "cut.mp4", video("a.mp4.temp"),
            broken + " STREAM \\d, OFFSET 0X[0-9A-F]+: PARTIAL FILE\\.");
        row("empty still image", "empty.jpg", small, broken + " INVALID DATA FOUND WHEN PROCESSING INPUT\\.");
        row("still image of another size", "a.jpg", large,
            broken + " ITS PICTURE IS 160x120, NOT 320x240\\.");
        row("sound missing", "silent.mp4", withSound, broken + " IT HOLDS NO AUDIO\\.");
        row("cancelled", "a.flv", video("a.flv"), "0  cancelled", true);
    }

    void outputs()
    {
        QFETCH(QString, output);
        QFETCH(Expectation, expect);
        QFETCH(bool, cancel);
        QFETCH(QString, judged);
        QVERIFY(verify::present(buildAppDir()));
        PipeRunner runner;
        runner.cancel = cancel;
        const QString scratch = file("scratch " + QString(QTest::currentDataTag()));
        const verify::Result r =
            verify::verifyOutput(runner, buildAppDir(), scratch, "a.avi", file(output), expect);
        const QString seen =
            QString::number(int(r.verdict)) + " " + r.reason + (r.cancelled ? " cancelled" : "");
        QVERIFY2(QRegularExpression("^" + judged + "$").match(seen).hasMatch(), qPrintable(seen));
        QCOMPARE(runner.runs.size(), 1);
        QCOMPARE(runner.runs[0].label + " " + runner.runs[0].output, "verify " + file(output));
        QCOMPARE(QDir(scratch).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList());
    }

    void boxes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("moovFirst");
        const QByteArray ftyp = box("ftyp", 16), moov = box("moov", 40), mdat = box("mdat", 100);
        QTest::newRow("moov, mdat") << ftyp + moov + mdat << true;
        QTest::newRow("a 64-bit size, moov, a 64-bit mdat")
            << box("free", 20, true) + moov + box("mdat", 50, true) << true;
        QTest::newRow("mdat, moov") << ftyp + mdat + moov << false;
    }

    void boxes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, moovFirst);
        QVERIFY(writeFileBytes(file("boxes.mp4"), bytes));
        QCOMPARE(verify::moovBeforeMdat(file("boxes.mp4")), moovFirst);
        QVERIFY(!verify::moovBeforeMdat(file("no such.mp4")));
    }
};

QTEST_GUILESS_MAIN(TestVerify)
#include "tst_verify.moc"
