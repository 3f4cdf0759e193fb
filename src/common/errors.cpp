#include "common/errors.h"

#include <QDir>
#include <QFileDevice>
#include <QFileInfo>

QString runtimeErrorDescription(int number)
{
    switch (number) {
    case rt::InvalidProcedureCall: return QStringLiteral("Invalid procedure call or argument");
    case rt::Overflow: return QStringLiteral("Overflow");
    case rt::SubscriptOutOfRange: return QStringLiteral("Subscript out of range");
    case rt::TypeMismatch: return QStringLiteral("Type mismatch");
    case rt::BadFileNameOrNumber: return QStringLiteral("Bad file name or number");
    case rt::FileNotFound: return QStringLiteral("File not found");
    case rt::FileAlreadyExists: return QStringLiteral("File already exists");
    case rt::PermissionDenied: return QStringLiteral("Permission denied");
    case rt::PathFileAccessError: return QStringLiteral("Path/File access error");
    case rt::PathNotFound: return QStringLiteral("Path not found");
    case rt::InvalidPropertyValue: return QStringLiteral("Invalid property value");
    default: return QStringLiteral("Application-defined or object-defined error");
    }
}

RuntimeError::RuntimeError(int number, const QString &description)
    : std::runtime_error(
        (description.isEmpty() ? runtimeErrorDescription(number) : description).toStdString()),
      m_number(number), m_description(description.isEmpty() ? runtimeErrorDescription(number) : description)
{
}

Refusal::Refusal(const QString &message, Subject subject, Style style)
    : std::runtime_error(message.toStdString()), m_message(message), m_subject(subject), m_style(style)
{
}

Refusal Refusal::ofProfileLine(const QString &message, int line)
{
    Refusal refusal(message, Subject::ProfileLine);
    refusal.m_line = line;
    return refusal;
}

QString generalErrorText(const RuntimeError &error)
{
    return (QStringLiteral("Error# ") + QString::number(error.number()) + QLatin1Char(' ')
            + error.description() + QStringLiteral(". Please contact support."))
        .toUpper();
}

RuntimeError fileError(int qfileError, const QString &path, bool writing)
{
    const QFileInfo info(path);
    if (!info.absoluteDir().exists())
        return RuntimeError(rt::PathNotFound);
    switch (qfileError) {
    case QFileDevice::PermissionsError: return RuntimeError(rt::PermissionDenied);
    case QFileDevice::OpenError:
        if (!writing && !info.exists())
            return RuntimeError(rt::FileNotFound);
        if (info.exists() && !(writing ? info.isWritable() : info.isReadable()))
            return RuntimeError(rt::PermissionDenied);
        return RuntimeError(rt::PathFileAccessError);
    default: return RuntimeError(rt::PathFileAccessError);
    }
}
