#include "cli/batch.h"

#include "cli/claims.h"
#include "cli/console.h"
#include "cli/options.h"
#include "common/errors.h"
#include "encode/encodejob.h"
#include "encode/outputnames.h"
#include "encode/commandlines.h"
#include "settings/encodesettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <unistd.h>

namespace cli {

namespace {

struct Planned {
    encode::Format format;
    QString path;
};

// The outputs a request asks for, in the job's order.
QList<Planned> plannedOutputs(const encode::Request &r)
{
    QList<Planned> planned;
    if (r.flv == 1)
        planned.append({encode::Format::Flv, commandlines::flvOutputPath(r)});
    if (r.mp4 == 1)
        planned.append({encode::Format::Mp4, commandlines::mp4OutputPath(r)});
    if (r.webm == 1)
        planned.append({encode::Format::Webm, commandlines::webmOutputPath(r)});
    if (r.stillImage == 1)
        planned.append({encode::Format::Still, commandlines::stillImagePath(r)});
    return planned;
}

QString statusName(encode::Status status)
{
    switch (status) {
    case encode::Status::Made: return QStringLiteral("made");
    case encode::Status::Cancelled: return QStringLiteral("cancelled");
    case encode::Status::Failed: break;
    }
    return QStringLiteral("failed");
}

// The settings every source shares, checked before anything runs. Throws
// Refusal and RuntimeError with the windows' texts.
encode::Request sharedRequest(const Options &o, const QString &appFolder, const QString &workingFolder)
{
    const encodesettings::Lists lists = encodesettings::readLists(appFolder);
    encodesettings::Settings settings(lists);
    if (!o.profile.isEmpty())
        settings.applyProfile(o.profile);
    encode::Request r = settings.request(appFolder);
    r.workingFolder = workingFolder;
    if (o.flv) {
        r.flv = *o.flv ? 1 : 0;
        r.mp4 = *o.mp4 ? 1 : 0;
        r.webm = *o.webm ? 1 : 0;
    }
    if (o.stillMinute) {
        r.stillImage = 1;
        r.minute = *o.stillMinute;
        r.second = *o.stillSecond;
    }
    r.overwrite = o.overwrite ? encode::Overwrite::Always : encode::Overwrite::Never;
    r.askToOpenFolder = false;
    encode::checkFormats(r);
    if (r.stillImage == 1)
        encode::checkStillTime(r.minute, r.second);
    if (r.watermarking()) {
        // Built as the dialog's Save builds it; the picture copy lies in
        // this invocation's own folder, where its encoders run.
        // Neither kind chosen builds nothing, which the check refuses.
        if (const auto filter = watermark::buildFilter(settings.watermark(appFolder), watermark::State(),
                                                       workingFolder, watermark::programName())) {
            r.watermarkFilter = filter->text;
            r.pictureName = filter->imageName;
        }
        encode::checkWatermark(r);
    }
    return r;
}

class Batch
{
public:
    Batch(const Options &options, Console &console, const encode::Request &shared)
        : m_options(options), m_console(console), m_shared(shared), m_prompts(console),
          m_runner(m_prompts, console, shared.workingFolder)
    {
    }

    // Encodes one source; true when every requested output was made.
    bool encode(const QString &source)
    {
        const QString path = QFileInfo(source).absoluteFilePath();
        m_console.setSource(path);
        encode::Request r = m_shared;
        r.source = path;
        namespace names = outputnames;
        r.outDir = names::withTrailingSlash(m_options.outputDir.isEmpty()
                                                ? names::folderPart(path)
                                                : QFileInfo(m_options.outputDir).absoluteFilePath());
        const QList<Planned> planned = [&] {
            const QString base = names::baseName(names::nameParts(names::fileTitle(path)));
            r.flvName = names::outputName(r.outDir, base + QStringLiteral(".flv"), path);
            r.mp4Name = names::outputName(r.outDir, base + QStringLiteral(".mp4"), path);
            r.webmName = names::outputName(r.outDir, base + QStringLiteral(".webm"), path);
            return plannedOutputs(r);
        }();
        if (!QFileInfo(path).isFile())
            return refuse(planned, QStringLiteral("SOURCE FILE NOT FOUND!"), QStringLiteral("failed"));

        OutputClaims claims;
        QStringList paths;
        for (const Planned &p : planned)
            paths << p.path;
        QString taken;
        if (!claims.claim(paths, &taken))
            return refuse(planned,
                          QFileInfo(taken).fileName()
                              + QStringLiteral(" IS BEING WRITTEN BY ANOTHER RUN OF VIDLARK-ENCODE."),
                          QStringLiteral("refused"));
        // The still image command never replaces a picture: --overwrite
        // clears the way for it.
        if (m_options.overwrite && r.stillImage == 1 && QFileInfo(paths.constLast()).isFile())
            QFile::remove(paths.constLast());

        const encode::JobResult job =
            encode::runEncodeJob(r, m_prompts, m_runner, [this](const encode::OutputReport &report) {
                m_console.result(encode::formatName(report.format), statusName(report.status), report.path,
                                 report.reason);
            });
        if (job.refusedSubject != 0)
            return refuse(planned, job.refusal, QStringLiteral("refused"), false);

        // The outputs the job did not reach: the request ended before them.
        bool allMade = true;
        QString ended;
        for (const Planned &p : planned) {
            const auto report = std::find_if(job.outputs.cbegin(), job.outputs.cend(),
                                             [&p](const encode::OutputReport &o) { return o.format == p.format; });
            if (report != job.outputs.cend()) {
                allMade = allMade && report->status == encode::Status::Made;
                if (report->status != encode::Status::Made)
                    ended = report->reason;
                continue;
            }
            allMade = false;
            const bool cancelled = Interrupts::received();
            m_console.result(encode::formatName(p.format),
                             cancelled ? QStringLiteral("cancelled") : QStringLiteral("failed"), p.path,
                             cancelled ? QStringLiteral("ENCODING CANCELLED!") : ended);
        }
        if (m_options.html && videotag::hasVideo(job.made)) {
            videotag::Made made = job.made;
            made.size = videotag::probeVideoSize(r.appFolder, made.webm.isEmpty() ? made.mp4 : made.webm);
            m_console.tag(videotag::html5VideoTag(made));
        }
        return allMade;
    }

private:
    // Every planned output gets the same status and reason.
    bool refuse(const QList<Planned> &planned, const QString &reason, const QString &status, bool say = true)
    {
        if (say)
            m_console.error(reason);
        for (const Planned &p : planned)
            m_console.result(encode::formatName(p.format), status, p.path, reason);
        return false;
    }

    const Options &m_options;
    Console &m_console;
    const encode::Request &m_shared;
    ConsolePrompts m_prompts;
    ConsoleRunner m_runner;
};

} // namespace

int run(const QStringList &arguments, const QString &appFolder, std::FILE *out, std::FILE *err)
{
    const Parsed parsed = parseArguments(arguments);
    switch (parsed.what) {
    case Parsed::Help:
        std::fputs(helpText().toUtf8().constData(), out);
        return AllMade;
    case Parsed::Version:
        std::fprintf(out, "vidlark-encode %s\n", qPrintable(QCoreApplication::applicationVersion()));
        return AllMade;
    case Parsed::BadUsage:
        std::fprintf(err, "vidlark-encode: %s\nTry 'vidlark-encode --help'.\n", parsed.error.toUtf8().constData());
        return BadUsage;
    case Parsed::Run: break;
    }
    const Options &options = parsed.options;
    Console console(options, out, err, ::isatty(::fileno(err)) == 1);

    // This invocation's own folder: the tools run there, and the picture
    // copy of an image watermark lies there, apart from every other run.
    QTemporaryDir working(QDir::tempPath() + QStringLiteral("/vidlark-encode-XXXXXX"));
    encode::Request shared;
    try {
        if (!working.isValid())
            throw RuntimeError(rt::PathFileAccessError);
        if (!options.outputDir.isEmpty() && !QDir().mkpath(options.outputDir))
            throw Refusal(QStringLiteral("OUTPUT FOLDER MISSING!"));
        shared = sharedRequest(options, appFolder, working.path());
    } catch (const Refusal &refusal) {
        console.error(refusal.message());
        return BadUsage;
    } catch (const RuntimeError &e) {
        console.error(generalErrorText(e));
        return BadUsage;
    }

    const Interrupts interrupts;
    Batch batch(options, console, shared);
    bool allMade = true;
    int sources = 0;
    for (const QString &source : options.sources) {
        if (Interrupts::received())
            break;
        ++sources;
        allMade = batch.encode(source) && allMade;
    }
    const int status = Interrupts::received() ? Interrupted : allMade ? AllMade : SomeFailed;
    console.setSource(QString());
    console.summary(sources, status);
    return status;
}

} // namespace cli
