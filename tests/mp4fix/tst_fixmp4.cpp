// The "Make Mp4 Streamable" tool with Debian's qt-faststart as ma.
#include "common/mdlMain.h"
#include "common/ui_controls.h"
#include "app/ui_forms.h"
#include "mp4fix/fixmp4.h"
#include "mp4fix/frmFixMp4.h"
#include "support/privileges.h"
#include "support/scriptedprompts.h"
#include "support/testappdir.h"
#include "support/testprogram.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <optional>
#include <unistd.h>

namespace {

QByteArray sha(const QString &path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

// What a path holds, to see that a run left S exactly as it was.
QString stateOf(const QString &path)
{
    const QFileInfo info(path);
    if (info.isSymLink())
        return QStringLiteral("link to ") + info.symLinkTarget();
    if (!info.exists())
        return QStringLiteral("nothing");
    if (info.isDir())
        return QStringLiteral("folder");
    return QStringLiteral("file ") + QString::number(info.size()) + QLatin1Char(' ')
        + QString::fromLatin1(sha(path).toHex());
}

// The window, telling which cursor showed while it copied S to W.
class WatchedFixMp4 : public frmFixMp4
{
public:
    using frmFixMp4::frmFixMp4;
    QList<Qt::CursorShape> copyCursors;

protected:
    QString copySourceToWork(const mp4fix::FixNames &names) override
    {
        const QCursor *cursor = QApplication::overrideCursor();
        copyCursors << (cursor ? cursor->shape() : Qt::ArrowCursor);
        return frmFixMp4::copySourceToWork(names);
    }
};

enum class As { Root, Nobody };

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
        WatchedFixMp4 window{forms};
    };

    // One run on the path; whatever its outcome, S is as it was, W is gone
    // (a folder of the user's in its place stays as it is), txtApp is empty
    // and the normal cursor is back. Returns what is amiss.
    QString runOn(Tool &t, const QString &path, As as = As::Root)
    {
        const QString before = stateOf(path);
        const QString work = mp4fix::deriveNames(path).work;
        const QString workBefore = stateOf(work);
        t.window.lblMp4Path->setCaption(path);
        {
            std::optional<AsUnprivilegedUser> user;
            if (as == As::Nobody)
                user.emplace();
            t.window.cmdMakeStreamable_Click();
        }
        QStringList amiss;
        if (stateOf(path) != before)
            amiss << QStringLiteral("S changed: ") + stateOf(path);
        const QString workAfter = stateOf(work);
        if (workBefore == QLatin1String("folder") ? workAfter != workBefore : workAfter != QLatin1String("nothing"))
            amiss << QStringLiteral("W is there: ") + workAfter;
        if (!t.window.txtApp->text().isEmpty())
            amiss << QStringLiteral("txtApp holds ") + t.window.txtApp->text();
        if (QApplication::overrideCursor())
            amiss << QStringLiteral("a cursor is still set");
        return amiss.join(QStringLiteral("; "));
    }

    // Puts a stand-in for ma that leaves a mark when it runs at all; returns
    // the mark's path.
    QString markingTool(Tool &t)
    {
        const QString mark = m_work.filePath("ma-ran");
        QFile::remove(mark);
        QFile::remove(t.dir.file("ma"));
        t.dir.writeFile("ma", QStringLiteral("#!/bin/sh\ntouch '%1'\n").arg(mark).toUtf8());
        QFile(t.dir.file("ma")).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        return mark;
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
        t.prompts.expectMessage(QStringLiteral("Mp4 MADE STREAMABLE BY FIXING MOOV ATOM."));
        QCOMPARE(runOn(t, source), QString());
        // The copy ran under the wait cursor.
        QCOMPARE(t.window.copyCursors, QList<Qt::CursorShape>{Qt::WaitCursor});
        const QString fixed = m_work.filePath(QStringLiteral("holiday clip-fixed.mp4"));
        QVERIFY2(moovBeforeMdat(fixed), qPrintable(mp4TopLevelAtoms(fixed).join(',')));
        QCOMPARE(probeStreams(fixed), probeStreams(source));
        QCOMPARE(probeValue(fixed, "format=duration"), probeValue(source, "format=duration"));
        QCOMPARE(t.prompts.revealed(), QStringList{source});
        // The window keeps its path for another run.
        QCOMPARE(t.window.lblMp4Path->caption(), source);
        VERIFY_PROMPTS(t.prompts);
    }

    void alreadyStreamable()
    {
        Tool t;
        const QString source = copyOf(m_ready, QStringLiteral("ready.MP4"));
        t.prompts.expectMessage(QStringLiteral("Mp4 IS ALREADY STREAMABLE."));
        QCOMPARE(runOn(t, source), QString());
        QVERIFY(!QFile::exists(m_work.filePath("ready-fixed.mp4")));
        QVERIFY(t.prompts.revealed().isEmpty());
        VERIFY_PROMPTS(t.prompts);
    }

    void earlierFixedFileCounts()
    {
        Tool t;
        const QString source = copyOf(m_ready, QStringLiteral("again.m4v"));
        const QString old = m_work.filePath("again-fixed.mp4");
        QVERIFY(writeFileBytes(old, "left from an earlier run"));
        t.prompts.expectMessage(QStringLiteral("Mp4 MADE STREAMABLE BY FIXING MOOV ATOM."));
        QCOMPARE(runOn(t, source), QString());
        QCOMPARE(t.prompts.revealed(), QStringList{source});
        // The tool wrote nothing: the old file is still there.
        QCOMPARE(fileBytes(old), QByteArray("left from an earlier run"));
        VERIFY_PROMPTS(t.prompts);
    }

    void leftoverWorkCopyIsReplaced()
    {
        Tool t;
        const QString source = copyOf(m_slow, QStringLiteral("left.mp4"));
        QVERIFY(writeFileBytes(m_work.filePath("left-fixed.mp4.tmp"), QByteArray(1000, 'j')));
        t.prompts.expectMessage(QStringLiteral("Mp4 MADE STREAMABLE BY FIXING MOOV ATOM."));
        QCOMPARE(runOn(t, source), QString());
        QCOMPARE(probeStreams(m_work.filePath("left-fixed.mp4")), probeStreams(source));
        VERIFY_PROMPTS(t.prompts);
    }

    void failedCopyRunsNoTool_data()
    {
        QTest::addColumn<QString>("what");
        QTest::newRow("source gone") << "gone";
        QTest::newRow("source is a folder") << "folder";
        QTest::newRow("working copy name taken by a folder") << "blocked";
        QTest::newRow("source unreadable") << "unreadable";
        QTest::newRow("folder not writable") << "readonly";
    }
    void failedCopyRunsNoTool()
    {
        QFETCH(QString, what);
        Tool t;
        const QString mark = markingTool(t);

        // A folder an ordinary user may enter and read, with or without the
        // right to write into it.
        QTemporaryDir shared;
        const auto everyone = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
            | QFileDevice::ReadOther | QFileDevice::ExeOther;
        As as = As::Root;

        QString source;
        if (what == "gone") {
            source = m_work.filePath("vanished.mp4");
        } else if (what == "folder") {
            source = m_work.filePath("folder.mp4");
            QDir().mkpath(source);
        } else if (what == "blocked") {
            source = copyOf(m_slow, QStringLiteral("blocked.mp4"));
            QDir().mkpath(m_work.filePath("blocked-fixed.mp4.tmp"));
        } else if (what == "unreadable") {
            // Mode 000 in a folder the user may write into: only reading S fails.
            QVERIFY(QFile::setPermissions(shared.path(), everyone | QFileDevice::WriteOther));
            source = shared.filePath(QStringLiteral("locked.mp4"));
            QVERIFY(QFile::copy(m_slow, source));
            QVERIFY(QFile::setPermissions(source, {}));
            as = As::Nobody;
        } else {
            QVERIFY(QFile::setPermissions(shared.path(), everyone));
            source = shared.filePath(QStringLiteral("kept.mp4"));
            QVERIFY(QFile::copy(m_slow, source));
            QVERIFY(QFile::setPermissions(source, QFileDevice::ReadOwner | QFileDevice::ReadOther));
            as = As::Nobody;
        }
        t.prompts.expectMessage(QString());
        QCOMPARE(runOn(t, source, as), QString());
        QVERIFY(t.prompts.messages().first().startsWith(QLatin1String("Mp4 COULD NOT BE COPIED TO ")));
        QVERIFY(!QFile::exists(mark));
        VERIFY_PROMPTS(t.prompts);
    }

    // The rule alone: what may stand at F when the tool is about to write it.
    void unsafeFixedFiles()
    {
        QTemporaryDir folder;
        const mp4fix::FixNames names = mp4fix::deriveNames(folder.filePath(QStringLiteral("clip.mp4")));
        const QString other = folder.filePath(QStringLiteral("other.mp4"));
        QVERIFY(QFile::copy(m_ready, names.source));
        QVERIFY(QFile::copy(m_ready, other));
        auto fixedAfter = [&] {
            const QString why = mp4fix::removeUnsafeFixedFile(names);
            return why.isEmpty() ? stateOf(names.fixed) : why;
        };

        QCOMPARE(fixedAfter(), QStringLiteral("nothing"));
        // A plain file left from an earlier run stays, even one linked elsewhere.
        QVERIFY(QFile::copy(m_slow, names.fixed));
        QCOMPARE(fixedAfter(), stateOf(m_slow));
        QVERIFY(QFile::remove(names.fixed));
        QVERIFY(::link(QFile::encodeName(other).constData(), QFile::encodeName(names.fixed).constData()) == 0);
        QCOMPARE(fixedAfter(), stateOf(other));
        QVERIFY(QFile::remove(names.fixed));
        // Links that lead somewhere else go, whatever they lead to.
        for (const QString &target : {names.source, other, folder.filePath("nowhere.mp4"), folder.path()}) {
            QVERIFY(QFile::link(target, names.fixed));
            QCOMPARE(fixedAfter(), QStringLiteral("nothing"));
        }
        // So does another name of S itself.
        QVERIFY(::link(QFile::encodeName(names.source).constData(), QFile::encodeName(names.fixed).constData()) == 0);
        QCOMPARE(fixedAfter(), QStringLiteral("nothing"));
        QCOMPARE(stateOf(names.source), stateOf(m_ready));
        QCOMPARE(stateOf(other), stateOf(m_ready));
    }

    // An F that leads elsewhere is removed before the run: the tool writes a
    // new F and never through the link.
    void fixedFileThatLeadsElsewhere_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("streamable");
        QTest::newRow("link to the source") << "source" << false;
        QTest::newRow("link to the source, already streamable") << "source" << true;
        QTest::newRow("link to another file") << "other" << false;
        QTest::newRow("link to nowhere") << "nowhere" << false;
        QTest::newRow("hard link to the source") << "hard" << false;
    }
    void fixedFileThatLeadsElsewhere()
    {
        QFETCH(QString, kind);
        QFETCH(bool, streamable);
        Tool t;
        QTemporaryDir folder;
        const QString source = folder.filePath(QStringLiteral("linked.mp4"));
        QVERIFY(QFile::copy(streamable ? m_ready : m_slow, source));
        const QString fixed = folder.filePath(QStringLiteral("linked-fixed.mp4"));
        const QString other = folder.filePath(QStringLiteral("other.bin"));
        QVERIFY(QFile::copy(m_ready, other));
        const QString nowhere = folder.filePath(QStringLiteral("nowhere.mp4"));
        if (kind == "source")
            QVERIFY(QFile::link(source, fixed));
        else if (kind == "other")
            QVERIFY(QFile::link(other, fixed));
        else if (kind == "nowhere")
            QVERIFY(QFile::link(nowhere, fixed));
        else
            QVERIFY(::link(QFile::encodeName(source).constData(), QFile::encodeName(fixed).constData()) == 0);
        const QString otherBefore = stateOf(other);

        t.prompts.expectMessage(streamable ? QStringLiteral("Mp4 IS ALREADY STREAMABLE.")
                                           : QStringLiteral("Mp4 MADE STREAMABLE BY FIXING MOOV ATOM."));
        QCOMPARE(runOn(t, source), QString());
        QCOMPARE(stateOf(other), otherBefore);
        QVERIFY(!QFileInfo::exists(nowhere));
        if (streamable) {
            QCOMPARE(stateOf(fixed), QStringLiteral("nothing"));
        } else {
            QVERIFY(!QFileInfo(fixed).isSymLink());
            QVERIFY(moovBeforeMdat(fixed));
            QCOMPARE(probeStreams(fixed), probeStreams(source));
        }
        VERIFY_PROMPTS(t.prompts);
    }

    // A link at F that the user may not remove: the tool does not run.
    void linkThatCannotBeRemovedStopsTheRun()
    {
        Tool t;
        const QString mark = markingTool(t);
        QTemporaryDir folder;
        const QString source = folder.filePath(QStringLiteral("clip.mp4"));
        QVERIFY(QFile::copy(m_slow, source));
        const QString fixed = folder.filePath(QStringLiteral("clip-fixed.mp4"));
        QVERIFY(QFile::link(source, fixed));
        QVERIFY(QFile::setPermissions(folder.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                         | QFileDevice::ExeOwner | QFileDevice::ReadOther
                                                         | QFileDevice::ExeOther));
        t.prompts.expectMessage(QStringLiteral("Mp4 COULD NOT BE WRITTEN TO ") + fixed
                                + QStringLiteral(" (a link in its place cannot be removed)."));
        QCOMPARE(runOn(t, source, As::Nobody), QString());
        QVERIFY(QFileInfo(fixed).isSymLink());
        QVERIFY(!QFile::exists(mark));
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
