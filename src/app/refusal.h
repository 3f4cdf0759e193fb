#pragma once
// Something the program declines to do, with the message the user is shown
// ("WATERMARK TEXT MISSING"). The rules throw it; each front end shows it in
// its own way. `subject` tells the caller which setting was refused (an enum
// of the module that throws), so a window can take the user there.
#include <QString>
#include <stdexcept>

class Refusal : public std::runtime_error
{
public:
    enum class Style { Error, Notice };
    explicit Refusal(const QString &message, int subject = 0, Style style = Style::Error)
        : std::runtime_error(message.toStdString()), m_message(message), m_subject(subject), m_style(style)
    {
    }
    const QString &message() const { return m_message; }
    int subject() const { return m_subject; }
    Style style() const { return m_style; }

private:
    QString m_message;
    int m_subject;
    Style m_style;
};
