#include "encode/videotag.h"

#include "common/appfolder.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QUrl>

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

namespace videotag {

namespace {

// A path relative to the output folder, as a URL path with its special
// characters escaped and then made safe for a double-quoted attribute.
QString relative(const QString &outDir, const QString &path)
{
    QString name = path;
    if (!outDir.isEmpty() && path.startsWith(outDir))
        name = path.mid(outDir.size());
    else
        name = QFileInfo(path).fileName();
    QStringList parts = name.split(QLatin1Char('/'));
    for (QString &p : parts)
        p = QString::fromUtf8(QUrl::toPercentEncoding(p, "!$&'()*+,;=:@-._~"));
    return parts.join(QLatin1Char('/')).toHtmlEscaped();
}

} // namespace

bool hasVideo(const Made &made)
{
    return !made.webm.isEmpty() || !made.mp4.isEmpty();
}

QString html5VideoTag(const Made &made)
{
    QString tag = QStringLiteral("<video controls");
    if (made.size.isValid() && !made.size.isEmpty())
        tag += QStringLiteral(" width=\"%1\" height=\"%2\"").arg(made.size.width()).arg(made.size.height());
    if (!made.stillImage.isEmpty())
        tag += QStringLiteral(" poster=\"") + relative(made.outDir, made.stillImage) + QLatin1Char('"');
    tag += QStringLiteral(">\n");
    if (!made.webm.isEmpty())
        tag += QStringLiteral("  <source src=\"") + relative(made.outDir, made.webm)
            + QStringLiteral("\" type=\"video/webm\">\n");
    if (!made.mp4.isEmpty())
        tag += QStringLiteral("  <source src=\"") + relative(made.outDir, made.mp4)
            + QStringLiteral("\" type=\"video/mp4\">\n");
    tag += QStringLiteral("  Your browser cannot play this video.");
    if (!made.mp4.isEmpty())
        tag += QStringLiteral(" <a href=\"") + relative(made.outDir, made.mp4)
            + QStringLiteral("\">Download it</a>.");
    else
        tag += QStringLiteral(" <a href=\"") + relative(made.outDir, made.webm)
            + QStringLiteral("\">Download it</a>.");
    tag += QStringLiteral("\n</video>\n");
    return tag;
}

QSize videoSizeFromProbe(const QString &ffmpegOutput)
{
    static const QRegularExpression stream(
        QStringLiteral("Stream #\\d+:\\d+.*?: Video: .*?\\b(\\d{2,5})x(\\d{2,5})\\b"));
    const QRegularExpressionMatch m = stream.match(ffmpegOutput);
    if (!m.hasMatch())
        return QSize();
    return QSize(m.captured(1).toInt(), m.captured(2).toInt());
}

QSize probeVideoSize(const QString &appFolder, const QString &video)
{
    QProcess probe;
    probe.setProcessChannelMode(QProcess::MergedChannels);
    probe.setStandardInputFile(QProcess::nullDevice());
    // The probe ends with this program, even when it is killed. The death
    // signal follows the thread that starts it: the main thread here.
    const pid_t parent = ::getpid();
    probe.setChildProcessModifier([parent] {
        if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != parent)
            ::_exit(127);
    });
    probe.start(appfolder::joinPath(appFolder, QStringLiteral("engine/ffmpeg")),
                {QStringLiteral("-hide_banner"), QStringLiteral("-i"), video});
    if (!probe.waitForFinished(15000)) {
        probe.kill();
        probe.waitForFinished();
        return QSize();
    }
    return videoSizeFromProbe(QString::fromUtf8(probe.readAll()));
}

} // namespace videotag
