#include "support/testappdir.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

QString buildAppDir()
{
    return QStringLiteral(VIDLARK_BUILD_APPDIR);
}

QString programBinary()
{
    return QStringLiteral(VIDLARK_BINARY);
}

QString fakeToolBinary()
{
    return QStringLiteral(VIDLARK_FAKETOOL);
}

static void copyTree(const QString &from, const QString &to)
{
    QDir().mkpath(to);
    QDirIterator it(from, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        const QString target = to + QLatin1Char('/') + info.fileName();
        if (info.isSymLink()) {
            QFile::link(info.symLinkTarget(), target);
        } else if (info.isDir()) {
            copyTree(info.filePath(), target);
        } else if (info.fileName() != QLatin1String("vidlark-encoder")) {
            QFile::copy(info.filePath(), target);
            QFile(target).setPermissions(QFile(info.filePath()).permissions() | QFileDevice::WriteOwner);
        }
    }
}

TestAppDir::TestAppDir(Tools tools)
{
    copyTree(buildAppDir(), m_dir.path());
    if (tools == FakeEncoder)
        useFakeEncoder();
}

QString TestAppDir::file(const QString &relative) const
{
    return m_dir.path() + QLatin1Char('/') + relative;
}

void TestAppDir::writeFile(const QString &relative, const QByteArray &bytes) const
{
    writeFileBytes(file(relative), bytes);
}

QByteArray TestAppDir::readFile(const QString &relative) const
{
    return fileBytes(file(relative));
}

bool writeFileBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QDir().mkpath(QFileInfo(f).absolutePath());
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void TestAppDir::useFakeEncoder() const
{
    QFile::remove(file(QStringLiteral("engine/ffmpeg")));
    QFile::link(fakeToolBinary(), file(QStringLiteral("engine/ffmpeg")));
}

void TestAppDir::useFakeFaststart() const
{
    QFile::remove(file(QStringLiteral("ma")));
    QFile::link(fakeToolBinary(), file(QStringLiteral("ma")));
}

bool runFfmpeg(const QStringList &arguments, QString *output)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("ffmpeg"), QStringList{QStringLiteral("-nostdin"), QStringLiteral("-v"),
                                                  QStringLiteral("error"), QStringLiteral("-y")}
                                          + arguments);
    if (!p.waitForFinished(600000))
        return false;
    if (output)
        *output = QString::fromUtf8(p.readAll());
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool makeClip(const QString &path, double seconds, const QString &size, bool withAudio)
{
    QStringList args{QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                     QStringLiteral("testsrc=size=%1:rate=25").arg(size)};
    if (withAudio)
        args << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i")
             << QStringLiteral("sine=frequency=440:sample_rate=44100");
    args << QStringLiteral("-t") << QString::number(seconds) << QStringLiteral("-c:v")
         << QStringLiteral("mpeg4") << QStringLiteral("-q:v") << QStringLiteral("2");
    if (withAudio)
        args << QStringLiteral("-c:a") << QStringLiteral("pcm_s16le");
    args << path;
    return runFfmpeg(args);
}

QStringList probeStreams(const QString &path)
{
    QProcess p;
    p.start(QStringLiteral("ffprobe"),
            {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
             QStringLiteral("stream=codec_type,codec_name"), QStringLiteral("-of"),
             QStringLiteral("csv=p=0"), path});
    p.waitForFinished(60000);
    QStringList out;
    const QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &line : lines) {
        const QStringList f = line.trimmed().split(QLatin1Char(','));
        if (f.size() >= 2)
            out << f.at(1) + QLatin1Char(':') + f.at(0);
    }
    return out;
}

QString probeValue(const QString &path, const QString &entry, const QString &streams)
{
    QProcess p;
    QStringList args{QStringLiteral("-v"), QStringLiteral("error")};
    if (!streams.isEmpty())
        args << QStringLiteral("-select_streams") << streams;
    args << QStringLiteral("-show_entries") << entry << QStringLiteral("-of")
         << QStringLiteral("default=noprint_wrappers=1:nokey=1") << path;
    p.start(QStringLiteral("ffprobe"), args);
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}
