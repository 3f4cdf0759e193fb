// Vidlark Web Video Encoder: start-up of the program.
#include "app/frmMain.h"
#include "app/loggingprompts.h"
#include "app/ui_forms.h"
#include "common/ui_qtprompts.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QLockFile>
#include <QSessionManager>
#include <QStandardPaths>

#include <memory>
#include <unistd.h>

namespace {

// One instance per user: a lock file in the user's runtime folder. A lock
// left by a crashed instance is taken over (QLockFile checks the process).
QString lockPath()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath() + QStringLiteral("/vidlark-") + QString::number(getuid());
    QDir().mkpath(dir);
    return dir + QStringLiteral("/vidlark-encoder.lock");
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vidlark Web Video Encoder"));
    QApplication::setOrganizationName(QStringLiteral("Vidlark"));
    QApplication::setDesktopFileName(QStringLiteral("vidlark-encoder"));
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/vidlark/icon-%1.png").arg(size));
    QApplication::setWindowIcon(icon);
    QApplication::setQuitOnLastWindowClosed(false);

    // Unattended runs (scripts, our tests of the binary) log their prompts
    // instead of showing them.
    std::unique_ptr<IPrompts> prompts;
    const QString promptLog = qEnvironmentVariable("VIDLARK_PROMPT_LOG");
    if (promptLog.isEmpty())
        prompts = std::make_unique<QtPrompts>();
    else
        prompts = std::make_unique<LoggingPrompts>(promptLog,
                                                   qEnvironmentVariableIntValue("VIDLARK_PROMPT_ANSWER"));
    // The application folder is the folder of the program binary, resolved
    // through links.
    Forms forms(*prompts, QApplication::applicationDirPath());
    forms.arguments = QApplication::arguments().mid(1);

    QLockFile lock(lockPath());
    lock.setStaleLockTime(0);
    forms.anotherInstanceRunning = [&lock] { return !lock.tryLock(0); };
    bool ended = false;
    forms.endProgram = [&ended] {
        ended = true;
        QApplication::exit(0);
    };

    auto window = std::make_unique<frmMain>(forms);
    // Logging off or shutting down asks the same question as any close.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &app, [&window](QSessionManager &manager) {
        if (!window || window->closing())
            return;
        if (manager.allowsInteraction()) {
            if (!window->close())
                manager.cancel();
            manager.release();
        }
    });

    if (!window->Form_Load() || ended)
        return 0;
    return app.exec();
}
