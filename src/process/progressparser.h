#pragma once
// Reads what an encoder reports in the console output the runner delivers:
// the source's "Duration:" and streams, the "frame=", "time=" and "speed="
// of the status lines (which end in CR, not LF), its word that nothing was
// encoded, and the last line that tells of an error. Fed raw byte chunks as
// they arrive; a line is read once it is complete, so a "Duration:" written
// in several small pieces is still understood.
#include <QByteArray>
#include <QElapsedTimer>
#include <QSize>
#include <QString>
#include <optional>

class ProgressParser
{
public:
    void feed(const QByteArray &chunk);
    // Reads a last line that the output ended without a line end.
    void finish();
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

    // Frames counted by the last status line; nullopt when none had a count
    // (an audio-only output, or a tool that reports no progress).
    std::optional<qint64> frames() const { return m_frames; }
    // The encoder said "Output file is empty, nothing was encoded".
    bool outputEmpty() const { return m_outputEmpty; }
    // True when the tool reported encoded video: frames counted and no word
    // of an empty output.
    bool encodedVideo() const { return m_frames.value_or(0) > 0 && !m_outputEmpty; }
    // The last line that tells of a failure ("Error closing file x.flv: No
    // space left on device"), without its line end; empty when none came.
    // Status and statistics lines, indented detail lines and the closing
    // "Conversion failed!" are not taken for one.
    QString lastErrorLine() const { return QString::fromUtf8(m_lastErrorLine); }

    // What the encoder said of its first input ("Input #0"), never of its
    // output: whether a stream of it is audio, and the width and height of
    // its first video stream (invalid until seen) and its frame rate (0
    // until seen).
    bool inputHasAudio() const { return m_inputAudio; }
    QSize inputVideoSize() const { return m_inputVideoSize; }
    double inputFrameRate() const { return m_inputFrameRate; }

private:
    void parseLine(const QByteArray &line);
    void parseInputLine(const QByteArray &line);

    QByteArray m_pending;
    bool m_durationSeen = false;
    std::optional<double> m_duration;
    std::optional<double> m_position;
    std::optional<double> m_speed;
    std::optional<qint64> m_frames;
    bool m_outputEmpty = false;
    QByteArray m_lastErrorLine;
    bool m_inInput = false;
    bool m_inputAudio = false;
    QSize m_inputVideoSize;
    double m_inputFrameRate = 0;
};

// A tool's error line as the program's messages show it: upper-cased, and
// ending in ".", "!" or "?" (a "." is added where it ends otherwise).
QString errorSentence(const QString &line);

// Whether a line of a tool's console output tells of a failure.
bool isErrorLine(const QByteArray &line);

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

// Where a run stands: the seconds since it started and, once the encoder's
// report tells them, the share done (0 to 1), the seconds left and its
// speed (times real time).
struct ProgressFigures {
    double elapsed = 0;
    std::optional<double> fraction{};
    std::optional<double> left{};
    std::optional<double> speed{};
};

// Follows one run from its start, for whoever shows how far it has come.
class RunProgress
{
public:
    void start();
    // The figures now, from what the tool has reported so far.
    ProgressFigures update(const ProgressParser &report);

private:
    QElapsedTimer m_clock;
    TimeLeftEstimator m_estimator;
};

// "Elapsed 0:42 — about 1:10 left — 2.4× real time"; the parts that are not
// known are left out.
QString progressLine(const ProgressFigures &figures);
