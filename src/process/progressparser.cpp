#include "process/progressparser.h"

#include <QList>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>

std::optional<double> parseClock(const QByteArray &text)
{
    QByteArray t = text.trimmed();
    bool negative = false;
    if (t.startsWith('-')) {
        negative = true;
        t.remove(0, 1);
    }
    const QList<QByteArray> parts = t.split(':');
    if (parts.size() != 3)
        return std::nullopt;
    bool okH = false, okM = false, okS = false;
    const double h = parts.at(0).toDouble(&okH);
    const double m = parts.at(1).toDouble(&okM);
    const double s = parts.at(2).toDouble(&okS);
    if (!okH || !okM || !okS)
        return std::nullopt;
    const double value = h * 3600 + m * 60 + s;
    return negative ? -value : value;
}

QString errorSentence(const QString &line)
{
    QString text = line.toUpper();
    if (!text.endsWith(QLatin1Char('.')) && !text.endsWith(QLatin1Char('!'))
        && !text.endsWith(QLatin1Char('?')))
        text += QLatin1Char('.');
    return text;
}

bool isErrorLine(const QByteArray &line)
{
    const QByteArray trimmed = line.trimmed();
    // Detail lines are indented; the closing "Conversion failed!" only
    // repeats that an error came before it.
    if (trimmed.isEmpty() || line.startsWith(' ') || line.startsWith('\t') || trimmed == "Conversion failed!")
        return false;
    const QByteArray lower = trimmed.toLower();
    if (lower.startsWith("frame=") || lower.startsWith("size=") || lower.startsWith("video:"))
        return false;
    static const char *const words[] = {"error",       "fail",      "invalid",  "no such", "not ",
                                        "denied",      "unknown",   "unable",   "cannot",  "can't",
                                        "could not",   "too large", "no space", "exiting", "unrecognized",
                                        "unsupported", "does not",  "doesn't",  "missing", "empty"};
    for (const char *word : words)
        if (lower.contains(word))
            return true;
    return false;
}

void ProgressParser::finish()
{
    if (!m_pending.isEmpty())
        parseLine(m_pending);
    m_pending.clear();
}

void ProgressParser::reset()
{
    *this = ProgressParser();
}

void ProgressParser::feed(const QByteArray &chunk)
{
    m_pending.append(chunk);
    qsizetype start = 0;
    for (qsizetype i = 0; i < m_pending.size(); ++i) {
        const char c = m_pending.at(i);
        if (c == '\n' || c == '\r') {
            if (i > start)
                parseLine(m_pending.mid(start, i - start));
            start = i + 1;
        }
    }
    m_pending.remove(0, start);
    // A line that never ends must not grow without bound.
    if (m_pending.size() > 64 * 1024)
        m_pending.clear();
}

static QByteArray valueAfter(const QByteArray &line, const char *key)
{
    const qsizetype at = line.indexOf(key);
    if (at < 0)
        return QByteArray();
    qsizetype i = at + qsizetype(qstrlen(key));
    while (i < line.size() && line.at(i) == ' ')
        ++i;
    qsizetype end = i;
    while (end < line.size() && line.at(end) != ' ' && line.at(end) != ',')
        ++end;
    return line.mid(i, end - i);
}

// The first input's description runs from "Input #0," to the next line
// that is neither indented nor a bracketed log line ("Input #1", "Output
// #0", "Stream mapping:"). Its streams read
// "  Stream #0:1(eng): Audio: aac ..." and
// "  Stream #0:0: Video: h264 (High), yuv420p(tv, bt709), 1280x720 [SAR 1:1 DAR 16:9], ...".
void ProgressParser::parseInputLine(const QByteArray &line)
{
    if (line.startsWith("Input #")) {
        m_inInput = line.startsWith("Input #0,");
        return;
    }
    if (!m_inInput)
        return;
    if (!line.startsWith(' ') && !line.startsWith('\t') && !line.startsWith('[')) {
        m_inInput = false;
        return;
    }
    const QByteArray trimmed = line.trimmed();
    if (!trimmed.startsWith("Stream #0:"))
        return;
    if (trimmed.contains(": Audio:"))
        m_inputAudio = true;
    const qsizetype video = trimmed.indexOf(": Video:");
    if (video < 0 || m_inputVideoSize.isValid())
        return;
    static const QRegularExpression size(QStringLiteral("(?:^|, )(\\d{1,5})x(\\d{1,5})(?=[ ,]|$)"));
    static const QRegularExpression rate(QStringLiteral(", (\\d+(?:\\.\\d+)?) fps(?=,|$)"));
    const QString description = QString::fromLatin1(trimmed.mid(video + 8).trimmed());
    const QRegularExpressionMatch m = size.match(description);
    if (m.hasMatch())
        m_inputVideoSize = QSize(m.captured(1).toInt(), m.captured(2).toInt());
    const QRegularExpressionMatch r = rate.match(description);
    if (r.hasMatch())
        m_inputFrameRate = r.captured(1).toDouble();
}

void ProgressParser::parseLine(const QByteArray &line)
{
    parseInputLine(line);
    if (!m_durationSeen && line.contains("Duration:")) {
        m_durationSeen = true;
        const auto d = parseClock(valueAfter(line, "Duration:"));
        if (d && *d > 0)
            m_duration = *d;
        return;
    }
    if (line.contains("Output file is empty"))
        m_outputEmpty = true;
    if (line.startsWith("frame=")) {
        bool ok = false;
        const qint64 count = valueAfter(line, "frame=").toLongLong(&ok);
        if (ok && count >= 0)
            m_frames = count;
    }
    if (isErrorLine(line))
        m_lastErrorLine = line.trimmed();
    if (line.contains("time=")) {
        const auto t = parseClock(valueAfter(line, "time="));
        if (t && *t >= 0)
            m_position = *t;
        QByteArray s = valueAfter(line, "speed=");
        if (s.endsWith('x')) {
            s.chop(1);
            bool ok = false;
            const double v = s.toDouble(&ok);
            if (ok && v > 0)
                m_speed = v;
        }
    }
}

std::optional<double> ProgressParser::fraction() const
{
    if (!m_duration || !m_position)
        return std::nullopt;
    return std::clamp(*m_position / *m_duration, 0.0, 1.0);
}

void TimeLeftEstimator::reset()
{
    *this = TimeLeftEstimator();
}

std::optional<double> TimeLeftEstimator::update(double elapsed, double position, double duration)
{
    if (elapsed <= 0 || position <= 0 || duration <= 0 || elapsed < m_lastElapsed)
        return m_shown;
    m_lastElapsed = elapsed;
    const double rate = position / elapsed;
    // Smooth the rate; the first second tells too little to go by.
    m_rate = m_rate ? 0.8 * *m_rate + 0.2 * rate : rate;
    if (elapsed < 1.0)
        return std::nullopt;
    double left = std::max(0.0, duration - position) / *m_rate;
    if (!std::isfinite(left) || left > 24 * 3600.0)
        return std::nullopt;
    // Never let the figure climb back up by a jump: follow rises slowly.
    if (m_shown && left > *m_shown)
        left = *m_shown + 0.25 * (left - *m_shown);
    m_shown = std::max(0.0, left);
    return m_shown;
}

QString formatDuration(double seconds)
{
    const qint64 total = qint64(std::llround(std::max(0.0, seconds)));
    const qint64 h = total / 3600;
    const qint64 m = (total % 3600) / 60;
    const qint64 s = total % 60;
    if (h > 0)
        return QStringLiteral("%1:%2:%3")
            .arg(h)
            .arg(m, 2, 10, QLatin1Char('0'))
            .arg(s, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(m).arg(s, 2, 10, QLatin1Char('0'));
}

void RunProgress::start()
{
    m_clock.start();
    m_estimator.reset();
}

ProgressFigures RunProgress::update(const ProgressParser &report)
{
    ProgressFigures figures;
    figures.elapsed = m_clock.isValid() ? m_clock.elapsed() / 1000.0 : 0.0;
    figures.fraction = report.fraction();
    figures.speed = report.speed();
    if (figures.fraction)
        figures.left = m_estimator.update(figures.elapsed, *report.position(), *report.duration());
    return figures;
}

QString progressLine(const ProgressFigures &figures)
{
    QString line = QStringLiteral("Elapsed ") + formatDuration(figures.elapsed);
    if (figures.left)
        line += QStringLiteral(" \u2014 about ") + formatDuration(*figures.left) + QStringLiteral(" left");
    if (figures.speed)
        line += QStringLiteral(" \u2014 ") + QString::number(*figures.speed, 'f', 1)
            + QStringLiteral("\u00d7 real time");
    return line;
}
