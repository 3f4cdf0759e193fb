#include "cli/options.h"

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
        "  -f, --formats LIST    flv,mp4,webm in any combination (default: the profile's, else flv,mp4)\n"
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

// The value of an option: the rest of "--name=value", or the next argument.
std::optional<QString> valueOf(const QStringList &arguments, qsizetype &i, const QString &inlineValue,
                               bool hasInline)
{
    if (hasInline)
        return inlineValue;
    if (i + 1 >= arguments.size())
        return std::nullopt;
    return arguments.at(++i);
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
    bool onlySources = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (onlySources || !argument.startsWith(QLatin1Char('-')) || argument == QLatin1String("-")) {
            o.sources << argument;
            continue;
        }
        if (argument == QLatin1String("--")) {
            onlySources = true;
            continue;
        }
        const qsizetype equals = argument.indexOf(QLatin1Char('='));
        const bool hasInline = argument.startsWith(QLatin1String("--")) && equals > 0;
        const QString name = hasInline ? argument.left(equals) : argument;
        const QString inlineValue = hasInline ? argument.mid(equals + 1) : QString();
        const auto value = [&]() { return valueOf(arguments, i, inlineValue, hasInline); };
        const auto is = [&name](const char *shortName, const char *longName) {
            return (shortName && name == QLatin1String(shortName)) || name == QLatin1String(longName);
        };
        if (is("-h", "--help")) {
            parsed.what = Parsed::Help;
            return parsed;
        }
        if (is(nullptr, "--version")) {
            parsed.what = Parsed::Version;
            return parsed;
        }
        if (is("-q", "--quiet")) {
            o.quiet = true;
        } else if (is(nullptr, "--overwrite")) {
            o.overwrite = true;
        } else if (is(nullptr, "--json")) {
            o.json = true;
        } else if (is(nullptr, "--html")) {
            o.html = true;
        } else if (is("-o", "--output") || is("-p", "--profile") || is("-f", "--formats") || is(nullptr, "--still")) {
            const std::optional<QString> v = value();
            if (!v)
                return bad(name + QStringLiteral(" needs a value"));
            if (is("-o", "--output")) {
                o.outputDir = *v;
            } else if (is("-p", "--profile")) {
                o.profile = *v;
            } else if (is("-f", "--formats")) {
                o.flv = o.mp4 = o.webm = false;
                for (const QString &format : v->split(QLatin1Char(','), Qt::SkipEmptyParts)) {
                    const QString f = format.trimmed().toLower();
                    if (f == QLatin1String("flv"))
                        o.flv = true;
                    else if (f == QLatin1String("mp4"))
                        o.mp4 = true;
                    else if (f == QLatin1String("webm"))
                        o.webm = true;
                    else
                        return bad(QStringLiteral("unknown format '") + format + QStringLiteral("' (flv, mp4, webm)"));
                }
            } else {
                const QStringList time = v->split(QLatin1Char(':'));
                if (time.size() != 2)
                    return bad(QStringLiteral("--still takes a time as MM:SS"));
                o.stillMinute = time.at(0);
                o.stillSecond = time.at(1);
            }
        } else {
            return bad(QStringLiteral("unknown option ") + name);
        }
    }
    if (o.sources.isEmpty())
        return bad(QStringLiteral("INPUT OR SOURCE FILE REQUIRED!"));
    return parsed;
}

} // namespace cli
