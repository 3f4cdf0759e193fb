#pragma once
// Reads an encoder's progress from the console output the runner delivers:
// the source's "Duration:" and the "time=" and "speed=" of the status lines
// (which end in CR, not LF). Fed raw byte chunks as they arrive; a line is
// read once it is complete, so a "Duration:" written in several small
// pieces is still understood.
#include <QByteArray>
#include <QString>
#include <optional>

class ProgressParser
{
public:
    void feed(const QByteArray &chunk);
    void reset();

    // Length of the source in seconds; nullopt while unknown ("N/A" or not
    // seen yet). Only the first input's duration counts.
    std::optional<double> duration() const { return m_duration; }
    // Position reached, in seconds of the source; negative times (printed
    // before the first packet) are ignored.
    std::optional<double> position() const { return m_position; }
    // The encoder's own speed figure ("speed=2.4x").
    std::optional<double> speed() const { return m_speed; }
    // Share done, 0 to 1, when both duration and position are known.
    std::optional<double> fraction() const;

private:
    void parseLine(const QByteArray &line);

    QByteArray m_pending;
    bool m_durationSeen = false;
    std::optional<double> m_duration;
    std::optional<double> m_position;
    std::optional<double> m_speed;
};

// Parses "HH:MM:SS.cc" (and "-HH:MM:SS.cc"); nullopt when it is not a time.
std::optional<double> parseClock(const QByteArray &text);

// A time left that does not jump about: the rate of progress is smoothed
// over the updates, and nothing is offered until there is enough to go by
// or when the figure would be negative or absurd.
class TimeLeftEstimator
{
public:
    // elapsed: wall-clock seconds since the run started; position and
    // duration in seconds of the source.
    std::optional<double> update(double elapsed, double position, double duration);
    void reset();

private:
    std::optional<double> m_rate; // smoothed source seconds per wall second
    std::optional<double> m_shown;
    double m_lastElapsed = -1;
};

// "0:42", "12:05", "1:02:03".
QString formatDuration(double seconds);

// "Elapsed 0:42 — about 1:10 left — 2.4× real time"; the parts that are not
// known are left out.
QString progressLine(double elapsed, std::optional<double> left, std::optional<double> speed);
