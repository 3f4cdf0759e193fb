#include "cli/options.h"

#include <QCommandLineParser>
#include <QRegularExpression>

namespace cli {

QString helpText()
{
    return QStringLiteral(
        "Usage: vidlark-encode [options] SOURCE...\n"
        "Encodes each SOURCE video to web formats with the settings of Vidlark Web Video Encoder.\n"
        "\n"
        "  -o, --output DIR      output folder (default: each source's own folder)\n"
        "  -p, --profile FILE    settings from a profile (.vlp), exactly as Load Profile applies them;\n"
        "                        without it, the window's start-up defaults\n"
        "  -f, --formats LIST    flv,mp4,webm,hls in any combination (default: the profile's, else\n"
        "                        flv,mp4)\n"
        "      --webm CODEC      the WebM's codecs: vp8 (VP8 + Vorbis), vp9 or av1 (with Opus)\n"
        "      --quality LEVEL   VP9 and AV1 quality: bitrate (fixed), high, standard or small\n"
        "      --captions FILE   captions (SRT or WebVTT) to give the video as NAME.vtt (default: a\n"
        "                        caption file beside the source with its name)\n"
        "      --still MM:SS     grab a still image at that time\n"
        "      --overwrite       replace outputs that exist (default: refuse them)\n"
        "      --json            progress and results as JSON lines on standard output\n"
        "      --html            print the HTML5 video tag for what each source made\n"
        "  -q, --quiet           print only errors\n"
        "  -h, --help            show this text\n"
        "      --version         show the version\n"
        "\n"
        "Exit status: 0 when every requested output of every source was made; 1 when any failed or\n"
        "was refused; 2 for bad usage or an unusable profile (nothing run); 130 after an interrupt.\n");
}

namespace {

// Parses "flv,mp4,webm" in any case and order; false for an unknown name.
bool readFormats(const QString &list, Options &o, QString *unknown)
{
    o.flv = o.mp4 = o.webm = o.hls = false;
    for (const QString &format : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString f = format.trimmed().toLower();
        if (f == QLatin1String("flv"))
            o.flv = true;
        else if (f == QLatin1String("mp4"))
            o.mp4 = true;
        else if (f == QLatin1String("webm"))
            o.webm = true;
        else if (f == QLatin1String("hls"))
            o.hls = true;
        else
            return *unknown = format, false;
    }
    return true;
}

// The parser's word for what went wrong, in this program's texts.
QString usageError(const QCommandLineParser &parser)
{
    if (!parser.unknownOptionNames().isEmpty()) {
        const QString name = parser.unknownOptionNames().constFirst();
        return QStringLiteral("unknown option ")
            + (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
    }
    static const QRegularExpression missing(QStringLiteral("^Missing value after '(.*)'\\.$"));
    const QRegularExpressionMatch m = missing.match(parser.errorText());
    return m.hasMatch() ? m.captured(1) + QStringLiteral(" needs a value") : parser.errorText();
}

} // namespace

Parsed parseArguments(const QStringList &arguments)
{
    Parsed parsed;
    Options &o = parsed.options;
    const auto bad = [&parsed](const QString &error) {
        parsed.what = Parsed::BadUsage;
        parsed.error = error;
        return parsed;
    };
    QCommandLineParser parser;
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")}, QString(),
                                    QStringLiteral("DIR"));
    const QCommandLineOption profile({QStringLiteral("p"), QStringLiteral("profile")}, QString(),
                                     QStringLiteral("FILE"));
    const QCommandLineOption formats({QStringLiteral("f"), QStringLiteral("formats")}, QString(),
                                     QStringLiteral("LIST"));
    const QCommandLineOption still(QStringLiteral("still"), QString(), QStringLiteral("MM:SS"));
    const QCommandLineOption webm(QStringLiteral("webm"), QString(), QStringLiteral("CODEC"));
    const QCommandLineOption quality(QStringLiteral("quality"), QString(), QStringLiteral("LEVEL"));
    const QCommandLineOption captions(QStringLiteral("captions"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption overwrite(QStringLiteral("overwrite"));
    const QCommandLineOption json(QStringLiteral("json"));
    const QCommandLineOption html(QStringLiteral("html"));
    const QCommandLineOption quiet(QStringList{QStringLiteral("q"), QStringLiteral("quiet")});
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    parser.addOptions({output, profile, formats, still, webm, quality, captions, overwrite, json, html, quiet,
                       help, version});
    // parse(), not process(): the texts and the exit status stay this program's.
    if (!parser.parse(QStringList{QStringLiteral("vidlark-encode")} + arguments))
        return bad(usageError(parser));
    if (parser.isSet(help)) {
        parsed.what = Parsed::Help;
        return parsed;
    }
    if (parser.isSet(version)) {
        parsed.what = Parsed::Version;
        return parsed;
    }
    o.sources = parser.positionalArguments();
    o.outputDir = parser.value(output);
    o.profile = parser.value(profile);
    o.overwrite = parser.isSet(overwrite);
    o.json = parser.isSet(json);
    o.html = parser.isSet(html);
    o.quiet = parser.isSet(quiet);
    QString unknown;
    if (parser.isSet(formats) && !readFormats(parser.value(formats), o, &unknown))
        return bad(QStringLiteral("unknown format '") + unknown + QStringLiteral("' (flv, mp4, webm, hls)"));
    // The words, in the order of the window's drop-downs.
    const auto choice = [&parser](const QCommandLineOption &option,
                                  const QStringList &words) -> std::optional<int> {
        const qsizetype index = words.indexOf(parser.value(option).trimmed().toLower());
        return index < 0 ? std::nullopt : std::optional<int>(int(index));
    };
    const QStringList codecs{QStringLiteral("vp8"), QStringLiteral("vp9"), QStringLiteral("av1")};
    const QStringList levels{QStringLiteral("bitrate"), QStringLiteral("high"), QStringLiteral("standard"),
                             QStringLiteral("small")};
    if (parser.isSet(webm) && !(o.webmCodec = choice(webm, codecs)))
        return bad(QStringLiteral("unknown WebM codec '") + parser.value(webm)
                   + QStringLiteral("' (vp8, vp9, av1)"));
    if (parser.isSet(quality) && !(o.quality = choice(quality, levels)))
        return bad(QStringLiteral("unknown quality '") + parser.value(quality)
                   + QStringLiteral("' (bitrate, high, standard, small)"));
    if (parser.isSet(captions))
        o.captions = parser.value(captions);
    if (parser.isSet(still)) {
        const QStringList time = parser.value(still).split(QLatin1Char(':'));
        if (time.size() != 2)
            return bad(QStringLiteral("--still takes a time as MM:SS"));
        o.stillMinute = time.at(0);
        o.stillSecond = time.at(1);
    }
    if (o.sources.isEmpty())
        return bad(QStringLiteral("INPUT OR SOURCE FILE REQUIRED!"));
    if (o.captions && o.sources.size() > 1)
        return bad(QStringLiteral("--captions takes one source"));
    return parsed;
}

} // namespace cli
