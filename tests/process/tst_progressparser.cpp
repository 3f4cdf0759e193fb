// Reading progress from recorded output of Debian's ffmpeg, fed in pieces
// as the runner delivers them.
#include "process/progressparser.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTest>

namespace {

QByteArray recording(const char *name)
{
    QFile f(QStringLiteral(VIDLARK_SOURCE_DIR "/tests/process/data/") + QLatin1String(name));
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

// Feeds the bytes in pieces of 1 to 256 bytes, recording the share done
// after each piece.
QList<double> feedInPieces(ProgressParser &parser, const QByteArray &bytes, quint32 seed)
{
    QRandomGenerator random(seed);
    QList<double> fractions;
    for (qsizetype at = 0; at < bytes.size();) {
        const qsizetype n = std::min<qsizetype>(bytes.size() - at, random.bounded(1, 257));
        parser.feed(bytes.mid(at, n));
        at += n;
        if (parser.fraction())
            fractions << *parser.fraction();
    }
    return fractions;
}

} // namespace

class TestProgressParser : public QObject
{
    Q_OBJECT
private slots:
    // What the verdict of a run reads: frames, the word that nothing was
    // encoded, the last error line; the same whatever the pieces.
    void reports_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<qint64>("frames"); // -1: none reported
        QTest::addColumn<bool>("encodedVideo");
        QTest::addColumn<QString>("errorLine");
        QTest::newRow("flv made") << QByteArray("ffmpeg-flv-with-audio.txt") << qint64(300) << true << QString();
        QTest::newRow("disk full") << QByteArray("ffmpeg-flv-disk-full.txt") << qint64(55) << true
                                   << "Error closing file small/out.flv: No space left on device";
        QTest::newRow("still past the end") << QByteArray("ffmpeg-still-past-end.txt") << qint64(0) << false
                                            << "Output file is empty, nothing was encoded (check -ss / -t / -frames "
                                               "parameters if used)";
        QTest::newRow("still exists") << QByteArray("ffmpeg-still-exists.txt") << qint64(-1) << false
                                      << "File 'still.jpg' already exists. Overwrite? [y/N] Not overwriting - exiting";
    }
    void reports()
    {
        QFETCH(QByteArray, file);
        QFETCH(qint64, frames);
        QFETCH(bool, encodedVideo);
        QFETCH(QString, errorLine);
        const QByteArray bytes = recording(file.constData());
        QVERIFY(!bytes.isEmpty());
        for (quint32 seed = 1; seed <= 5; ++seed) {
            ProgressParser parser;
            feedInPieces(parser, bytes, seed);
            parser.finish();
            QCOMPARE(parser.frames().value_or(-1), frames);
            QCOMPARE(parser.encodedVideo(), encodedVideo);
            QCOMPARE(parser.lastErrorLine(), errorLine);
        }
    }

    void recordedEncodes_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<double>("duration");
        QTest::newRow("flv with audio") << QByteArray("ffmpeg-flv-with-audio.txt") << 12.0;
        QTest::newRow("webm without audio") << QByteArray("ffmpeg-webm-without-audio.txt") << 12.0;
    }
    void recordedEncodes()
    {
        QFETCH(QByteArray, file);
        QFETCH(double, duration);
        const QByteArray bytes = recording(file.constData());
        QVERIFY(!bytes.isEmpty());
        for (quint32 seed = 1; seed <= 20; ++seed) {
            ProgressParser parser;
            const QList<double> fractions = feedInPieces(parser, bytes, seed);
            QVERIFY(parser.duration());
            QCOMPARE(*parser.duration(), duration);
            QVERIFY(!fractions.isEmpty());
            for (qsizetype i = 1; i < fractions.size(); ++i)
                QVERIFY(fractions.at(i) >= fractions.at(i - 1));
            // The last status line stands at the end of the source.
            QVERIFY2(fractions.last() > 0.95, qPrintable(QString::number(fractions.last())));
            QVERIFY(parser.speed() && *parser.speed() > 0);
        }
    }

    void unknownDuration()
    {
        ProgressParser parser;
        feedInPieces(parser, recording("ffmpeg-mp4-unknown-duration.txt"), 7);
        QVERIFY(!parser.duration());
        QVERIFY(!parser.fraction());
        QVERIFY(parser.position() && *parser.position() > 1.0);
    }

    void durationWrittenInPieces()
    {
        ProgressParser parser;
        for (const char *piece : {"Input #0, avi, from 'a.avi':\n  Dur", "ation: 00:0", "1:30.50, st", "art: 0.000000, bitrate: 1 kb/s\n"})
            parser.feed(piece);
        QVERIFY(parser.duration());
        QCOMPARE(*parser.duration(), 90.5);
        // A later "Duration:" (another input) does not replace the first.
        parser.feed("Input #1, lavfi\n  Duration: 00:10:00.00, start\n");
        QCOMPARE(*parser.duration(), 90.5);
    }

    void negativeAndHalfLines()
    {
        ProgressParser parser;
        parser.feed("  Duration: 00:00:10.00, start: 0\n");
        parser.feed("frame=    0 fps=0.0 q=0.0 size=       0kB time=-00:00:00.04 bitrate=N/A speed=N/A    \r");
        QVERIFY(!parser.position());
        parser.feed("frame=   50 fps= 49 q=28.0 size=     256kB time=00:00:0");
        QVERIFY(!parser.position()); // not a whole line yet
        parser.feed("5.00 bitrate= 419.4kbits/s speed=2.5x    \r");
        QCOMPARE(*parser.position(), 5.0);
        QCOMPARE(*parser.fraction(), 0.5);
        QCOMPARE(*parser.speed(), 2.5);
        parser.feed("frame=  999 time=00:00:30.00 speed=3x\r");
        QCOMPARE(*parser.fraction(), 1.0);
        QVERIFY(parseClock("01:02:03.5") == 3723.5);
        QVERIFY(!parseClock("N/A"));
        QVERIFY(!parseClock("12:00"));
    }

    void timeLeftIsSteady()
    {
        TimeLeftEstimator estimate;
        QRandomGenerator random(42);
        const double duration = 120;
        std::optional<double> previous;
        for (double wall = 0.5; wall <= 60; wall += 0.5) {
            // About 2x real time with bursts and stalls.
            const double position = std::min(duration, 2.0 * wall * (0.85 + 0.3 * random.generateDouble()));
            const auto left = estimate.update(wall, position, duration);
            if (!left)
                continue;
            QVERIFY(*left >= 0);
            QVERIFY(*left < 600);
            if (previous) {
                // No wild jumps between two updates half a second apart.
                QVERIFY2(*left - *previous < 10, qPrintable(QString("%1 -> %2").arg(*previous).arg(*left)));
            }
            previous = left;
        }
        QVERIFY(previous);
        QVERIFY(*previous < 5);
        // Nothing absurd: a crawl that would take days shows no figure.
        TimeLeftEstimator crawl;
        QVERIFY(!crawl.update(10, 0.001, 100000));
    }

    void lineText()
    {
        QCOMPARE(progressLine(42, 70.0, 2.4), QStringLiteral("Elapsed 0:42 \u2014 about 1:10 left \u2014 2.4\u00d7 real time"));
        QCOMPARE(progressLine(3725, std::nullopt, std::nullopt), QStringLiteral("Elapsed 1:02:05"));
        QCOMPARE(formatDuration(59.6), QStringLiteral("1:00"));
    }
};

QTEST_GUILESS_MAIN(TestProgressParser)
#include "tst_progressparser.moc"
