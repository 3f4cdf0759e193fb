#include "cli/batch.h"

#include "cli/claims.h"
#include "cli/console.h"
#include "cli/options.h"
#include "common/errors.h"
#include "encode/commandlines.h"
#include "encode/encodejob.h"
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

// The request the settings make, with what the options change in it and
// this run's answers for a user who is not there.
encode::Request request(const encodesettings::Settings &model, const Options &o, const QString &appFolder,
                        const QString &workingFolder)
{
    encode::Request r = model.request(appFolder);
    r.workingFolder = workingFolder;
    if (o.flv) {
        r.flv = *o.flv ? 1 : 0;
        r.mp4 = *o.mp4 ? 1 : 0;
        r.webm = *o.webm ? 1 : 0;
        r.hls = *o.hls ? 1 : 0;
    }
    if (o.webmCodec)
        r.webmCodec = encode::WebmCodec(*o.webmCodec);
    if (o.quality)
        r.quality = encode::Quality(*o.quality);
    if (o.stillMinute) {
        r.stillImage = 1;
        r.minute = *o.stillMinute;
        r.second = *o.stillSecond;
    }
    r.overwrite = o.overwrite ? encode::Overwrite::Always : encode::Overwrite::Never;
    r.askToOpenFolder = false;
    return r;
}

// The settings every source shares, checked before anything runs: the
// window's start-up settings, a profile applied as Load Profile applies it,
// the output folder of the options kept as a locked one is, and the
// watermark built. Throws Refusal and RuntimeError with the windows' texts.
void prepareSettings(encodesettings::Settings &model, const Options &o, const QString &appFolder,
                     const QString &workingFolder)
{
    model.loadLists(encodesettings::readLists(appFolder));
    if (!o.profile.isEmpty()) {
        // A pipe or a device would be read until it ends, if ever; an empty
        // file holds no settings at all.
        const QFileInfo file(o.profile);
        if (file.exists() && !file.isFile())
            throw Refusal(QStringLiteral("THE PROFILE IS NOT A REGULAR FILE."));
        if (file.exists() && file.size() == 0)
            throw Refusal(QLatin1String(profile::notAProfile));
        model.applyProfile(o.profile);
    }
    if (o.captions && !QFileInfo(*o.captions).isFile())
        throw Refusal(QStringLiteral("CAPTION FILE NOT FOUND: ") + *o.captions);
    if (!o.outputDir.isEmpty()) {
        model.setValue(settings::LockOutputFolder, 1);
        model.chooseOutputFolder(QFileInfo(o.outputDir).absoluteFilePath());
    }
    const encode::Request r = request(model, o, appFolder, workingFolder);
    encode::checkFormats(r);
    if (r.stillImage == 1)
        encode::checkStillTime(r.minute, r.second);
    if (r.watermarking()) {
        // Built as the dialog's Save builds it; the picture copy lies in
        // this invocation's own folder, where its encoders run.
        // Neither kind chosen builds nothing, which the check refuses.
        if (const auto filter =
                watermark::buildFilter(watermark::settingsOf(model, appFolder), watermark::State(),
                                       workingFolder, watermark::programName())) {
            model.setText(settings::WatermarkFilter, filter->text);
            model.setText(settings::PictureName, filter->imageName);
        }
        encode::checkWatermark(request(model, o, appFolder, workingFolder));
    }
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
    Batch(const Options &options, Console &console, encodesettings::Settings &model, const QString &appFolder,
          const QString &workingFolder, const QSet<QString> &undecodable)
        : m_options(options), m_console(console), m_settings(model), m_appFolder(appFolder),
          m_workingFolder(workingFolder), m_undecodable(undecodable), m_prompts(console),
          m_runner(m_prompts, console, workingFolder)
    {
    }

    // Encodes one source, or reports its outputs as cancelled when an
    // interrupt came first; true when every requested output was made.
    bool encode(const QString &source)
    {
        const QString path = QFileInfo(source).absoluteFilePath();
        m_console.setSource(path);
        // Step 1 as the window takes it: the output folder of the options or
        // the source's own, the output names with the "conv_" rule.
        m_settings.chooseSource(path);
        if (m_options.captions)
            m_settings.chooseCaptions(QFileInfo(*m_options.captions).absoluteFilePath());
        const encode::Request r = request(m_settings, m_options, m_appFolder, m_workingFolder);
        const QList<encode::PlannedOutput> planned = encode::plannedOutputs(r);

        if (Interrupts::received())
            return settleAll(r, planned, encode::Status::Cancelled, QStringLiteral("ENCODING CANCELLED!"),
                             false);
        if (m_undecodable.contains(source))
            return settleAll(r, planned, encode::Status::Refused,
                             QStringLiteral("THE SOURCE FILE NAME IS NOT VALID UTF-8."));
        if (!QFileInfo(path).isFile())
            return settleAll(r, planned, encode::Status::Failed, QStringLiteral("SOURCE FILE NOT FOUND!"));
        // An output this invocation made for an earlier source is never
        // replaced by a later one.
        for (const encode::PlannedOutput &p : planned) {
            const auto earlier = m_outputsOf.constFind(p.path);
            if (earlier != m_outputsOf.cend())
                return settleAll(r, planned, encode::Status::Refused,
                                 QFileInfo(p.path).fileName() + QStringLiteral(" IS ALREADY THE OUTPUT OF ")
                                     + QFileInfo(*earlier).fileName() + QStringLiteral(" IN THIS RUN."));
        }

        OutputClaims claims;
        QStringList paths;
        for (const encode::PlannedOutput &p : planned)
            paths << p.path;
        QString taken;
        if (!claims.claim(paths, &taken))
            return settleAll(r, planned, encode::Status::Refused,
                             QFileInfo(taken).fileName()
                                 + QStringLiteral(" IS BEING WRITTEN BY ANOTHER RUN OF VIDLARK-ENCODE."));
        for (const QString &p : std::as_const(paths))
            m_outputsOf.insert(p, path);

        const encode::JobResult job =
            encode::runEncodeJob(r, m_prompts, m_runner, [this, &r](const encode::OutputReport &report) {
                m_console.result(encode::formatName(report.format), encode::statusName(report.status),
                                 report.path, report.reason, encode::codecName(r, report.format));
            });
        if (m_options.html && videotag::hasVideo(job.made)) {
            videotag::Made made = job.made;
            videotag::describe(r.appFolder, made);
            m_console.tag(videotag::html5VideoTag(made));
        }
        return job.allMade();
    }

private:
    // Every planned output gets the same status and reason.
    bool settleAll(const encode::Request &r, const QList<encode::PlannedOutput> &planned,
                   encode::Status status, const QString &reason, bool say = true)
    {
        if (say)
            m_console.error(reason);
        for (const encode::PlannedOutput &p : planned)
            m_console.result(encode::formatName(p.format), encode::statusName(status), p.path, reason,
                             encode::codecName(r, p.format));
        return false;
    }

    const Options &m_options;
    Console &m_console;
    encodesettings::Settings &m_settings;
    const QString m_appFolder;
    const QString m_workingFolder;
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
    case Parsed::Help: std::fputs(helpText().toUtf8().constData(), out); return AllMade;
    case Parsed::Version:
        std::fprintf(out, "vidlark-encode %s\n", qPrintable(QCoreApplication::applicationVersion()));
        return AllMade;
    case Parsed::BadUsage:
        std::fprintf(err, "vidlark-encode: %s\nTry 'vidlark-encode --help'.\n",
                     parsed.error.toUtf8().constData());
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
    encodesettings::Settings model;
    try {
        if (!options.outputDir.isEmpty() && !QDir().mkpath(options.outputDir))
            throw Refusal(QStringLiteral("OUTPUT FOLDER MISSING!"));
        prepareSettings(model, options, appFolder, working.path());
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
        console.error(
            QStringLiteral("engine/ffprobe is missing: outputs are judged by the encoder's exit status "
                           "alone."));

    const QSet<QString> notUtf8 = undecodable(rawArguments);
    Batch batch(options, console, model, appFolder, working.path(), notUtf8);
    bool allMade = true;
    for (const QString &source : options.sources)
        allMade = batch.encode(source) && allMade;
    const int status = Interrupts::received() ? Interrupted : allMade ? AllMade : SomeFailed;
    console.setSource(QString());
    console.summary(int(options.sources.size()), status);
    return status;
}

} // namespace cli
