#pragma once
// Prompts for tests: every prompt is recorded, answered from a queue, and a
// prompt nobody scripted fails the running test.
#include "common/prompts.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class ScriptedPrompts : public IPrompts
{
public:
    enum class Kind { Message, OpenFile, SaveFile, BrowseFolder, Color, OpenUrl, ShowInFileManager };

    struct Record {
        Kind kind;
        MsgIcon icon = MsgIcon::Information;
        QString title;
        QString text; // message text, dialog filter, url or path
        MsgButtons buttons = MsgButtons::OK;
    };

    // Expectations, answered in order. An empty expected text matches any.
    ScriptedPrompts &expectMessage(const QString &text, int answer = 1 /* vbOK */);
    ScriptedPrompts &expectOpenFile(std::optional<QString> answer, const QString &title = QString());
    ScriptedPrompts &expectSaveFile(std::optional<QString> answer, const QString &title = QString());
    ScriptedPrompts &expectBrowseFolder(const QString &answer, const QString &title = QString());
    ScriptedPrompts &expectColor(std::optional<quint32> answer); // nullopt = cancel
    // Runs an action when the last queued prompt arrives, before it is answered.
    ScriptedPrompts &onNext(std::function<void()> action);

    // openUrl and showInFileManager are recorded without being scripted.

    const QList<Record> &records() const { return m_records; }
    QStringList messages() const; // texts of the message prompts, in order
    QStringList urls() const;
    QStringList revealed() const;
    int pending() const { return int(m_queue.size()); }
    QStringList unexpected() const { return m_unexpected; }
    void clear();

    // IPrompts
    int message(MsgIcon icon, const QString &title, const QString &text, MsgButtons buttons) override;
    std::optional<QString> openFile(const QString &title, const QString &filter, bool mustExist) override;
    std::optional<QString> saveFile(const QString &title, const QString &filter, bool overwritePrompt) override;
    QString browseForFolder(const QString &title) override;
    quint32 chooseColor(quint32 startColor) override;
    void openUrl(const QString &url) override;
    void showInFileManager(const QString &path) override;

private:
    struct Expectation {
        Kind kind;
        QString text;
        int answer = 1;
        std::optional<QString> path;
        std::optional<quint32> color;
        std::function<void()> action;
    };
    const Expectation *take(Kind kind, const QString &describe, const QString &match);

    QList<Record> m_records;
    QList<Expectation> m_queue;
    QStringList m_unexpected;
    Expectation m_current;
};

// Verifies at the end of a test that every scripted prompt came and no other.
#define VERIFY_PROMPTS(p)                                                                          \
    do {                                                                                           \
        QVERIFY2((p).unexpected().isEmpty(), qPrintable((p).unexpected().join(QLatin1String("; ")))); \
        QCOMPARE((p).pending(), 0);                                                                \
    } while (0)
