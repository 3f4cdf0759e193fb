// The rules of an encode request: the checks and their order, the judgement
// of an output, and the faststart step that must never lose the MP4.
#include "common/errors.h"
#include "encode/encoderequest.h"
#include "support/testappdir.h"
#include "support/testprogram.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace encode;

class TestEncodeRequest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    RequestState ready() const
    {
        RequestState s;
        s.source = m_dir.filePath("src/clip.avi");
        s.outDir = m_dir.filePath("out") + "/";
        s.flv = 1;
        s.mp4 = 1;
        s.flvName = "clip.flv";
        s.mp4Name = "clip.mp4";
        s.webmName = "clip.webm";
        s.minute = "00";
        s.second = "30";
        return s;
    }

    // Runs the checks, answering the overwrite questions from a list and
    // recording them.
    std::optional<Failure> check(const RequestState &s, QList<bool> answers = {}, QStringList *asked = nullptr)
    {
        return validate(s, [&](const QString &q) {
            if (asked)
                *asked << q;
            return answers.isEmpty() ? true : answers.takeFirst();
        });
    }


private slots:
    void initTestCase()
    {
        QVERIFY(QDir().mkpath(m_dir.filePath("src")));
        QVERIFY(QDir().mkpath(m_dir.filePath("out")));
        writeFileBytes(m_dir.filePath("src/clip.avi"), QByteArray(10, 'x'));
    }

    // The window-level tests cover the order of the first checks; these are
    // the cases they do not reach.
    void namesOfRequestedFormats()
    {
        // Blanks are text: a source of blanks passes the first check.
        RequestState s = ready();
        s.source = "   ";
        s.flvName.clear();
        auto f = check(s);
        QCOMPARE(f->message, QStringLiteral("OUTPUT FLV FILE NAME MISSING!"));
        QVERIFY(f->target == Target::txtOutFileFLV && f->style == Style::Error);
        // A greyed box counts for "at least one format" but is not requested.
        s = ready();
        s.flv = 2;
        s.mp4 = 0;
        s.flvName.clear();
        QVERIFY(!check(s));
        s = ready();
        s.webm = 1;
        s.webmName.clear();
        QCOMPARE(check(s)->message, QStringLiteral("OUTPUT WEBM FILE NAME MISSING!"));
        s = ready();
        s.mp4Name.clear();
        QCOMPARE(check(s)->message, QStringLiteral("OUTPUT MP4 FILE NAME MISSING!"));
    }

    void overwriteQuestions()
    {
        writeFileBytes(m_dir.filePath("out/old.flv"), QByteArray(5, 'x'));
        writeFileBytes(m_dir.filePath("out/old.mp4"), QByteArray(5, 'x'));
        RequestState s = ready();
        s.flvName = "old.flv";
        s.mp4Name = "old.mp4";
        // No to the first question asks no more (Yes then No is a window test).
        QStringList asked;
        auto f = check(s, {false}, &asked);
        QCOMPARE(asked, QStringList{"old.flv ALREADY EXISTS IN OUTPUT FOLDER. OVERWRITE?"});
        QCOMPARE(f->message, QStringLiteral("CHANGE THE NAME OF THE OUTPUT FLV FILE."));
        QVERIFY(f->style == Style::Notice && f->reaction == Reaction::FocusSelectAll && f->target == Target::txtOutFileFLV);
        asked.clear();
        QVERIFY(!check(s, {true, true}, &asked));
        QCOMPARE(asked.size(), 2);

        // Only plain files are asked about.
        QDir().mkpath(m_dir.filePath("out/dir.webm"));
        s = ready();
        s.flv = s.mp4 = 0;
        s.webm = 1;
        s.webmName = "dir.webm";
        asked.clear();
        QVERIFY(!check(s, {}, &asked));
        QVERIFY(asked.isEmpty());
    }

    void outputThatIsTheSourceIsRefused()
    {
        // The same file by another spelling, and through a link.
        RequestState s = ready();
        s.outDir = m_dir.filePath("out/../src") + "/";
        s.flvName = "clip.avi";
        QStringList asked;
        auto f = check(s, {true}, &asked);
        QVERIFY(f);
        QCOMPARE(f->message, QStringLiteral("THE OUTPUT FLV FILE WOULD REPLACE THE SOURCE FILE. CHANGE ITS NAME."));
        QVERIFY(f->style == Style::Error && f->target == Target::txtOutFileFLV);
        QVERIFY(asked.isEmpty());

        QVERIFY(QFile::link(m_dir.filePath("src/clip.avi"), m_dir.filePath("out/link.mp4")));
        s = ready();
        s.mp4Name = "link.mp4";
        f = check(s, {true}, &asked);
        QVERIFY(f);
        QVERIFY(f->target == Target::txtOutFileMp4);
        QVERIFY(isSameFile(m_dir.filePath("out/link.mp4"), s.source));

        // A source named like the MP4's intermediate file would be replaced
        // by the rename before the faststart run.
        writeFileBytes(m_dir.filePath("src/a.mp4.temp"), QByteArray(10, 'x'));
        s = ready();
        s.source = m_dir.filePath("src/a.mp4.temp");
        s.outDir = m_dir.filePath("src") + "/";
        s.flv = 0;
        s.mp4Name = "a.mp4";
        f = check(s, {true}, &asked);
        QVERIFY(f);
        QVERIFY(f->target == Target::txtOutFileMp4);
        s.flv = 1;
        s.mp4 = 0;
        s.flvName = "a.flv";
        QVERIFY(!check(s, {true}));
        QVERIFY(!isSameFile(m_dir.filePath("out/none.mp4"), s.source));
    }

    void stillImageTime()
    {
        RequestState s = ready();
        s.stillImage = 1;
        auto minuteFails = [&](const QString &m) {
            s.minute = m;
            auto f = check(s);
            return f && f->message.startsWith(QLatin1String("INVALID INPUT FOR MINUTES"));
        };
        QVERIFY(minuteFails("-1"));
        QVERIFY(minuteFails("59.5")); // rounds to 60
        QVERIFY(!minuteFails("59.4"));
        QVERIFY(!minuteFails("0"));
        s.minute = "00";
        auto secondFails = [&](const QString &sec) {
            s.second = sec;
            auto f = check(s);
            return f && f->message == QLatin1String("INVALID INPUT FOR SECONDS. ENTER A VALUE FROM 0 TO 59!")
                && f->target == Target::txtFrameSecond;
        };
        QVERIFY(secondFails("-0.4")); // rounds down below zero
        QVERIFY(!secondFails(" 7"));
        QCOMPARE(runtimeErrorOf([&] { s.minute = "1"; s.second = "x"; check(s); }), rt::TypeMismatch);
        // Without a still image the texts are not read at all.
        s.stillImage = 0;
        s.minute = "zz";
        s.second = "99999";
        QVERIFY(!check(s));
    }

    void sizeLimit()
    {
        QVERIFY(isTooSmall(0));
        QVERIFY(isTooSmall(300000));
        QVERIFY(isTooSmall(524288));
        QVERIFY(!isTooSmall(524289));
        QVERIFY(!isTooSmall(1572864));
    }

    void judgement()
    {
        const QString out = m_dir.filePath("out/judge.flv");
        QFile::remove(out);
        mdlDOSPipe::RunResult unknown; // the runner could not wait for the tool
        unknown.started = true;
        FileSnapshot before = FileSnapshot::of(out);
        QVERIFY(!before.exists);
        QVERIFY(judgeRun(true, unknown, out, before) == Outcome::Cancelled);
        QVERIFY(judgeRun(false, unknown, out, before) == Outcome::NoOutput);
        writeFileBytes(out, QByteArray(300000, 'x'));
        QVERIFY(judgeRun(false, unknown, out, before) == Outcome::BadSource);
        writeFileBytes(out, QByteArray(600000, 'x'));
        QVERIFY(judgeRun(false, unknown, out, before) == Outcome::Made);
        // An older output the run left untouched is no output of this run.
        before = FileSnapshot::of(out);
        QVERIFY(judgeRun(false, unknown, out, before) == Outcome::NoOutput);
        QTest::qWait(5);
        writeFileBytes(out, QByteArray(600000, 'x'));
        QVERIFY(judgeRun(false, unknown, out, before) == Outcome::Made);
    }

    void faststartKeepsTheMp4()
    {
        const QString mp4 = m_dir.filePath("out/fs.mp4");
        const QString temp = mp4 + ".temp";
        // The window-level tests run the tool's outcomes through the fake;
        // here the rule for a run with no exit status, and the rename errors.
        // A tool killed or crashed (no exit status) may have left half a file.
        writeFileBytes(mp4, QByteArray(1000, 'e'));
        moveToTemp(mp4, temp);
        writeFileBytes(mp4, QByteArray(100, 'p'));
        QVERIFY(!settleFaststart(mp4, temp, std::nullopt));
        QCOMPARE(fileBytes(mp4), QByteArray(1000, 'e'));
        QVERIFY(!QFile::exists(temp));

        // A rename that cannot be done is a run-time error.
        QCOMPARE(runtimeErrorOf([&] { moveToTemp(m_dir.filePath("out/absent.mp4"), m_dir.filePath("out/absent.mp4.temp")); }),
                 rt::FileNotFound);
        QDir().mkpath(m_dir.filePath("out/busy.mp4.temp"));
        writeFileBytes(m_dir.filePath("out/busy.mp4"), QByteArray(5, 'x'));
        QCOMPARE(runtimeErrorOf([&] { moveToTemp(m_dir.filePath("out/busy.mp4"), m_dir.filePath("out/busy.mp4.temp")); }),
                 rt::FileAlreadyExists);
    }

    void pictureCopy()
    {
        const QString app = m_dir.filePath("app");
        QDir().mkpath(app + "/config");
        writeFileBytes(app + "/logo.png", QByteArray(5, 'x'));
        QVERIFY(QFile::link(app + "/logo.png", app + "/link.png"));
        writeFileBytes(app + "/ma", QByteArray(5, 'x'));
        writeFileBytes(app + "/notes.txt", QByteArray(5, 'x'));
        writeFileBytes(app + "/prog", QByteArray(5, 'x'));
        const QString program = "prog";
        QCOMPARE(pictureCopyToDelete(app, "logo.png", program), app + "/logo.png");
        QCOMPARE(pictureCopyToDelete(app, QString(), program), QString());
        QCOMPARE(pictureCopyToDelete(app, "config", program), QString());
        QCOMPARE(pictureCopyToDelete(app, "link.png", program), QString());
        QCOMPARE(pictureCopyToDelete(app, "../src/clip.avi", program), QString());
        QCOMPARE(pictureCopyToDelete(app, "gone.png", program), QString());
        // The program's own files are never taken for a picture copy.
        QCOMPARE(pictureCopyToDelete(app, "ma", program), QString());
        QCOMPARE(pictureCopyToDelete(app, "prog", program), QString());
        QCOMPARE(pictureCopyToDelete(app, "notes.txt", program), QString());
    }
};

QTEST_GUILESS_MAIN(TestEncodeRequest)
#include "tst_encoderequest.moc"
