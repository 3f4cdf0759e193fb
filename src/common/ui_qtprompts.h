#pragma once
// The program's prompts: Qt message boxes and dialogs, the desktop's browser
// and file manager.
#include "common/prompts.h"

class QWidget;

class QtPrompts : public IPrompts
{
public:
    QtPrompts() = default;

    int message(MsgIcon icon, const QString &title, const QString &text, MsgButtons buttons) override;
    std::optional<QString> openFile(const QString &title, const QString &filter, bool mustExist) override;
    std::optional<QString> saveFile(const QString &title, const QString &filter,
                                    bool overwritePrompt) override;
    QString browseForFolder(const QString &title) override;
    quint32 chooseColor(quint32 startColor) override;
    void openUrl(const QString &url) override;
    void showInFileManager(const QString &path) override;
};

// "Name|pattern;pattern|Name|pattern" -> Qt's "Name (pattern pattern);;Name (pattern)".
QString qtFileFilter(const QString &filter);
