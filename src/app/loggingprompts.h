#pragma once
// Prompts that answer by themselves and write every prompt to a log file,
// one line each: kind, icon, title and text separated by '|'. The program
// uses them instead of dialogs when VIDLARK_PROMPT_LOG names a file, so
// that scripts (and our tests of the real binary) can run it unattended.
// Questions get the answer named by VIDLARK_PROMPT_ANSWER ("6" Yes, "7" No,
// the default); file and folder dialogs are cancelled.
#include "common/prompts.h"

class LoggingPrompts : public IPrompts
{
public:
    LoggingPrompts(const QString &logPath, int questionAnswer);

    int message(MsgIcon icon, const QString &title, const QString &text, MsgButtons buttons) override;
    std::optional<QString> openFile(const QString &title, const QString &filter, bool mustExist) override;
    std::optional<QString> saveFile(const QString &title, const QString &filter,
                                    bool overwritePrompt) override;
    QString browseForFolder(const QString &title) override;
    quint32 chooseColor(quint32 startColor) override;
    void openUrl(const QString &url) override;
    void showInFileManager(const QString &path) override;

private:
    void log(const QString &kind, const QString &icon, const QString &title, const QString &text);
    QString m_path;
    int m_answer;
};
