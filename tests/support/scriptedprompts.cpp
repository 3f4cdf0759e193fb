#include "support/scriptedprompts.h"

#include <QTest>

namespace {
const char *const kindNames[] = {"message", "open file", "save file", "folder", "colour", "url", "reveal"};
}

ScriptedPrompts &ScriptedPrompts::expectMessage(const QString &text, int answer)
{
    m_queue.append(Expectation{Kind::Message, text, answer, {}, {}, {}});
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

ScriptedPrompts &ScriptedPrompts::onNext(std::function<void()> action)
{
    if (!m_queue.isEmpty())
        m_queue.last().action = std::move(action);
    return *this;
}

QStringList ScriptedPrompts::texts(Kind kind) const
{
    QStringList out;
    for (const Record &r : m_records)
        if (r.kind == kind)
            out << r.text;
    return out;
}

std::optional<ScriptedPrompts::Expectation> ScriptedPrompts::take(Kind kind, MsgIcon icon,
                                                                  const QString &title, const QString &text)
{
    m_records.append(Record{kind, icon, title, text});
    if (kind == Kind::OpenUrl || kind == Kind::ShowInFileManager)
        return std::nullopt;
    const QString match = kind == Kind::Message ? text : title;
    if (m_queue.isEmpty() || m_queue.first().kind != kind
        || (!m_queue.first().text.isEmpty() && m_queue.first().text != match)) {
        const QString expected = m_queue.isEmpty() ? QStringLiteral("nothing")
                                                   : QLatin1String(kindNames[int(m_queue.first().kind)])
                + QStringLiteral(" \"") + m_queue.first().text + QLatin1Char('"');
        const QString what = QStringLiteral("unexpected %1 \"%2\" (expected %3)")
                                 .arg(QLatin1String(kindNames[int(kind)]), match, expected);
        m_unexpected << what;
        QTest::qFail(qPrintable(what), __FILE__, __LINE__);
        return std::nullopt;
    }
    Expectation e = m_queue.takeFirst();
    if (e.action)
        e.action();
    return e;
}

int ScriptedPrompts::message(MsgIcon icon, const QString &title, const QString &text, MsgButtons buttons)
{
    const auto e = take(Kind::Message, icon, title, text);
    return e ? e->answer : buttons == MsgButtons::YesNo ? vbNo : vbOK;
}

std::optional<QString> ScriptedPrompts::openFile(const QString &title, const QString &filter, bool)
{
    const auto e = take(Kind::OpenFile, MsgIcon::Information, title, filter);
    return e ? e->path : std::nullopt;
}

std::optional<QString> ScriptedPrompts::saveFile(const QString &title, const QString &filter, bool)
{
    const auto e = take(Kind::SaveFile, MsgIcon::Information, title, filter);
    return e ? e->path : std::nullopt;
}

QString ScriptedPrompts::browseForFolder(const QString &title)
{
    const auto e = take(Kind::BrowseFolder, MsgIcon::Information, title, QString());
    return e && e->path ? *e->path : QString();
}

quint32 ScriptedPrompts::chooseColor(quint32 startColor)
{
    const auto e = take(Kind::Color, MsgIcon::Information, QString(), QString::number(startColor));
    return e && e->color ? *e->color : startColor;
}

void ScriptedPrompts::openUrl(const QString &url)
{
    take(Kind::OpenUrl, MsgIcon::Information, QString(), url);
}

void ScriptedPrompts::showInFileManager(const QString &path)
{
    take(Kind::ShowInFileManager, MsgIcon::Information, QString(), path);
}
