#pragma once
// Every message box and platform dialog of the program goes through this
// interface: the program uses the Qt implementation, tests a scripted one.
#include <QString>
#include <QtGlobal>
#include <optional>

// Answer codes of a question and of a plain message.
constexpr int vbOK = 1;
constexpr int vbYes = 6;
constexpr int vbNo = 7;

enum class MsgIcon { Critical, Question, Information, Exclamation };
enum class MsgButtons { OK, YesNo };

class IPrompts
{
public:
    virtual ~IPrompts() = default;

    // Shows a message; returns vbOK, vbYes or vbNo.
    virtual int message(MsgIcon icon, const QString &title, const QString &text, MsgButtons buttons) = 0;

    // File dialogs. The filter comes as "Name|pattern|Name|pattern" (patterns
    // separated by ";"). std::nullopt means the user cancelled.
    virtual std::optional<QString> openFile(const QString &title, const QString &filter, bool mustExist) = 0;
    virtual std::optional<QString> saveFile(const QString &title, const QString &filter,
                                            bool overwritePrompt) = 0;

    // Folder browser, directories only; empty text when cancelled.
    virtual QString browseForFolder(const QString &title) = 0;

    // Colour picker. Colours are 0x00BBGGRR values (red in the lowest byte).
    // A cancel returns the start colour.
    virtual quint32 chooseColor(quint32 startColor) = 0;

    // Opens a web page in the user's browser; never reports a failure.
    virtual void openUrl(const QString &url) = 0;

    // Shows the file's folder in the file manager with the file selected,
    // without waiting.
    virtual void showInFileManager(const QString &path) = 0;

    // Conveniences for the three message styles of the program.
    void error(const QString &text)
    {
        message(MsgIcon::Critical, QStringLiteral("Error"), text, MsgButtons::OK);
    }
    void notice(const QString &text, const QString &title = QStringLiteral("Message"))
    {
        message(MsgIcon::Information, title, text, MsgButtons::OK);
    }
    int question(const QString &text)
    {
        return message(MsgIcon::Question, QStringLiteral("Confirm"), text, MsgButtons::YesNo);
    }
};

class RuntimeError;
class Refusal;
// Shows the general error report for a run-time failure.
void showGeneralError(IPrompts &prompts, const RuntimeError &error);
// Shows a refusal's message in its style: an error box or a notice.
void showRefusal(IPrompts &prompts, const Refusal &refusal);
