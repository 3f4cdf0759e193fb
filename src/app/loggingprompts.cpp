#include "app/loggingprompts.h"

#include <QFile>

LoggingPrompts::LoggingPrompts(const QString &logPath, int questionAnswer)
    : m_path(logPath), m_answer(questionAnswer)
{
}

void LoggingPrompts::log(const QString &kind, const QString &icon, const QString &title, const QString &text)
{
    QFile file(m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    QString line = kind + QLatin1Char('|') + icon + QLatin1Char('|') + title + QLatin1Char('|') + text;
    line.replace(QLatin1Char('\n'), QLatin1String("\\n")).replace(QLatin1Char('\r'), QLatin1String("\\r"));
    file.write(line.toUtf8() + '\n');
}

int LoggingPrompts::message(MsgIcon icon, const QString &title, const QString &text, MsgButtons buttons)
{
    static const char *names[] = {"critical", "question", "information", "exclamation"};
    log(QStringLiteral("message"), QLatin1String(names[int(icon)]), title, text);
    if (buttons == MsgButtons::YesNo)
        return m_answer == vbYes ? vbYes : vbNo;
    return vbOK;
}

std::optional<QString> LoggingPrompts::openFile(const QString &title, const QString &filter, bool)
{
    log(QStringLiteral("open"), QString(), title, filter);
    return std::nullopt;
}

std::optional<QString> LoggingPrompts::saveFile(const QString &title, const QString &filter, bool)
{
    log(QStringLiteral("save"), QString(), title, filter);
    return std::nullopt;
}

QString LoggingPrompts::browseForFolder(const QString &title)
{
    log(QStringLiteral("folder"), QString(), title, QString());
    return QString();
}

quint32 LoggingPrompts::chooseColor(quint32 startColor)
{
    log(QStringLiteral("colour"), QString(), QString(), QString::number(startColor));
    return startColor;
}

void LoggingPrompts::openUrl(const QString &url)
{
    log(QStringLiteral("url"), QString(), QString(), url);
}

void LoggingPrompts::showInFileManager(const QString &path)
{
    log(QStringLiteral("reveal"), QString(), QString(), path);
}
