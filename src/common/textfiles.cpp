#include "common/textfiles.h"

#include "common/errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace textfiles {

void openForReading(QFile &file, const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        throw RuntimeError(info.absoluteDir().exists() ? rt::FileNotFound : rt::PathNotFound);
    if (info.isDir())
        throw RuntimeError(rt::PathFileAccessError);
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly))
        throw fileError(file.error(), path, false);
}

QByteArray readBytes(const QString &path)
{
    QFile file;
    openForReading(file, path);
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw fileError(file.error(), path, false);
    return bytes;
}

QStringList splitLines(const QString &text)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QString &line : lines)
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    return lines;
}

QStringList readLines(const QString &path)
{
    return splitLines(QString::fromUtf8(readBytes(path)));
}

void writeBytesAtomically(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw fileError(file.error(), path, true);
    // Flush before committing: commit() does not look at a failure of its
    // own final flush (a full disk, a file size limit) and would rename a
    // truncated file over the old one.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const auto error = file.error();
        file.cancelWriting();
        throw fileError(error, path, true);
    }
    if (!file.commit())
        throw fileError(file.error(), path, true);
}

} // namespace textfiles
