#pragma once
// Prompts for tests: every prompt is recorded and answered from a queue of
// expectations; a prompt nobody expected fails the running test.
#include "common/prompts.h"

#include <QList>
#include <QStringList>
#include <functional>

class ScriptedPrompts : public IPrompts
{
public:
    enum class Kind { Message, OpenFile, SaveFile, BrowseFolder, Color, OpenUrl, ShowInFileManager };

    struct Record {
        Kind kind;
        MsgIcon icon;
        QString title;
        QString text; // message text, dialog title, url or path
    };

    // Expectations, answered in order. An empty text matches any.
    ScriptedPrompts &expectMessage(const QString &text, int answer = vbOK);
    ScriptedPrompts &expectOpenFile(std::optional<QString> answer, const QString &title = QString());
    ScriptedPrompts &expectSaveFile(std::optional<QString> answer, const QString &title = QString());
    // Runs an action when the last expected prompt comes, before it is answered.
    ScriptedPrompts &onNext(std::function<void()> action);
    // openUrl and showInFileManager need no expectation; they are recorded.

    const QList<Record> &records() const { return m_records; }
    QStringList texts(Kind kind) const;
    QStringList messages() const { return texts(Kind::Message); }
    int pending() const { return int(m_queue.size()); }
    const QStringList &unexpected() const { return m_unexpected; }

    int message(MsgIcon icon, const QString &title, const QString &text, MsgButtons buttons) override;
    std::optional<QString> openFile(const QString &title, const QString &filter, bool mustExist) override;
    std::optional<QString> saveFile(const QString &title, const QString &filter,
                                    bool overwritePrompt) override;
    QString browseForFolder(const QString &title) override;
    quint32 chooseColor(quint32 startColor) override;
    void openUrl(const QString &url) override;
    void showInFileManager(const QString &path) override;

private:
    struct Expectation {
        Kind kind;
        QString text;
        int answer = vbOK;
        std::optional<QString> path;
        std::optional<quint32> color;
        std::function<void()> action;
    };
    std::optional<Expectation> take(Kind kind, MsgIcon icon, const QString &title, const QString &text);

    QList<Record> m_records;
    QList<Expectation> m_queue;
    QStringList m_unexpected;
};

// At the end of a test: every expected prompt came, and no other.
#define VERIFY_PROMPTS(p)                                                                                    \
    do {                                                                                                     \
        QVERIFY2((p).unexpected().isEmpty(), qPrintable((p).unexpected().join(QLatin1String("; "))));        \
        QCOMPARE((p).pending(), 0);                                                                          \
    } while (0)
