#pragma once
// The two ways the program fails. A RuntimeError is a fault while doing
// something (a file that cannot be read, a text that is no number); it
// carries the number and description of the general error report. A Refusal
// is something the program declines to do, with the message the user sees
// ("OUTPUT FOLDER MISSING!"). The rules throw both; each front end shows them
// in its own way.
#include <QString>
#include <stdexcept>

namespace rt {
constexpr int InvalidProcedureCall = 5;
constexpr int Overflow = 6;
constexpr int SubscriptOutOfRange = 9;
constexpr int TypeMismatch = 13;
constexpr int BadFileNameOrNumber = 52;
constexpr int FileNotFound = 53;
constexpr int FileAlreadyExists = 58;
constexpr int PermissionDenied = 70;
constexpr int PathFileAccessError = 75;
constexpr int PathNotFound = 76;
constexpr int InvalidPropertyValue = 380;
} // namespace rt

class RuntimeError : public std::runtime_error
{
public:
    // With an empty description the standard one for the number is used.
    explicit RuntimeError(int number, const QString &description = QString());

    int number() const { return m_number; }
    QString description() const { return m_description; }

private:
    int m_number;
    QString m_description;
};

// `subject` tells the caller which setting was refused (an enum of the
// module that throws), so a window can take the user there.
class Refusal : public std::runtime_error
{
public:
    enum class Style { Error, Notice };
    explicit Refusal(const QString &message, int subject = 0, Style style = Style::Error);

    const QString &message() const { return m_message; }
    int subject() const { return m_subject; }
    Style style() const { return m_style; }

private:
    QString m_message;
    int m_subject;
    Style m_style;
};

// Standard description of a run-time error number ("Type mismatch" for 13).
QString runtimeErrorDescription(int number);

// "ERROR# 13 TYPE MISMATCH. PLEASE CONTACT SUPPORT.": the general error
// report's text, wholly upper-cased.
QString generalErrorText(const RuntimeError &error);

// Maps a failed file operation (QFileDevice::FileError) to the run-time error
// a user would have seen for it.
RuntimeError fileError(int qfileError, const QString &path, bool writing);
