#pragma once
// What the tests share: a private copy of the built application folder,
// small shell scripts standing in for the external tools, and Debian's
// ffmpeg for real clips (the core library alone; the program as widget
// tests build it is in program.h).
#include "encode/encoderequest.h"
#include "support/scriptedprompts.h"

#include <QTemporaryDir>
#include <functional>

// Whole files; writing makes the folder. An unreadable file reads empty.
bool writeFileBytes(const QString &path, const QByteArray &bytes);
QByteArray fileBytes(const QString &path);

// The build's application folder and programs.
QString buildAppDir();
QString encodeBinary(); // vidlark-encode

// Shell lines for the stand-in tools. $last is the last argument (an
// encoder's output path).
namespace fake {
// Reports 75 frames encoded and writes 600,000 bytes to the output.
inline constexpr char encodes[] = "printf 'frame=   75 fps=25 q=0.0 size=600kB\\r' >&2\n"
                                  "head -c 600000 /dev/zero > \"$last\"\n";
// A faststart tool: copies its input to its output.
inline constexpr char copies[] = "cp \"$1\" \"$2\"\n";
} // namespace fake

class TestAppDir
{
public:
    TestAppDir();
    QString path() const { return m_dir.path(); }
    QString file(const QString &relative) const { return m_dir.path() + QLatin1Char('/') + relative; }
    void writeFile(const QString &relative, const QByteArray &bytes) const;
    // Replaces a tool ("engine/ffmpeg", "ma") by a shell script with these
    // lines; a stand-in encoder takes engine/ffprobe away. Each start is logged (see toolLog) when FAKE_LOG
    // names a file.
    void setTool(const QString &relative, const QByteArray &lines) const;
    // Every logged start, oldest first: argv[0] and the arguments.
    QList<QStringList> toolLog() const;

private:
    QTemporaryDir m_dir;
};

// A request for FLV and MP4 of `source` into `outDir` with the window's
// start-up settings: names clip.*, 500 kbit/s, 25 fps, 96 kbit/s, 22050 Hz,
// a still image (when asked for) at 00:30.
encode::Request sampleRequest(const QString &appFolder, const QString &source, const QString &outDir);

// The number of the RuntimeError the call throws, 0 when none.
int runtimeErrorOf(const std::function<void()> &call);

// Debian's ffmpeg, blocking; true on exit status 0.
bool runFfmpeg(const QStringList &arguments);
// A clip from lavfi's test sources (noisy picture, a tone when withAudio).
bool makeClip(const QString &path, double seconds, const QString &size = QStringLiteral("320x240"),
              bool withAudio = true);
// ffprobe's "type:codec" per stream, e.g. {"video:h264", "audio:aac"}.
QStringList probeStreams(const QString &path);
// ffprobe's values of the entries asked for ("stream=sample_rate"), one per line.
QStringList probeFields(const QString &path, const QString &entries);
// The MP4's index (moov) stands before its media data (mdat).
bool moovBeforeMdat(const QString &path);

// Tests run as root, for whom permission bits stop nothing. While one of
// these lives, file-system checks of this thread are made as "nobody".
class AsUnprivilegedUser
{
public:
    AsUnprivilegedUser();
    ~AsUnprivilegedUser();

private:
    bool m_dropped = false;
};
