// The "Make Mp4 Streamable" tool with Debian's qt-faststart as ma.
#include "app/mdlMain.h"
#include "app/ui_controls.h"
#include "app/ui_forms.h"
#include "mp4fix/fixmp4.h"
#include "mp4fix/frmFixMp4.h"
#include "support/scriptedprompts.h"
#include "support/testappdir.h"
#include "support/testprogram.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

namespace {

QByteArray sha(const QString &path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

} // namespace

class TestFixMp4 : public QObject
{
    Q_OBJECT

    QTemporaryDir m_work;
    QString m_slow;   // moov at the end
    QString m_ready;  // made with +faststart

    struct Tool {
        ScriptedPrompts prompts;
        TestAppDir dir;
        Forms forms{prompts, dir.path()};
        frmFixMp4 window{forms};
    };

    void runOn(Tool &t, const QString &path)
    {
        t.window.lblMp4Path->setCaption(path);
        t.window.cmdMakeStreamable_Click();
    }

    QString copyOf(const QString &from, const QString &name)
    {
        const QString to = m_work.filePath(name);
        QFile::remove(to);
        QFile::copy(from, to);
        return to;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_work.isValid());
        const QString clip = m_work.filePath(QStringLiteral("clip.avi"));
        QVERIFY(makeClip(clip, 2));
        m_slow = m_work.filePath(QStringLiteral("slow.src"));
        m_ready = m_work.filePath(QStringLiteral("ready.src"));
        QVERIFY(runFfmpeg({"-i", clip, "-c:v", "libx264", "-c:a", "aac", "-f", "mp4", m_slow}));
        QVERIFY(runFfmpeg({"-i", clip, "-c:v", "libx264", "-c:a", "aac", "-movflags", "+faststart", "-f", "mp4", m_ready}));
        QVERIFY(!moovBeforeMdat(m_slow));
        QVERIFY(moovBeforeMdat(m_ready));
    }

    void names()
    {
        using mp4fix::deriveNames;
        QCOMPARE(deriveNames("/v/clip.m4v").fixed, QStringLiteral("/v/clip-fixed.mp4"));
        QCOMPARE(deriveNames("/v/clip.m4v").work, QStringLiteral("/v/clip-fixed.mp4.tmp"));
        QCOMPARE(deriveNames("/v/CLIP.MP4").fixed, QStringLiteral("/v/CLIP-fixed.mp4"));
        QCOMPARE(deriveNames("/v/a.b.f4v").fixed, QStringLiteral("/v/a.b-fixed.mp4"));
        // By length, not by the dot.
        QCOMPARE(deriveNames("/v/movie").fixed, QStringLiteral("/v/m-fixed.mp4"));
        QTemporaryDir plain, spaced(QDir::tempPath() + "/app folder XXXXXX");
        QCOMPARE(mp4fix::faststartCommand(plain.path(), deriveNames("/v/clip.mp4")),
                 plain.path() + QStringLiteral("/ma \"/v/clip-fixed.mp4.tmp\" \"/v/clip-fixed.mp4\""));
        QCOMPARE(mp4fix::faststartCommand(spaced.path(), deriveNames("/v/clip.mp4")),
                 QLatin1Char('"') + spaced.path() + QStringLiteral("\"/ma \"/v/clip-fixed.mp4.tmp\" \"/v/clip-fixed.mp4\""));
    }

    void windowLooks()
    {
        Tool t;
        QCOMPARE(t.window.windowTitle(), QStringLiteral("Make Mp4 Streamable"));
        QCOMPARE(t.window.cmdInput->text(), QStringLiteral("&Select Mp4..."));
        QCOMPARE(t.window.cmdMakeStreamable->toolTip(), QStringLiteral(" Make Mp4 streamable "));
        QVERIFY(t.window.txtApp->isHidden());
        t.window.lblMp4Path->setCaption(QStringLiteral("/x/y.mp4"));
        QCOMPARE(t.window.lblMp4Path->toolTip(), QStringLiteral(" /x/y.mp4 "));
    }

    void makesStreamable()
    {
        Tool t;
        const QString source = copyOf(m_slow, QStringLiteral("holiday clip.mp4"));
        const QByteArray before = sha(source);
        t.prompts.expectMessage(QStringLiteral("Mp4 MADE STREAMABLE BY FIXING MOOV ATOM."));
        runOn(t, source);
        const QString fixed = m_work.filePath(QStringLiteral("holiday clip-fixed.mp4"));
        QVERIFY2(moovBeforeMdat(fixed), qPrintable(mp4TopLevelAtoms(fixed).join(',')));
        QCOMPARE(probeStreams(fixed), probeStreams(source));
        QCOMPARE(probeValue(fixed, "format=duration"), probeValue(source, "format=duration"));
        QCOMPARE(t.prompts.records().first().title, QStringLiteral(" Message"));
        QCOMPARE(t.prompts.revealed(), QStringList{source});
        QCOMPARE(sha(source), before);
        QVERIFY(!QFile::exists(fixed + ".tmp"));
        QVERIFY(t.window.txtApp->text().isEmpty());
        // The window keeps its path for another run.
        QCOMPARE(t.window.lblMp4Path->caption(), source);
        VERIFY_PROMPTS(t.prompts);
    }

    void alreadyStreamable()
    {
        Tool t;
        const QString source = copyOf(m_ready, QStringLiteral("ready.MP4"));
        const QByteArray before = sha(source);
        t.prompts.expectMessage(QStringLiteral("Mp4 IS ALREADY STREAMABLE."));
        runOn(t, source);
        QVERIFY(!QFile::exists(m_work.filePath("ready-fixed.mp4")));
        QVERIFY(!QFile::exists(m_work.filePath("ready-fixed.mp4.tmp")));
        QVERIFY(t.prompts.revealed().isEmpty());
        QCOMPARE(sha(source), before);
        QVERIFY(t.window.txtApp->text().isEmpty());
        VERIFY_PROMPTS(t.prompts);
    }

    void earlierFixedFileCounts()
    {
        Tool t;
        const QString source = copyOf(m_ready, QStringLiteral("again.m4v"));
        QFile old(m_work.filePath("again-fixed.mp4"));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("left from an earlier run");
        old.close();
        t.prompts.expectMessage(QStringLiteral("Mp4 MADE STREAMABLE BY FIXING MOOV ATOM."));
        runOn(t, source);
        QCOMPARE(t.prompts.revealed(), QStringList{source});
        VERIFY_PROMPTS(t.prompts);
    }

    void leftoverWorkCopyIsReplaced()
    {
        Tool t;
        const QString source = copyOf(m_slow, QStringLiteral("left.mp4"));
        QFile junk(m_work.filePath("left-fixed.mp4.tmp"));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write(QByteArray(1000, 'j'));
        junk.close();
        t.prompts.expectMessage(QStringLiteral("Mp4 MADE STREAMABLE BY FIXING MOOV ATOM."));
        runOn(t, source);
        QCOMPARE(probeStreams(m_work.filePath("left-fixed.mp4")), probeStreams(source));
        QVERIFY(!QFile::exists(junk.fileName()));
        VERIFY_PROMPTS(t.prompts);
    }

    void failedCopyRunsNoTool_data()
    {
        QTest::addColumn<QString>("what");
        QTest::newRow("source gone") << "gone";
        QTest::newRow("source is a folder") << "folder";
        QTest::newRow("folder not writable") << "readonly";
    }
    void failedCopyRunsNoTool()
    {
        QFETCH(QString, what);
        Tool t;
        // A stand-in for ma that leaves a mark when it runs at all.
        const QString mark = m_work.filePath("ma-ran");
        QFile::remove(mark);
        QFile::remove(t.dir.file("ma"));
        t.dir.writeFile("ma", QStringLiteral("#!/bin/sh\ntouch '%1'\n").arg(mark).toUtf8());
        QFile(t.dir.file("ma")).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

        QString source;
        if (what == "gone") {
            source = m_work.filePath("vanished.mp4");
        } else if (what == "folder") {
            source = m_work.filePath("folder.mp4");
            QDir().mkpath(source);
        } else {
            // Root ignores permission bits; a working copy that can only be a
            // folder makes the copy fail all the same.
            source = copyOf(m_slow, QStringLiteral("blocked.mp4"));
            QDir().mkpath(m_work.filePath("blocked-fixed.mp4.tmp"));
        }
        t.prompts.expectMessage(QString());
        runOn(t, source);
        QVERIFY(t.prompts.records().first().icon == MsgIcon::Critical);
        QVERIFY(t.prompts.messages().first().startsWith(QLatin1String("Mp4 COULD NOT BE COPIED TO ")));
        QVERIFY(!QFile::exists(mark));
        QVERIFY(t.window.txtApp->text().isEmpty());
        VERIFY_PROMPTS(t.prompts);
    }

    void noFileChosenOpensTheDialog()
    {
        Tool t;
        t.prompts.expectOpenFile(std::nullopt, QStringLiteral("Select Mp4 File"));
        t.window.cmdMakeStreamable_Click();
        QCOMPARE(t.prompts.records().first().text, QStringLiteral("Mp4 Video File|*.mp4;.m4v;f4v"));
        QVERIFY(t.window.lblMp4Path->caption().isEmpty());
        t.prompts.expectOpenFile(QStringLiteral("/v/chosen.mp4"));
        t.window.cmdInput_Click();
        QCOMPARE(t.window.lblMp4Path->caption(), QStringLiteral("/v/chosen.mp4"));
        VERIFY_PROMPTS(t.prompts);
    }
};

QTEST_MAIN(TestFixMp4)
#include "tst_fixmp4.moc"
