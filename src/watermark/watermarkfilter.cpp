#include "watermark/watermarkfilter.h"

#include "common/appfolder.h"
#include "common/cmdline.h"
#include "common/errors.h"
#include "common/textfiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace watermark {

namespace {

// The blanks ffmpeg drops around a token.
bool isTokenBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n')
        || c == QLatin1Char('\r');
}

QString backslashBefore(const QString &text, const QString &specials)
{
    QString out;
    out.reserve(text.size() * 2);
    for (QChar c : text) {
        if (specials.contains(c))
            out.append(QLatin1Char('\\'));
        out.append(c);
    }
    return out;
}

} // namespace

std::optional<Position> positionFor(Kind kind, Corner corner)
{
    if (kind == Kind::None)
        return std::nullopt;
    const bool text = kind == Kind::Text;
    const QString right = text ? QStringLiteral("(W-text_w)-8") : QStringLiteral("(W-overlay_w)-8");
    const QString bottom = text ? QStringLiteral("(H-text_h)-8") : QStringLiteral("(H-overlay_h)-8");
    const QString edge = QStringLiteral("8");
    switch (corner) {
    case Corner::TopLeft: return Position{edge, edge};
    case Corner::TopRight: return Position{right, edge};
    case Corner::BottomLeft: return Position{edge, bottom};
    case Corner::BottomRight: return Position{right, bottom};
    case Corner::None: break;
    }
    return std::nullopt;
}

QString colorCode(quint32 color)
{
    const auto hex = [](quint32 component) {
        return QStringLiteral("%1").arg(component & 0xFF, 2, 16, QLatin1Char('0')).toUpper();
    };
    return QStringLiteral("0x") + hex(color) + hex(color >> 8) + hex(color >> 16);
}

std::optional<QString> opacityText(const QString &transparency)
{
    if (transparency.isEmpty() || transparency.size() > 2)
        return std::nullopt;
    int value = 0;
    for (QChar c : transparency) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        value = value * 10 + (c.unicode() - '0');
    }
    if (value == 0)
        return QStringLiteral("0");
    // value / 100 with two decimals, trailing zeros dropped.
    QString digits = QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
    if (digits.endsWith(QLatin1Char('0')))
        digits.chop(1);
    return QStringLiteral("0.") + digits;
}

QString escapeExpansion(const QString &text)
{
    return backslashBefore(text, QStringLiteral("\\%"));
}

QString escapeOptionValue(const QString &value)
{
    qsizetype begin = 0;
    qsizetype end = value.size();
    while (begin < end && isTokenBlank(value.at(begin)))
        ++begin;
    while (end > begin && isTokenBlank(value.at(end - 1)))
        --end;
    QString out;
    for (qsizetype i = 0; i < begin; ++i)
        out.append(QLatin1Char('\\')).append(value.at(i));
    out.append(backslashBefore(value.mid(begin, end - begin), QStringLiteral("\\':")));
    for (qsizetype i = end; i < value.size(); ++i)
        out.append(QLatin1Char('\\')).append(value.at(i));
    return out;
}

QString quoteGraphValue(const QString &value)
{
    QString inner = value;
    inner.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + inner + QLatin1Char('\'');
}

QString escapeGraphBare(const QString &value)
{
    return backslashBefore(value, QStringLiteral("\\'[],;"));
}

QString fontFolderText(const QString &fontFolder)
{
    // Backslashes first, so the one put before a colon is not doubled.
    return escapeOptionValue(fontFolder);
}

QString fontFolder(const QString &appFolder)
{
    const QString folder = appfolder::GetShortPath(appFolder);
    return appfolder::joinPath(folder.isEmpty() ? appFolder : folder, QStringLiteral("wmfonts/"));
}

QString movieSource(const QString &imageName)
{
    const bool plainFile = !imageName.contains(QLatin1Char(':')) && !imageName.contains(QLatin1Char('%'));
    if (plainFile)
        return quoteGraphValue(escapeOptionValue(imageName));
    return quoteGraphValue(escapeOptionValue(QStringLiteral("file:") + imageName))
        + QStringLiteral(":f=image2pipe");
}

namespace {

QString textGraph(const Settings &s, const QString &opacity, const State &state)
{
    // A bare value (no quotes) is escaped for the option level, then for the
    // graph level.
    const auto bare = [](const QString &value) { return escapeGraphBare(escapeOptionValue(value)); };
    return QStringLiteral("[in]drawtext=fontsize=") + bare(s.fontSize) + QStringLiteral(":fontcolor=")
        + bare(s.colorCode) + QLatin1Char('@') + opacity + QStringLiteral(":fontfile=")
        + quoteGraphValue(state.fontFolder + escapeOptionValue(s.fontFile)) + QStringLiteral(":text=")
        + quoteGraphValue(escapeOptionValue(escapeExpansion(s.text))) + QStringLiteral(":x=") + state.posX
        + QStringLiteral(":y=") + state.posY + QStringLiteral(" [out]");
}

QString imageGraph(const QString &imageName, const State &state)
{
    return QStringLiteral("movie=") + movieSource(imageName)
        + QStringLiteral("[watermark];[in][watermark] overlay=") + state.posX + QLatin1Char(':') + state.posY
        + QStringLiteral(" [out]");
}

Refusal notCopied(const RuntimeError &e)
{
    return Refusal(QStringLiteral("WATERMARK IMAGE COULD NOT BE COPIED! ") + e.description().toUpper()
                       + QLatin1Char('.'),
                   Subject::WatermarkPicture);
}

} // namespace

std::optional<Filter> buildFilter(const Settings &settings, const State &previous,
                                  const QString &pictureFolder, const QString &programName)
{
    if (settings.kind == Kind::None)
        return std::nullopt;
    if (settings.kind == Kind::Text && settings.text.isEmpty())
        throw Refusal(QStringLiteral("WATERMARK TEXT MISSING"), Subject::WatermarkText);
    if (settings.kind == Kind::Image && settings.imagePath.isEmpty())
        throw Refusal(QStringLiteral("WATERMARK IMAGE MISSING"), Subject::WatermarkImage);

    Filter filter;
    filter.state = previous;
    if (const auto position = positionFor(settings.kind, settings.corner)) {
        filter.state.posX = position->x;
        filter.state.posY = position->y;
    }
    QString graph;
    if (settings.kind == Kind::Text) {
        filter.state.fontFolder = fontFolderText(settings.fontFolder);
        const auto opacity = opacityText(settings.transparency);
        if (!opacity)
            throw Refusal(QStringLiteral("TRANSPARENCY MUST BE A WHOLE NUMBER FROM 0 TO 99!"),
                          Subject::Transparency);
        graph = textGraph(settings, *opacity, filter.state);
    } else {
        // The copy takes the picture's own name.
        filter.imageName = QFileInfo(settings.imagePath).fileName();
        if (isReservedPictureName(pictureFolder, filter.imageName, programName))
            throw Refusal(
                QStringLiteral("THE PROGRAM USES THE NAME OF THIS WATERMARK IMAGE FOR ITS OWN FILES! "
                               "PLEASE RENAME THE IMAGE."),
                Subject::ReservedImageName);
        try {
            copyPicture(settings.imagePath, pictureFolder, filter.imageName);
        } catch (const RuntimeError &e) {
            throw notCopied(e);
        }
        graph = imageGraph(filter.imageName, filter.state);
    }
    // The graph is one double-quoted stretch of the command text.
    filter.text = QStringLiteral(" -vf ") + cmdline::quoteArgument(graph);
    return filter;
}

bool isReservedPictureName(const QString &folder, const QString &name, const QString &programName)
{
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name == QLatin1String(".")
        || name == QLatin1String(".."))
        return true;
    if (appfolder::isOwnName(name) || (!programName.isEmpty() && name == programName))
        return true;
    const QFileInfo target(folder + QLatin1Char('/') + name);
    if (target.isSymLink())
        return true;
    if (!target.exists())
        return false;
    if (!target.isFile())
        return true;
    const QString suffix = target.suffix().toLower();
    return suffix != QLatin1String("png") && suffix != QLatin1String("jpg")
        && suffix != QLatin1String("jpeg");
}

void copyPicture(const QString &source, const QString &folder, const QString &name)
{
    const QByteArray bytes = textfiles::readBytes(source);
    textfiles::writeBytesAtomically(folder + QLatin1Char('/') + name, bytes);
}

void restorePictureCopy(const QString &folder, const QString &name, const QString &picturePath,
                        const QString &programName)
{
    if (name.isEmpty() || QFileInfo::exists(QDir(folder).filePath(name))
        || QFileInfo(picturePath).fileName() != name || isReservedPictureName(folder, name, programName))
        return;
    try {
        copyPicture(picturePath, folder, name);
    } catch (const RuntimeError &e) {
        throw notCopied(e);
    }
}

QString pictureCopyToDelete(const QString &folder, const QString &name, const QString &programName)
{
    if (isReservedPictureName(folder, name, programName))
        return QString();
    const QString path = QDir(folder).filePath(name);
    const QFileInfo info(path);
    if (!info.isFile() || info.isSymLink())
        return QString();
    return path;
}

QString programName()
{
    return QFileInfo(QCoreApplication::applicationFilePath()).fileName();
}

} // namespace watermark
