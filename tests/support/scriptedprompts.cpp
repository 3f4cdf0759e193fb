#include "support/scriptedprompts.h"

#include <QTest>

static QString kindName(ScriptedPrompts::Kind k)
{
    switch (k) {
    case ScriptedPrompts::Kind::Message: return QStringLiteral("message");
    case ScriptedPrompts::Kind::OpenFile: return QStringLiteral("open file");
    case ScriptedPrompts::Kind::SaveFile: return QStringLiteral("save file");
    case ScriptedPrompts::Kind::BrowseFolder: return QStringLiteral("browse folder");
    case ScriptedPrompts::Kind::Color: return QStringLiteral("colour");
    case ScriptedPrompts::Kind::OpenUrl: return QStringLiteral("open url");
    case ScriptedPrompts::Kind::ShowInFileManager: return QStringLiteral("show in file manager");
    }
    return QString();
}

ScriptedPrompts &ScriptedPrompts::expectMessage(const QString &text, int answer)
{
    Expectation e{Kind::Message, text, answer, {}, {}, {}};
    m_queue.append(e);
    return *this;
}

ScriptedPrompts &ScriptedPrompts::expectOpenFile(std::optional<QString> answer, const QString &title)
{
    m_queue.append(Expectation{Kind::OpenFile, title, 0, answer, {}, {}});
    return *this;
}

ScriptedPrompts &ScriptedPrompts::expectSaveFile(std::optional<QString> answer, const QString &title)
{
    m_queue.append(Expectation{Kind::SaveFile, title, 0, answer, {}, {}});
    return *this;
}

ScriptedPrompts &ScriptedPrompts::expectBrowseFolder(const QString &answer, const QString &title)
{
    m_queue.append(Expectation{Kind::BrowseFolder, title, 0, answer, {}, {}});
    return *this;
}

ScriptedPrompts &ScriptedPrompts::expectColor(std::optional<quint32> answer)
{
    m_queue.append(Expectation{Kind::Color, QString(), 0, {}, answer, {}});
    return *this;
}

ScriptedPrompts &ScriptedPrompts::onNext(std::function<void()> action)
{
    if (!m_queue.isEmpty())
        m_queue.last().action = std::move(action);
    return *this;
}

QStringList ScriptedPrompts::messages() const
{
    QStringList out;
    for (const Record &r : m_records)
        if (r.kind == Kind::Message)
            out << r.text;
    return out;
}

QStringList ScriptedPrompts::urls() const
{
    QStringList out;
    for (const Record &r : m_records)
        if (r.kind == Kind::OpenUrl)
            out << r.text;
    return out;
}

QStringList ScriptedPrompts::revealed() const
{
    QStringList out;
    for (const Record &r : m_records)
        if (r.kind == Kind::ShowInFileManager)
            out << r.text;
    return out;
}

void ScriptedPrompts::clear()
{
    m_records.clear();
    m_queue.clear();
    m_unexpected.clear();
}

const ScriptedPrompts::Expectation *ScriptedPrompts::take(Kind kind, const QString &describe,
                                                          const QString &match)
{
    if (m_queue.isEmpty() || m_queue.first().kind != kind
        || (!m_queue.first().text.isEmpty() && m_queue.first().text != match)) {
        const QString expected = m_queue.isEmpty()
            ? QStringLiteral("nothing")
            : kindName(m_queue.first().kind) + QStringLiteral(" \"") + m_queue.first().text
                + QLatin1Char('"');
        const QString what = QStringLiteral("unexpected %1 \"%2\" (expected %3)")
                                 .arg(kindName(kind), describe, expected);
        m_unexpected << what;
        QTest::qFail(qPrintable(what), __FILE__, __LINE__);
        return nullptr;
    }
    m_current = m_queue.takeFirst();
    if (m_current.action)
        m_current.action();
    return &m_current;
}

int ScriptedPrompts::message(MsgIcon icon, const QString &title, const QString &text,
                             MsgButtons buttons)
{
    m_records.append(Record{Kind::Message, icon, title, text, buttons});
    const Expectation *e = take(Kind::Message, text, text);
    if (!e)
        return buttons == MsgButtons::YesNo ? 7 : 1;
    return e->answer;
}

std::optional<QString> ScriptedPrompts::openFile(const QString &title, const QString &filter, bool)
{
    m_records.append(Record{Kind::OpenFile, MsgIcon::Information, title, filter, MsgButtons::OK});
    const Expectation *e = take(Kind::OpenFile, title, title);
    return e ? e->path : std::nullopt;
}

std::optional<QString> ScriptedPrompts::saveFile(const QString &title, const QString &filter, bool)
{
    m_records.append(Record{Kind::SaveFile, MsgIcon::Information, title, filter, MsgButtons::OK});
    const Expectation *e = take(Kind::SaveFile, title, title);
    return e ? e->path : std::nullopt;
}

QString ScriptedPrompts::browseForFolder(const QString &title)
{
    m_records.append(Record{Kind::BrowseFolder, MsgIcon::Information, title, QString(), MsgButtons::OK});
    const Expectation *e = take(Kind::BrowseFolder, title, title);
    return e && e->path ? *e->path : QString();
}

quint32 ScriptedPrompts::chooseColor(quint32 startColor)
{
    m_records.append(Record{Kind::Color, MsgIcon::Information, QString(),
                            QString::number(startColor), MsgButtons::OK});
    const Expectation *e = take(Kind::Color, QString::number(startColor), QString());
    return e && e->color ? *e->color : startColor;
}

void ScriptedPrompts::openUrl(const QString &url)
{
    m_records.append(Record{Kind::OpenUrl, MsgIcon::Information, QString(), url, MsgButtons::OK});
}

void ScriptedPrompts::showInFileManager(const QString &path)
{
    m_records.append(
        Record{Kind::ShowInFileManager, MsgIcon::Information, QString(), path, MsgButtons::OK});
}
