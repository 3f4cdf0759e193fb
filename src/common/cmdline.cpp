#include "common/cmdline.h"

namespace cmdline {

namespace {
bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}
} // namespace

QStringList splitCommandLine(const QString &commandLine)
{
    QStringList args;
    QString current;
    bool inArgument = false; // something (even "") has started an argument
    bool quoted = false;
    const qsizetype n = commandLine.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = commandLine.at(i);
        if (c == QLatin1Char('\\')) {
            qsizetype run = 0;
            while (i < n && commandLine.at(i) == QLatin1Char('\\')) {
                ++run;
                ++i;
            }
            inArgument = true;
            if (i < n && commandLine.at(i) == QLatin1Char('"')) {
                current.append(QString(run / 2, QLatin1Char('\\')));
                if (run % 2 == 1) {
                    current.append(QLatin1Char('"'));
                    ++i;
                }
                // An even run leaves the quote to the next pass, which groups.
            } else {
                current.append(QString(run, QLatin1Char('\\')));
            }
            continue;
        }
        if (c == QLatin1Char('"')) {
            quoted = !quoted;
            inArgument = true;
            ++i;
            continue;
        }
        if (isBlank(c) && !quoted) {
            if (inArgument) {
                args.append(current);
                current.clear();
                inArgument = false;
            }
            ++i;
            continue;
        }
        current.append(c);
        inArgument = true;
        ++i;
    }
    if (inArgument)
        args.append(current);
    return args;
}

QString quoteArgument(const QString &argument)
{
    QString out(QLatin1Char('"'));
    qsizetype backslashes = 0;
    for (QChar c : argument) {
        if (c == QLatin1Char('\\')) {
            ++backslashes;
            continue;
        }
        if (c == QLatin1Char('"')) {
            // Backslashes before a quote are doubled, and the quote escaped.
            out.append(QString(backslashes * 2 + 1, QLatin1Char('\\')));
            out.append(QLatin1Char('"'));
        } else {
            out.append(QString(backslashes, QLatin1Char('\\')));
            out.append(c);
        }
        backslashes = 0;
    }
    // Trailing backslashes stand before the closing quote: double them.
    out.append(QString(backslashes * 2, QLatin1Char('\\')));
    out.append(QLatin1Char('"'));
    return out;
}

QString quoteIfNeeded(const QString &argument)
{
    if (argument.isEmpty())
        return quoteArgument(argument);
    for (QChar c : argument) {
        if (isBlank(c) || c == QLatin1Char('"'))
            return quoteArgument(argument);
    }
    return argument;
}

} // namespace cmdline
