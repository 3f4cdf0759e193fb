#include "common/ui_qtprompts.h"

#include <QApplication>
#include <QColorDialog>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>

namespace {
QWidget *owner()
{
    QWidget *w = QApplication::activeModalWidget();
    return w ? w : QApplication::activeWindow();
}
} // namespace

QString qtFileFilter(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts.at(i + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString &p : patterns) {
            // A pattern written without its "*" ("f4v", ".m4v") still names
            // the files it means.
            if (!p.contains(QLatin1Char('*')) && !p.contains(QLatin1Char('?')))
                p = p.startsWith(QLatin1Char('.')) ? QLatin1Char('*') + p : QStringLiteral("*.") + p;
            // "All files": here a name need not have a dot.
            if (p == QLatin1String("*.*"))
                p = QStringLiteral("*");
        }
        // A name that shows its patterns already ("PNG (*.png)") shows them
        // once, in the form the dialog reads.
        QString name = parts.at(i).trimmed();
        if (name.endsWith(QLatin1Char(')')) && name.lastIndexOf(QLatin1Char('(')) > 0)
            name = name.left(name.lastIndexOf(QLatin1Char('('))).trimmed();
        entries << name + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return entries.join(QStringLiteral(";;"));
}

int QtPrompts::message(MsgIcon icon, const QString &title, const QString &text, MsgButtons buttons)
{
    QMessageBox::Icon qicon = QMessageBox::Information;
    switch (icon) {
    case MsgIcon::Critical: qicon = QMessageBox::Critical; break;
    case MsgIcon::Question: qicon = QMessageBox::Question; break;
    case MsgIcon::Information: qicon = QMessageBox::Information; break;
    case MsgIcon::Exclamation: qicon = QMessageBox::Warning; break;
    }
    QMessageBox box(qicon, title, text,
                    buttons == MsgButtons::YesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok,
                    owner());
    if (buttons == MsgButtons::YesNo) {
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
    }
    const int result = box.exec();
    if (buttons == MsgButtons::YesNo)
        return result == QMessageBox::Yes ? vbYes : vbNo;
    return vbOK;
}

std::optional<QString> QtPrompts::openFile(const QString &title, const QString &filter, bool mustExist)
{
    QFileDialog dialog(owner(), title, QString(), qtFileFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}

std::optional<QString> QtPrompts::saveFile(const QString &title, const QString &filter, bool overwritePrompt)
{
    QFileDialog dialog(owner(), title, QString(), qtFileFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    if (!overwritePrompt)
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}

QString QtPrompts::browseForFolder(const QString &title)
{
    return QFileDialog::getExistingDirectory(owner(), title, QString(), QFileDialog::ShowDirsOnly);
}

quint32 QtPrompts::chooseColor(quint32 startColor)
{
    const QColor start(int(startColor & 0xFF), int((startColor >> 8) & 0xFF), int((startColor >> 16) & 0xFF));
    const QColor chosen = QColorDialog::getColor(start, owner());
    if (!chosen.isValid())
        return startColor;
    return quint32(chosen.red()) | (quint32(chosen.green()) << 8) | (quint32(chosen.blue()) << 16);
}

void QtPrompts::openUrl(const QString &url)
{
    QDesktopServices::openUrl(QUrl(url));
}

void QtPrompts::showInFileManager(const QString &path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    // The freedesktop file manager interface shows the file selected; where
    // no file manager answers it, open the folder instead.
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(absolute).toString()} << QString();
    const QUrl folder = QUrl::fromLocalFile(QFileInfo(absolute).absolutePath());
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        QDesktopServices::openUrl(folder);
        return;
    }
    // Without waiting: the answer (or its failure) comes back later.
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [folder](QDBusPendingCallWatcher *w) {
        if (w->isError())
            QDesktopServices::openUrl(folder);
        w->deleteLater();
    });
}
