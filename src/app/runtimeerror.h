#pragma once
// Run-time failures of the program carry a number and a description, in the
// style users of the original program know from its error reports.
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

// Standard description of a run-time error number ("Type mismatch" for 13).
QString runtimeErrorDescription(int number);

// "ERROR# 13 TYPE MISMATCH. PLEASE CONTACT SUPPORT.": the general error
// report's text, wholly upper-cased.
QString generalErrorText(int number, const QString &description);
QString generalErrorText(const RuntimeError &error);

// Maps a failed file operation (QFileDevice::FileError) to the run-time error
// a user would have seen for it.
RuntimeError fileError(int qfileError, const QString &path, bool writing);
