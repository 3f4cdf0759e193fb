// "Make Mp4 Streamable": the names it derives, the window with Debian's
// qt-faststart, what may stand in the fixed file's place, copies that fail,
// and choosing the file by dialog or by drag and drop.
#include "common/ui_controls.h"
#include "mp4fix/frmFixMp4.h"
#include "process/frmProgress.h"
#include "support/fixture.h"

#include <QtTest>
#include <QtWidgets>
#include <unistd.h>

namespace {

// Stands in for the progress window: records each command and does `during` instead of the tool.
struct ScriptedRunner : IToolRunner {
    QStringList commands;
    std::function<void()> during = [] {};
    mdlDOSPipe::RunResult run(const ToolRun &run) override
    {
        commands << run.commandLine;
        during();
        return {};
    }
};

// Sends a drag and a drop of the path; true when the window took both.
bool drop(QWidget *window, const QString &path)
{
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &enter);
    QApplication::sendEvent(window, &drop);
    return enter.isAccepted() && drop.isAccepted();
}

} // namespace

class TestFixMp4 : public QObject
{
    Q_OBJECT
    TestAppDir dir;
    const QString clip = dir.file("clip.mp4"); // not streamable: its index stands at its end
    std::unique_ptr<QTemporaryDir> work;       // a fresh folder for each test, open to everyone
    QString source, fixed, temp, other;        // clip.mp4 in it, its fixed file, its working copy, another file

private slots:
    void initTestCase()
    {
        QVERIFY(makeClip(clip, 1, "160x120", false) && !moovBeforeMdat(clip));
        QFile::setPermissions(dir.path(), QFileDevice::Permissions(0x7755)); // the tool runs for everyone
    }
    void init()
    {
        work = std::make_unique<QTemporaryDir>();
        QFile::setPermissions(work->path(), QFileDevice::Permissions(0x7777));
        source = work->filePath("clip.mp4");
        fixed = work->filePath("clip-fixed.mp4");
        temp = fixed + ".tmp";
        other = work->filePath("other");
        QVERIFY(QFile::copy(clip, source) && writeFileBytes(other, "another file"));
    }

    // A run with Debian's qt-faststart through the progress window, or with a scripted tool. What stands in the fixed
    // file's place is removed first where the tool would write through it; a run that cannot be made says why, leaves
    // nothing behind, and the tool does not run without its working copy.
    void makeStreamable_data()
    {
        QTest::addColumn<QString>("setUp");        // what stands in the folder before the run
        QTest::addColumn<bool>("readOnly");        // then the folder is made read-only
        QTest::addColumn<bool>("tool");            // qt-faststart, else the scripted tool
        QTest::addColumn<QStringList>("messages"); // @F the fixed file, @W the working copy
        const QString made = "Mp4 MADE STREAMABLE BY FIXING MOOV ATOM.", already = "Mp4 IS ALREADY STREAMABLE.";
        const QString copy = "Mp4 COULD NOT BE COPIED TO @W (", write = "Mp4 COULD NOT BE WRITTEN TO @F (";
        QTest::newRow("not streamable") << "" << false << true << QStringList{made};
        QTest::newRow("a link in the fixed file's place") << "link" << false << true << QStringList{made};
        QTest::newRow("another name of the source in its place") << "hard link" << false << true << QStringList{made};
        QTest::newRow("already streamable") << "streamable" << false << true << QStringList{already};
        QTest::newRow("no dot: the extension cut by length") << "no dot" << false << true << QStringList{made};
        QTest::newRow("fixed file of an earlier run") << "earlier fixed" << false << false << QStringList{made};
        QTest::newRow("working copy not deleted") << "copy kept" << false << false
                                                  << QStringList{"Mp4 WORKING COPY COULD NOT BE DELETED: @W", already};
        QTest::newRow("source gone") << "no source" << false << false << QStringList{copy + "the file is gone)."};
        QTest::newRow("source a folder") << "source folder" << false << false << QStringList{copy + "it is not a file)."};
        QTest::newRow("working copy a folder") << "copy folder" << false << false
                                               << QStringList{copy + "a folder has the name of the working copy)."};
        QTest::newRow("unreadable source") << "unreadable" << false << false << QStringList{copy + "Permission denied)."};
        QTest::newRow("read-only folder") << "" << true << false << QStringList{copy + "Permission denied)."};
        QTest::newRow("earlier copy, read-only")
            << "earlier copy" << true << false << QStringList{copy + "the working copy left from an earlier run cannot be replaced)."};
        QTest::newRow("link, read-only") << "link" << true << false << QStringList{write + "a link in its place cannot be removed)."};
        QTest::newRow("hard link, read-only")
            << "hard link" << true << false << QStringList{write + "it is another name of the source file and cannot be removed)."};
        QTest::newRow("path too short") << "short path" << false << false
                                        << QStringList{"ERROR# 5 INVALID PROCEDURE CALL OR ARGUMENT. PLEASE CONTACT SUPPORT."};
    }
    void makeStreamable()
    {
        QFETCH(QString, setUp);
        QFETCH(bool, readOnly);
        QFETCH(bool, tool);
        QFETCH(QStringList, messages);
        ScriptedPrompts prompts;
        ScriptedRunner scripted;
        ProgressWindowRunner progress(prompts, dir.path());
        const std::map<QString, std::function<void()>> steps{
            {"", [] {}},
            {"streamable", [&] { runFfmpeg({"-i", clip, "-c", "copy", "-movflags", "+faststart", source}); }},
            {"no source", [&] { QFile::remove(source); }},
            {"source folder", [&] { QFile::remove(source); QDir().mkdir(source); }},
            {"copy folder", [&] { QDir().mkdir(temp); }},
            {"unreadable", [&] { QFile::setPermissions(source, {}); }},
            {"earlier copy", [&] { writeFileBytes(temp, "earlier"); }},
            {"earlier fixed", [&] { writeFileBytes(fixed, "earlier"); }},
            {"link", [&] { QFile::link(other, fixed); }},
            {"hard link", [&] { ::link(QFile::encodeName(source), QFile::encodeName(fixed)); }},
            {"short path", [&] { source = "a.m"; }},
            {"no dot", [&] { QVERIFY(QFile::rename(source, work->filePath("clip_m4v"))); source = work->filePath("clip_m4v"); }},
            {"copy kept", [&] { scripted.during = [&] { QFile::remove(temp); writeFileBytes(temp + "/in", ""); }; }}}; // a folder
        steps.at(setUp)();
        const QByteArray sourceBytes = fileBytes(source);
        QFile::setPermissions(work->path(), QFileDevice::Permissions(readOnly ? 0x5555 : 0x7777));
        frmFixMp4 window(prompts, dir.path(), tool ? static_cast<IToolRunner &>(progress) : scripted);
        window.lblMp4Path->setCaption(source);
        for (QString message : messages)
            prompts.expectMessage(message.replace("@W", temp).replace("@F", fixed));
        {
            AsUnprivilegedUser nobody;
            window.cmdMakeStreamable->click();
        }
        const bool ran = messages.last().contains("STREAMABLE"), made = messages.last().startsWith("Mp4 MADE");
        QCOMPARE(scripted.commands, ran && !tool ? QStringList{dir.path() + "/ma \"" + temp + "\" \"" + fixed + "\""} : QStringList());
        QCOMPARE(prompts.records().at(messages.size() - 1).title, ran ? " Message" : "Error");
        QCOMPARE(prompts.texts(ScriptedPrompts::Kind::ShowInFileManager), made ? QStringList{source} : QStringList());
        QVERIFY(fileBytes(source) == sourceBytes && fileBytes(other) == "another file" && window.txtApp->text().isEmpty());
        QCOMPARE(QFileInfo(temp).isFile(), setUp == "earlier copy"); // no working copy made is left
        QCOMPARE(moovBeforeMdat(fixed) && !QFileInfo(fixed).isSymLink(), tool && made);
        VERIFY_PROMPTS(prompts);
    }

    void chooseAndDrop()
    {
        ScriptedPrompts prompts;
        ScriptedRunner runner;
        frmFixMp4 window(prompts, dir.path(), runner);
        const QString title = "Select Mp4 File";
        prompts.expectOpenFile(std::nullopt, title).expectOpenFile(QString(), title).expectOpenFile(source, title);
        window.cmdMakeStreamable->click(); // no file chosen: the dialog opens instead of a run (cancelled here)
        window.cmdInput->click();          // nothing chosen
        QCOMPARE(window.lblMp4Path->caption(), "");
        window.cmdInput->click();
        QCOMPARE(window.lblMp4Path->toolTip(), " " + source + " ");
        QCOMPARE(prompts.records().first().text, "Mp4 Video File|*.mp4;.m4v;f4v");
        QVERIFY(!drop(&window, work->path()) && window.lblMp4Path->caption() == source); // a folder is not taken
        QVERIFY(drop(&window, clip) && window.lblMp4Path->caption() == clip);
        QVERIFY(runner.commands.isEmpty());
        window.cmdExit->click();
        QCOMPARE(window.result(), QDialog::Accepted);
        VERIFY_PROMPTS(prompts);
    }
};

QTEST_MAIN(TestFixMp4)
#include "tst_fixmp4.moc"
