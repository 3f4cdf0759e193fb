#include "encode/captions.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace captions {

namespace {

bool isCaptionFile(const QFileInfo &file)
{
    const QString suffix = file.suffix().toLower();
    return file.isFile() && (suffix == QLatin1String("vtt") || suffix == QLatin1String("srt"));
}

bool isLanguageTag(const QString &text)
{
    static const QRegularExpression tag(QStringLiteral("^[A-Za-z]{2,3}(-[A-Za-z0-9]{2,8})*$"));
    return tag.match(text).hasMatch();
}

} // namespace

QString findBeside(const QString &source)
{
    const QFileInfo info(source);
    const QString name = info.completeBaseName();
    if (name.isEmpty())
        return QString();
    const QDir folder = info.dir();
    for (const char *extension : {".vtt", ".srt"}) {
        const QFileInfo plain(folder.filePath(name + QLatin1String(extension)));
        if (isCaptionFile(plain))
            return plain.filePath();
    }
    const QStringList candidates =
        folder.entryList({name + QStringLiteral(".*.vtt"), name + QStringLiteral(".*.srt")},
                         QDir::Files | QDir::Readable, QDir::Name);
    for (const QString &candidate : candidates) {
        const QString middle = candidate.mid(name.size() + 1).section(QLatin1Char('.'), 0, -2);
        if (isLanguageTag(middle) && isCaptionFile(QFileInfo(folder.filePath(candidate))))
            return folder.filePath(candidate);
    }
    return QString();
}

QString language(const QString &captionFile)
{
    const QString base = QFileInfo(captionFile).completeBaseName();
    const qsizetype dot = base.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0)
        return QString();
    const QString tag = base.mid(dot + 1);
    return isLanguageTag(tag) ? tag : QString();
}

} // namespace captions
