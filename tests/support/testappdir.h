#pragma once
// A private copy of the built application folder for one test, so tests can
// change lists, option files and tools without touching build/appdir.
#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

class TestAppDir
{
public:
    enum Tools { RealTools, FakeEncoder };
    explicit TestAppDir(Tools tools = RealTools);

    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path(); }
    // Absolute path of a file inside the folder ("config/configvbr.txt").
    QString file(const QString &relative) const;
    void writeFile(const QString &relative, const QByteArray &bytes) const;
    QByteArray readFile(const QString &relative) const;

    // engine/ffmpeg (and optionally ma) become the fake tool.
    void useFakeEncoder() const;
    void useFakeFaststart() const;

private:
    QTemporaryDir m_dir;
};

// Writes a whole file (its folder made as needed); true when all was written.
bool writeFileBytes(const QString &path, const QByteArray &bytes);
// A whole file; empty when it cannot be read.
QByteArray fileBytes(const QString &path);

// Paths of the build products tests use.
QString buildAppDir();
QString programBinary();
QString fakeToolBinary();

// Runs Debian's ffmpeg (blocking) with the given arguments; returns true on
// exit status 0. Used to make source clips for end-to-end tests.
bool runFfmpeg(const QStringList &arguments, QString *output = nullptr);
// Makes a clip with picture and sound from ffmpeg's lavfi sources.
bool makeClip(const QString &path, double seconds, const QString &size = QStringLiteral("320x240"),
              bool withAudio = true);
// ffprobe's "codec_type:codec_name" per stream, e.g. {"video:h264", "audio:aac"}.
QStringList probeStreams(const QString &path);
// ffprobe's value of one entry, e.g. probeValue(p, "stream=width", "v:0").
QString probeValue(const QString &path, const QString &entry, const QString &streams = QString());
