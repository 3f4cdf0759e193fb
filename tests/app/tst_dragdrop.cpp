// Files and folders dropped on the main window and on the fixer.
#include "app/frmMain.h"
#include "common/ui_controls.h"
#include "app/ui_forms.h"
#include "mp4fix/frmFixMp4.h"
#include "support/scriptedprompts.h"
#include "support/testappdir.h"
#include "support/testprogram.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QLineEdit>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

namespace {

// Drags the paths over the widget and drops them; returns whether the
// widget took the drag.
bool dropOn(QWidget *target, const QStringList &paths)
{
    QMimeData mime;
    QList<QUrl> urls;
    for (const QString &p : paths)
        urls << QUrl::fromLocalFile(p);
    mime.setUrls(urls);
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

void touch(const QString &path)
{
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write("x");
}

} // namespace

class TestDragDrop : public QObject
{
    Q_OBJECT

    struct Program : TestProgram {
        QTemporaryDir work;
        Program() { start(); }
    };

private slots:
    void fileSetsTheSourceLikeTheButton()
    {
        Program p;
        QDir().mkpath(p.work.filePath("clips"));
        const QString clip = p.work.filePath("clips/holiday.2012.avi");
        const QString other = p.work.filePath("clips/other.mov");
        touch(clip);
        touch(other);
        // Several files: the first counts, nothing is said about the rest.
        QVERIFY(dropOn(p.window.get(), {clip, other}));
        QCOMPARE(p.window->lblInput->caption(), clip);
        QCOMPARE(p.window->lblInput->toolTip(), " " + clip + " ");
        QCOMPARE(p.window->lblOutDir->caption(), p.work.filePath("clips") + "/");
        QCOMPARE(p.window->txtOutFileFLV->text(), QStringLiteral("holiday.flv"));
        QCOMPARE(p.window->txtOutFileMp4->text(), QStringLiteral("holiday.mp4"));
        QCOMPARE(p.window->txtOutFileWebm->text(), QStringLiteral("holiday.webm"));

        // A source in its own output folder gets "conv_" as the button gives it.
        const QString flv = p.work.filePath("clips/clip.flv");
        touch(flv);
        QVERIFY(dropOn(p.window.get(), {flv}));
        QCOMPARE(p.window->txtOutFileFLV->text(), QStringLiteral("conv_clip.flv"));

        // A locked output folder stays.
        ui::setCheckValue(p.window->chkLockLocation, 1);
        p.window->lblOutDir->setCaption(p.work.filePath("out") + "/");
        QVERIFY(dropOn(p.window.get(), {clip}));
        QCOMPARE(p.window->lblOutDir->caption(), p.work.filePath("out") + "/");
        VERIFY_PROMPTS(p.prompts);
    }

    void folderSetsTheOutputFolder()
    {
        Program p;
        QDir().mkpath(p.work.filePath("web videos"));
        QVERIFY(dropOn(p.window.get(), {p.work.filePath("web videos")}));
        QCOMPARE(p.window->lblOutDir->caption(), p.work.filePath("web videos") + "/");
        QVERIFY(p.window->lblInput->caption().isEmpty());
        VERIFY_PROMPTS(p.prompts);
    }

    void profileIsLoaded()
    {
        Program p;
        // Save a profile with settings that differ from the start state.
        ui::setCheckValue(p.window->chkWebm, 1);
        p.window->cmbVideoFrameRate->setCurrentIndex(7);
        const QString profile = p.work.filePath("web.VLP");
        p.prompts.expectSaveFile(profile);
        p.prompts.expectMessage("PROFILE SAVED AS " + profile);
        p.window->mnuSaveProfile_Click();
        ui::setCheckValue(p.window->chkWebm, 0);
        p.window->cmbVideoFrameRate->setCurrentIndex(4);

        QVERIFY(dropOn(p.window.get(), {profile}));
        QCOMPARE(ui::checkValue(p.window->chkWebm), 1);
        QCOMPARE(p.window->cmbVideoFrameRate->currentText(), QStringLiteral("Auto"));
        QVERIFY(p.window->lblInput->caption().isEmpty());
        VERIFY_PROMPTS(p.prompts);
    }

    void nothingButLocalFiles()
    {
        Program p;
        QMimeData mime;
        mime.setText("just text");
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(p.window.get(), &enter);
        QVERIFY(!enter.isAccepted());
        mime.setUrls({QUrl("https://www.example.com/clip.mp4")});
        QDragEnterEvent web(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(p.window.get(), &web);
        QVERIFY(!web.isAccepted());
    }

    void fileDroppedOnTheFixer()
    {
        ScriptedPrompts prompts;
        TestAppDir dir;
        QTemporaryDir work;
        Forms forms(prompts, dir.path());
        frmFixMp4 fixer(forms);
        const QString mp4 = work.filePath("clip.mp4");
        touch(mp4);
        QVERIFY(dropOn(&fixer, {mp4, work.filePath("second.mp4")}));
        QCOMPARE(fixer.lblMp4Path->caption(), mp4);
        QCOMPARE(fixer.lblMp4Path->toolTip(), " " + mp4 + " ");
        QVERIFY(!dropOn(&fixer, {work.path()}));
        QCOMPARE(fixer.lblMp4Path->caption(), mp4);
        VERIFY_PROMPTS(prompts);
    }
};

QTEST_MAIN(TestDragDrop)
#include "tst_dragdrop.moc"
