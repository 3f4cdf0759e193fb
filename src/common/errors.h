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

// Which setting a refusal is about, so that a window can take the user
// there.
enum class Subject {
    None,
    // The encode request.
    ChooseSource,       // open the source dialog
    ChooseOutputFolder, // open the folder browser
    ChooseFormat,       // focus chkFLV
    FlvName,            // focus the name box
    Mp4Name,
    WebmName,
    HlsName,
    RenameFlv, // focus the name box and select its text
    RenameMp4,
    RenameWebm,
    RenameHls,
    StillMinute, // focus and select the time field
    StillSecond,
    SaveWatermark,    // open the watermark dialog
    WatermarkPicture, // the picture copy could not be made
    // The watermark dialog's Save.
    WatermarkText,
    WatermarkImage,
    Transparency,
    ReservedImageName,
    // A profile's setting, by its line (Refusal::line()).
    ProfileLine,
};

class Refusal : public std::runtime_error
{
public:
    enum class Style { Error, Notice };
    explicit Refusal(const QString &message, Subject subject = Subject::None, Style style = Style::Error);
    // A refused setting of a profile, by its line.
    static Refusal ofProfileLine(const QString &message, int line);

    const QString &message() const { return m_message; }
    Subject subject() const { return m_subject; }
    Style style() const { return m_style; }
    int line() const { return m_line; }

private:
    QString m_message;
    Subject m_subject;
    Style m_style;
    int m_line = 0;
};

// Standard description of a run-time error number ("Type mismatch" for 13).
QString runtimeErrorDescription(int number);

// "ERROR# 13 TYPE MISMATCH. PLEASE CONTACT SUPPORT.": the general error
// report's text, wholly upper-cased.
QString generalErrorText(const RuntimeError &error);

// Maps a failed file operation (QFileDevice::FileError) to the run-time error
// a user would have seen for it.
RuntimeError fileError(int qfileError, const QString &path, bool writing);
