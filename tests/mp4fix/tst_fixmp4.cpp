// "Make Mp4 Streamable": the window with Debian's qt-faststart or a stand-in,
// what may stand in the fixed file's place, the verdict of the faststart
// step and copies that fail.
#include "common/files.h"
#include "common/ui_controls.h"
#include "mp4fix/frmFixMp4.h"
#include "process/frmProgress.h"
#include "support/fixture.h"

#include <QtTest>
#include <QtWidgets>

namespace {

// Runs each tool through the progress window and keeps the faststart command; `cancel` marks its run
// cancelled.
struct Recorder : IToolRunner {
    IToolRunner &window;
    bool cancel = false;
    QStringList commands;
    explicit Recorder(IToolRunner &runner) : window(runner) {}
    mdlDOSPipe::RunResult run(const ToolRun &run) override
    {
        mdlDOSPipe::RunResult result = window.run(run);
        if (run.label == "faststart")
            commands << run.commandLine, result.cancelled = cancel;
        return result;
    }
};

} // namespace

class TestFixMp4 : public QObject
{
    Q_OBJECT
    TestAppDir dir;
    // Not streamable: its index stands at its end.
    const QString clip = dir.file("clip.mp4");
    // A fresh folder for each test, and in it clip.mp4, F and W.
    std::unique_ptr<QTemporaryDir> work;
    QString source, fixed, temp;

    QString state(const QString &path) const
    {
        const QFileInfo f(path);
        return f.isSymLink()                ? "link"
            : !f.exists()                   ? "none"
            : files::sameFile(path, source) ? "source"
            : moovBeforeMdat(path)          ? "streamable"
                                            : QString(fileBytes(path).trimmed());
    }

private slots:
    void initTestCase()
    {
        QCOMPARE(std::pair(makeClip(clip, 1, "160x120", false), moovBeforeMdat(clip)),
                 std::pair(true, false));
    }
    void init()
    {
        work = std::make_unique<QTemporaryDir>();
        source = work->filePath("clip.mp4");
        fixed = work->filePath("clip-fixed.mp4");
        temp = fixed + ".tmp";
        QVERIFY(QFile::copy(clip, source));
        QVERIFY(writeFileBytes(work->filePath("other"), "another file"));
        QFile::remove(dir.file("ma"));
        QVERIFY(QFile::link(QFile::symLinkTarget(buildAppDir() + "/ma"), dir.file("ma")));
    }

    // What stands in F's place is removed first where the tool would write through it; only a streamable file
    // the tool wrote is made, else what stood there comes back; a run that cannot be made says why, leaves
    // nothing behind, and the tool does not run without its working copy W. Each row: shell lines run in the
    // folder first (clip.mp4, F, W, "other"), a stand-in faststart tool ($1 W, $2 F; Debian's when empty,
    // cancelled by the user with "cancel"), what stands at F afterwards, the messages (@F and @W stand for F
    // and W).
    void makeStreamable_data()
    {
        QTest::addColumn<QByteArray>("setUp");
        QTest::addColumn<QByteArray>("ma");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QStringList>("messages");
        const auto row = [](const char *name, const QByteArray &setUp, const QByteArray &ma,
                            const char *after, const QStringList &messages) {
            QTest::newRow(name) << setUp << ma << QString(after) << messages;
        };
        const QString made = "Mp4 MADE STREAMABLE BY FIXING MOOV ATOM.", not_ = "Mp4 NOT MADE STREAMABLE! ";
        const QString copy = "Mp4 COULD NOT BE COPIED TO @W (", write = "Mp4 COULD NOT BE WRITTEN TO @F (";
        const QByteArray declines = "echo 'last atom in file was not a moov atom'",
                         link = "ln -s other clip-fixed.mp4";
        const QByteArray hard = "ln clip.mp4 clip-fixed.mp4", earlier = "echo earlier > clip-fixed.mp4",
                         ro = " && chmod 555 .";
        row("a link in F's place", link, "", "streamable", {made});
        row("another name of the source in F's place", hard, "", "streamable", {made});
        row("already streamable",
            "ffmpeg -nostdin -v error -y -i \"$1\" -c copy -movflags +faststart clip.mp4", "", "none",
            {"Mp4 IS ALREADY STREAMABLE."});
        row("an earlier F, nothing written", earlier, declines, "earlier",
            {not_ + "LAST ATOM IN FILE WAS NOT A MOOV ATOM."});
        row("the index still last", ":", "cp \"$1\" \"$2\"", "none",
            {not_ + "THE OUTPUT FILE IS INCOMPLETE. ITS INDEX STANDS AFTER ITS MEDIA DATA."});
        row("cancelled", earlier, "cancel", "earlier", {});
        row("W not deleted", ":", "rm \"$1\"; mkdir \"$1\"; " + declines, "none",
            {"Mp4 WORKING COPY COULD NOT BE DELETED: @W", not_ + "LAST ATOM IN FILE WAS NOT A MOOV ATOM."});
        row("W a folder", "mkdir clip-fixed.mp4.tmp", "", "none",
            {copy + "a folder has the name of the working copy)."});
        row("earlier W, read-only", "echo earlier > clip-fixed.mp4.tmp" + ro, "", "none",
            {copy + "the working copy left from an earlier run cannot be replaced)."});
        row("link, read-only", link + ro, "", "link", {write + "a link in its place cannot be removed)."});
        row("hard link, read-only", hard + ro, "", "source",
            {write + "it is another name of the source file and cannot be removed)."});
    }
    void makeStreamable()
    {
        QFETCH(QByteArray, setUp);
        QFETCH(QByteArray, ma);
        QFETCH(QString, after);
        QFETCH(QStringList, messages);
        QCOMPARE(QProcess::execute("/bin/sh", {"-c", "cd \"$0\" && " + setUp, work->path(), clip}), 0);
        if (ma.size() && ma != "cancel")
            dir.setTool("ma", ma);
        const QByteArray sourceBytes = fileBytes(source);
        ScriptedPrompts prompts;
        ProgressWindowRunner progress(prompts, dir.path());
        Recorder runner(progress);
        runner.cancel = ma == "cancel";
        frmFixMp4 window(prompts, dir.path(), runner);
        window.lblMp4Path->setCaption(source);
        for (QString message : messages)
            prompts.expectMessage(message.replace("@W", temp).replace("@F", fixed));
        // A read-only folder is read-only for an ordinary user.
        auto nobody = setUp.contains("chmod") ? std::make_unique<AsUnprivilegedUser>() : nullptr;
        window.cmdMakeStreamable->click();
        nobody.reset();
        const bool ran = runner.cancel || messages.last().contains("STREAMABLE");
        QCOMPARE(runner.commands,
                 ran ? QStringList{dir.path() + "/ma \"" + temp + "\" \"" + fixed + "\""} : QStringList());
        QCOMPARE(prompts.texts(ScriptedPrompts::Kind::ShowInFileManager),
                 after == "streamable" ? QStringList{source} : QStringList());
        QCOMPARE(fileBytes(source) + fileBytes(work->filePath("other")), sourceBytes + "another file");
        // No working copy made is left, nothing set aside stays.
        QCOMPARE(QFileInfo(temp).isFile(), setUp.contains("> clip-fixed.mp4.tmp"));
        QCOMPARE(QDir(work->path()).entryList(QDir::Hidden | QDir::Files),
                 QDir(work->path()).entryList(QDir::Files));
        QCOMPARE(state(fixed), after);
        VERIFY_PROMPTS(prompts);
    }
};

QTEST_MAIN(TestFixMp4)
#include "tst_fixmp4.moc"
