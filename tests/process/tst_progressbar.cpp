// The progress bar and the time line of the progress window during real
// encodes with Debian's ffmpeg, and for the runs that only show activity.
#include "common/mdlMain.h"
#include "app/ui_forms.h"
#include "encode/commandlines.h"
#include "process/frmProgress.h"
#include "support/scriptedprompts.h"
#include "support/testappdir.h"

#include <QLabel>
#include <QProgressBar>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

class TestProgressBar : public QObject
{
    Q_OBJECT

    struct Sample {
        int minimum, maximum, value;
        QString line;
        bool lineVisible;
    };

    // Runs the command in a fresh progress window with the given kind and
    // samples the bar and the line after every piece of output.
    QList<Sample> runAndSample(Forms &forms, const QString &command, qint16 kind)
    {
        QList<Sample> samples;
        frmProgress &window = forms.progress();
        connect(&window, &frmProgress::outputReceived, this, [&window, &samples] {
            samples << Sample{window.prgEncoding->minimum(), window.prgEncoding->maximum(),
                              window.prgEncoding->value(), window.lblTimeLeft->text(),
                              !window.lblTimeLeft->isHidden()};
        });
        mdlMain::strCommandLine = command;
        mdlMain::intEncodeKind = kind;
        forms.showProgressModal();
        mdlMain::intEncodeKind = 0;
        return samples;
    }

    commandlines::EncodeValues values(const TestAppDir &dir, const QString &source, const QString &out)
    {
        commandlines::EncodeValues v;
        v.appFolder = dir.path();
        v.appFolderShort = dir.path();
        v.sourcePath = source;
        v.outputFolder = out;
        v.flvName = "clip.flv";
        v.webmName = "clip.webm";
        v.videoBitrate = "800";
        v.frameRate = "25";
        v.audioBitrate = "96";
        v.sampleRate = "22050";
        return v;
    }

private slots:
    void barMovesDuringARealEncode()
    {
        ScriptedPrompts prompts;
        TestAppDir dir;
        QTemporaryDir work;
        const QString clip = work.filePath("clip.avi");
        QVERIFY(runFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=640x360:rate=25", "-f", "lavfi", "-i",
                           "sine=frequency=440:sample_rate=44100", "-t", "8", "-c:v", "mpeg4", "-q:v", "3", "-c:a",
                           "pcm_s16le", clip}));
        Forms forms(prompts, dir.path());
        const auto v = values(dir, clip, work.path() + "/");
        // The WebM encoder is slow enough to print many status lines.
        const QList<Sample> samples =
            runAndSample(forms, commandlines::webmCommand(v, commandlines::optionPieces(v)), 3);
        QVERIFY(!samples.isEmpty());
        QList<int> values;
        bool sawTimeLeft = false;
        const QRegularExpression full(QStringLiteral(
            "^Elapsed \\d+:\\d\\d \u2014 about \\d+:\\d\\d left \u2014 \\d+\\.\\d\u00d7 real time$"));
        for (const Sample &s : samples) {
            QVERIFY(s.lineVisible);
            QVERIFY(s.line.startsWith("Elapsed "));
            if (s.maximum == 1000)
                values << s.value;
            sawTimeLeft = sawTimeLeft || full.match(s.line).hasMatch();
        }
        QVERIFY2(values.size() >= 3, qPrintable(QString::number(values.size())));
        for (int i = 1; i < values.size(); ++i)
            QVERIFY(values.at(i) >= values.at(i - 1));
        // It moved through the middle, not only from empty to full.
        QVERIFY(std::any_of(values.begin(), values.end(), [](int x) { return x > 50 && x < 950; }));
        QVERIFY(values.last() > 900);
        QVERIFY(sawTimeLeft);
        VERIFY_PROMPTS(prompts);
    }

    void unknownDurationAndOtherRunsAreBusy()
    {
        ScriptedPrompts prompts;
        TestAppDir dir(TestAppDir::FakeEncoder);
        Forms forms(prompts, dir.path());
        // An encoder whose source has no known length: busy bar, elapsed only.
        qputenv("FAKETOOL_SCRIPT_FFMPEG",
                "err:\\s\\sDuration:\\sN/A,\\sstart:\\s0\\n sleep:50 err:frame=\\s10\\stime=00:00:01.00\\sspeed=2.0x\\r");
        QList<Sample> samples = runAndSample(forms, dir.path() + "/engine/ffmpeg -i x", 1);
        QVERIFY(!samples.isEmpty());
        for (const Sample &s : samples) {
            QCOMPARE(s.maximum, 0);
            QVERIFY(s.lineVisible);
            QVERIFY(!s.line.contains("left"));
            QVERIFY(!s.line.contains("real time"));
        }
        // The faststart and still-image runs show activity only.
        qputenv("FAKETOOL_SCRIPT_FFMPEG",
                "err:\\s\\sDuration:\\s00:00:10.00,\\sstart:\\s0\\n err:frame=\\s10\\stime=00:00:05.00\\sspeed=2.0x\\r");
        samples = runAndSample(forms, dir.path() + "/engine/ffmpeg -i x", 0);
        QVERIFY(!samples.isEmpty());
        for (const Sample &s : samples) {
            QCOMPARE(s.maximum, 0);
            QVERIFY(!s.lineVisible);
        }
        // The same output in an encoder run fills half the bar.
        samples = runAndSample(forms, dir.path() + "/engine/ffmpeg -i x", 2);
        QCOMPARE(samples.last().maximum, 1000);
        QCOMPARE(samples.last().value, 500);
        qunsetenv("FAKETOOL_SCRIPT_FFMPEG");
        VERIFY_PROMPTS(prompts);
    }
};

QTEST_MAIN(TestProgressBar)
#include "tst_progressbar.moc"
