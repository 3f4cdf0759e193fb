#include "support/fixture.h"

#include "common/errors.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QtEndian>

#include <sys/fsuid.h>
#include <unistd.h>

bool writeFileBytes(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString buildAppDir()
{
    return QStringLiteral(VIDLARK_BUILD_APPDIR);
}
QString encodeBinary()
{
    return buildAppDir() + QStringLiteral("/vidlark-encode");
}

namespace {

void copyTree(const QString &from, const QString &to)
{
    QDir().mkpath(to);
    QDirIterator it(from, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        const QString target = to + QLatin1Char('/') + info.fileName();
        if (info.isSymLink())
            QFile::link(info.symLinkTarget(), target);
        else if (info.isDir())
            copyTree(info.filePath(), target);
        else if (!info.isExecutable())
            QFile::copy(info.filePath(), target);
    }
}

} // namespace

TestAppDir::TestAppDir()
{
    copyTree(buildAppDir(), m_dir.path());
}

void TestAppDir::writeFile(const QString &relative, const QByteArray &bytes) const
{
    writeFileBytes(file(relative), bytes);
}

void TestAppDir::setTool(const QString &relative, const QByteArray &lines) const
{
    QFile::remove(file(relative));
    // What a stand-in encoder writes is no media: nothing to read back.
    if (relative == QLatin1String("engine/ffmpeg"))
        QFile::remove(file(QStringLiteral("engine/ffprobe")));
    writeFile(relative,
              "#!/bin/sh\n"
              "[ -n \"$FAKE_LOG\" ] && { for a in \"$0\" \"$@\"; do printf '%s\\0' \"$a\"; done; "
              "printf '\\n'; } >> \"$FAKE_LOG\"\n"
              "for last; do :; done\n"
                  + lines);
    QFile(file(relative))
        .setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

QList<QStringList> TestAppDir::toolLog() const
{
    QList<QStringList> log;
    for (const QByteArray &record : fileBytes(qEnvironmentVariable("FAKE_LOG")).split('\n')) {
        if (record.isEmpty())
            continue;
        QStringList arguments;
        for (const QByteArray &field : record.left(record.size() - 1).split('\0'))
            arguments << QString::fromUtf8(field);
        log << arguments;
    }
    return log;
}

encode::Request sampleRequest(const QString &appFolder, const QString &source, const QString &outDir)
{
    encode::Request r;
    r.appFolder = appFolder;
    r.source = source;
    r.outDir = outDir;
    r.flv = r.mp4 = 1;
    r.flvName = QStringLiteral("clip.flv");
    r.mp4Name = QStringLiteral("clip.mp4");
    r.webmName = QStringLiteral("clip.webm");
    r.videoBitrate = QStringLiteral("500");
    r.frameRate = QStringLiteral("25");
    r.audioBitrate = QStringLiteral("96");
    r.sampleRate = QStringLiteral("22050");
    r.minute = QStringLiteral("00");
    r.second = QStringLiteral("30");
    return r;
}

int runtimeErrorOf(const std::function<void()> &call)
{
    try {
        call();
    } catch (const RuntimeError &e) {
        return e.number();
    }
    return 0;
}

bool runFfmpeg(const QStringList &arguments)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(QStringLiteral("ffmpeg"),
            QStringList{QStringLiteral("-nostdin"), QStringLiteral("-v"), QStringLiteral("error"),
                        QStringLiteral("-y")}
                + arguments);
    return p.waitForFinished(600000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool makeClip(const QString &path, double seconds, const QString &size, bool withAudio)
{
    QStringList args{QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                     QStringLiteral("testsrc2=size=%1:rate=25,noise=alls=40:allf=t").arg(size)};
    if (withAudio)
        args << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i")
             << QStringLiteral("sine=frequency=440:sample_rate=44100") << QStringLiteral("-c:a")
             << QStringLiteral("pcm_s16le");
    args << QStringLiteral("-t") << QString::number(seconds) << QStringLiteral("-c:v")
         << QStringLiteral("mpeg4") << QStringLiteral("-q:v") << QStringLiteral("3") << path;
    return runFfmpeg(args);
}

namespace {

QStringList probe(const QStringList &arguments)
{
    QProcess p;
    p.start(QStringLiteral("ffprobe"),
            QStringList{QStringLiteral("-v"), QStringLiteral("error")} + arguments);
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

QStringList probeStreams(const QString &path)
{
    QStringList out;
    for (const QString &line :
         probe({QStringLiteral("-show_entries"), QStringLiteral("stream=codec_type,codec_name"),
                QStringLiteral("-of"), QStringLiteral("csv=p=0"), path})) {
        const QStringList f = line.trimmed().split(QLatin1Char(','));
        if (f.size() >= 2)
            out << f.at(1) + QLatin1Char(':') + f.at(0);
    }
    return out;
}

QStringList probeFields(const QString &path, const QString &entries)
{
    return probe(
        {QStringLiteral("-show_entries"), entries, QStringLiteral("-of"), QStringLiteral("csv=p=0"), path});
}

bool moovBeforeMdat(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    for (qint64 pos = 0; pos + 8 <= f.size();) {
        f.seek(pos);
        const QByteArray head = f.read(16);
        quint64 length = qFromBigEndian<quint32>(head.constData());
        if (length == 1 && head.size() == 16)
            length = qFromBigEndian<quint64>(head.constData() + 8);
        if (head.mid(4, 4) == "moov")
            return true;
        if (head.mid(4, 4) == "mdat" || length < 8)
            return false;
        pos += qint64(length);
    }
    return false;
}

AsUnprivilegedUser::AsUnprivilegedUser()
{
    if (geteuid() == 0) {
        setfsgid(65534);
        setfsuid(65534);
        m_dropped = true;
    }
}

AsUnprivilegedUser::~AsUnprivilegedUser()
{
    if (m_dropped) {
        setfsuid(0);
        setfsgid(0);
    }
}
