#include "mp4fix/fixmp4.h"

#include "common/errors.h"
#include "common/files.h"

#include <QFile>
#include <QFileInfo>

namespace mp4fix {

FixNames deriveNames(const QString &source)
{
    if (source.size() < 4)
        throw RuntimeError(rt::InvalidProcedureCall);
    FixNames names;
    names.source = source;
    names.fixed = source.left(source.size() - 4) + QStringLiteral("-fixed.mp4");
    names.work = names.fixed + QStringLiteral(".tmp");
    return names;
}

void removeUnsafeFixedFile(const FixNames &names)
{
    const files::Obstacle stays = files::clearPlace(names.fixed, names.source);
    if (stays == files::Obstacle::None)
        return;
    throw Refusal(QStringLiteral("Mp4 COULD NOT BE WRITTEN TO ") + names.fixed + QStringLiteral(" (")
                  + (stays == files::Obstacle::Link
                         ? QStringLiteral("a link in its place cannot be removed")
                         : QStringLiteral("it is another name of the source file and cannot be removed"))
                  + QStringLiteral(")."));
}

namespace {

// Why the copy failed, or nothing.
QString copyFile(const FixNames &names)
{
    const QFileInfo source(names.source);
    if (!source.exists())
        return QStringLiteral("the file is gone");
    if (!source.isFile())
        return QStringLiteral("it is not a file");
    const QFileInfo work(names.work);
    if (work.exists() || work.isSymLink()) {
        if (work.isDir() && !work.isSymLink())
            return QStringLiteral("a folder has the name of the working copy");
        if (!QFile::remove(names.work))
            return QStringLiteral("the working copy left from an earlier run cannot be replaced");
    }
    QFile in(names.source);
    if (!in.open(QIODevice::ReadOnly))
        return in.errorString();
    QFile out(names.work);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return out.errorString();
    // From here on a failure leaves no half copy behind.
    QString why;
    while (why.isEmpty() && !in.atEnd()) {
        const QByteArray buffer = in.read(1 << 20);
        if (buffer.isEmpty() && in.error() != QFileDevice::NoError)
            why = in.errorString();
        else if (out.write(buffer) != buffer.size())
            why = out.errorString();
    }
    if (why.isEmpty() && !out.flush())
        why = out.errorString();
    out.close();
    if (why.isEmpty() && out.error() != QFileDevice::NoError)
        why = out.errorString();
    if (!why.isEmpty())
        QFile::remove(names.work);
    return why;
}

} // namespace

void copyToWorkFile(const FixNames &names)
{
    const QString why = copyFile(names);
    if (!why.isEmpty())
        throw Refusal(QStringLiteral("Mp4 COULD NOT BE COPIED TO ") + names.work + QStringLiteral(" (") + why
                      + QStringLiteral(")."));
}

Outcome makeStreamable(IToolRunner &runner, const QString &appFolder, const FixNames &names)
{
    faststart::Step step;
    step.appFolder = appFolder;
    step.source = names.source;
    step.input = names.work;
    step.output = names.fixed;
    step.readBack = verify::Expectation();
    const auto removeWork = [&names] { return !QFileInfo::exists(names.work) || QFile::remove(names.work); };
    Outcome outcome;
    try {
        outcome.made = faststart::run(runner, step);
    } catch (const RuntimeError &) {
        removeWork();
        throw;
    }
    outcome.workLeft = !removeWork();
    return outcome;
}

} // namespace mp4fix
