#include "cli/batch.h"

#include "cli/claims.h"
#include "cli/console.h"
#include "cli/options.h"
#include "common/errors.h"
#include "encode/encodejob.h"
#include "encode/outputnames.h"
#include "encode/commandlines.h"
#include "encode/verify.h"
#include "settings/encodesettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QStringDecoder>
#include <QTemporaryDir>

#include <unistd.h>

namespace cli {

namespace {

// The settings every source shares, checked before anything runs. Throws
// Refusal and RuntimeError with the windows' texts.
encode::Request sharedRequest(const Options &o, const QString &appFolder, const QString &workingFolder)
{
    const encodesettings::Lists lists = encodesettings::readLists(appFolder);
    encodesettings::Settings settings(lists);
    if (!o.profile.isEmpty()) {
        // A pipe or a device would be read until it ends, if ever; an empty
        // file holds no settings at all.
        const QFileInfo file(o.profile);
        if (file.exists() && !file.isFile())
            throw Refusal(QStringLiteral("THE PROFILE IS NOT A REGULAR FILE."));
        if (file.exists() && file.size() == 0)
            throw Refusal(QStringLiteral("NOT A VALID VIDLARK WEB VIDEO ENCODER PROFILE!"));
        settings.applyProfile(o.profile);
    }
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

// The arguments whose bytes are not valid UTF-8, as they were decoded.
QSet<QString> undecodable(const QList<QByteArray> &raw)
{
    QSet<QString> names;
    for (const QByteArray &bytes : raw) {
        QStringDecoder utf8(QStringConverter::Utf8);
        const QString decoded = utf8.decode(bytes);
        if (utf8.hasError())
            names.insert(QFile::decodeName(bytes));
    }
    return names;
}

class Batch
{
public:
    Batch(const Options &options, Console &console, const encode::Request &shared, const QSet<QString> &undecodable)
        : m_options(options), m_console(console), m_shared(shared), m_undecodable(undecodable), m_prompts(console),
          m_runner(m_prompts, console, shared.workingFolder)
    {
    }

    // Encodes one source, or reports its outputs as cancelled when an
    // interrupt came first; true when every requested output was made.
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
        const QString base = names::baseName(names::nameParts(names::fileTitle(path)));
        r.flvName = names::outputName(r.outDir, base + QStringLiteral(".flv"), path);
        r.mp4Name = names::outputName(r.outDir, base + QStringLiteral(".mp4"), path);
        r.webmName = names::outputName(r.outDir, base + QStringLiteral(".webm"), path);
        const QList<encode::PlannedOutput> planned = encode::plannedOutputs(r);

        if (Interrupts::received())
            return settleAll(planned, encode::Status::Cancelled, QStringLiteral("ENCODING CANCELLED!"), false);
        if (m_undecodable.contains(source))
            return settleAll(planned, encode::Status::Refused,
                             QStringLiteral("THE SOURCE FILE NAME IS NOT VALID UTF-8."));
        if (!QFileInfo(path).isFile())
            return settleAll(planned, encode::Status::Failed, QStringLiteral("SOURCE FILE NOT FOUND!"));
        // An output this invocation made for an earlier source is never
        // replaced by a later one.
        for (const encode::PlannedOutput &p : planned) {
            const auto earlier = m_outputsOf.constFind(p.path);
            if (earlier != m_outputsOf.cend())
                return settleAll(planned, encode::Status::Refused,
                                 QFileInfo(p.path).fileName() + QStringLiteral(" IS ALREADY THE OUTPUT OF ")
                                     + QFileInfo(*earlier).fileName() + QStringLiteral(" IN THIS RUN."));
        }

        OutputClaims claims;
        QStringList paths;
        for (const encode::PlannedOutput &p : planned)
            paths << p.path;
        QString taken;
        if (!claims.claim(paths, &taken))
            return settleAll(planned, encode::Status::Refused,
                             QFileInfo(taken).fileName()
                                 + QStringLiteral(" IS BEING WRITTEN BY ANOTHER RUN OF VIDLARK-ENCODE."));
        for (const QString &p : std::as_const(paths))
            m_outputsOf.insert(p, path);

        const encode::JobResult job =
            encode::runEncodeJob(r, m_prompts, m_runner, [this](const encode::OutputReport &report) {
                m_console.result(encode::formatName(report.format), encode::statusName(report.status), report.path,
                                 report.reason);
            });
        if (m_options.html && videotag::hasVideo(job.made)) {
            videotag::Made made = job.made;
            made.size = videotag::probeVideoSize(r.appFolder, made.webm.isEmpty() ? made.mp4 : made.webm);
            m_console.tag(videotag::html5VideoTag(made));
        }
        return job.allMade();
    }

private:
    // Every planned output gets the same status and reason.
    bool settleAll(const QList<encode::PlannedOutput> &planned, encode::Status status, const QString &reason,
                   bool say = true)
    {
        if (say)
            m_console.error(reason);
        for (const encode::PlannedOutput &p : planned)
            m_console.result(encode::formatName(p.format), encode::statusName(status), p.path, reason);
        return false;
    }

    const Options &m_options;
    Console &m_console;
    const encode::Request &m_shared;
    const QSet<QString> &m_undecodable;
    ConsolePrompts m_prompts;
    ConsoleRunner m_runner;
    QHash<QString, QString> m_outputsOf; // output path -> the source it is for
};

} // namespace

int run(const QStringList &arguments, const QString &appFolder, std::FILE *out, std::FILE *err,
        const QList<QByteArray> &rawArguments)
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
    // From here on an interrupt, or a reader that goes away, ends the run
    // cleanly whatever it is doing.
    const Interrupts interrupts;

    // This invocation's own folder: the tools run there, and the picture
    // copy of an image watermark lies there, apart from every other run.
    // Folders of earlier runs of this machine that were killed go first.
    sweepWorkFolders(QDir::tempPath());
    QTemporaryDir working(QDir::tempPath() + QStringLiteral("/vidlark-encode-XXXXXX"));
    if (!working.isValid() || !markWorkFolder(working.path())) {
        // A fault of the machine, not of the request: worth trying again.
        console.error(QStringLiteral("NO TEMPORARY FOLDER: ") + QDir::tempPath()
                      + QStringLiteral(" CANNOT BE WRITTEN."));
        return Interrupts::received() ? Interrupted : SomeFailed;
    }
    encode::Request shared;
    try {
        if (!options.outputDir.isEmpty() && !QDir().mkpath(options.outputDir))
            throw Refusal(QStringLiteral("OUTPUT FOLDER MISSING!"));
        shared = sharedRequest(options, appFolder, working.path());
    } catch (const Refusal &refusal) {
        if (Interrupts::received())
            return Interrupted;
        console.error(refusal.message());
        return BadUsage;
    } catch (const RuntimeError &e) {
        if (Interrupts::received())
            return Interrupted;
        console.error(generalErrorText(e));
        return BadUsage;
    }
    if (!verify::present(appFolder))
        console.error(QStringLiteral("engine/ffprobe is missing: outputs are judged by the encoder's exit status "
                                     "alone."));

    const QSet<QString> notUtf8 = undecodable(rawArguments);
    Batch batch(options, console, shared, notUtf8);
    bool allMade = true;
    for (const QString &source : options.sources)
        allMade = batch.encode(source) && allMade;
    const int status = Interrupts::received() ? Interrupted : allMade ? AllMade : SomeFailed;
    console.setSource(QString());
    console.summary(int(options.sources.size()), status);
    return status;
}

} // namespace cli
