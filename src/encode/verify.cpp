#include "encode/verify.h"

#include "common/appfolder.h"
#include "common/cmdline.h"
#include "process/progressparser.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMap>
#include <QTemporaryFile>
#include <QtEndian>

#include <algorithm>
#include <cmath>

namespace verify {

namespace {

const QString ffprobe = QStringLiteral("engine/ffprobe");

// ffprobe's findings, written with "-of compact": one line per section,
// "packet|stream_index=0|pts_time=0.080000|duration_time=0.040000" and
// "stream|index=0|codec_type=video|width=320|height=240|nb_read_frames=1".
// A packet may carry "|side_data|" and a blank line after it; values are
// "N/A" when unknown.
struct Findings {
    struct Stream {
        QString type;
        QSize size;
        qint64 framesRead = 0;
        qint64 packets = 0;
        QVariantMap fields;
    };
    QMap<int, Stream> streams; // by index
    qint64 packets = 0;        // with a time
    double start = 0;          // the earliest packet's time
    double end = 0;            // the latest end of a packet

    const Stream *first(const QString &type) const
    {
        for (const Stream &s : streams)
            if (s.type == type)
                return &s;
        return nullptr;
    }
    qint64 packetsOf(const QString &type) const
    {
        qint64 count = 0;
        for (const Stream &s : streams)
            if (s.type == type)
                count += s.packets;
        return count;
    }
};

// A compact line's fields: "|" separates them, and a backslash escapes
// "|", itself and line ends ("\n") within a value.
QList<QByteArray> splitFields(const QByteArray &line)
{
    QList<QByteArray> fields(1);
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char c = line.at(i);
        if (c == '|') {
            fields.append(QByteArray());
        } else if (c == '\\' && i + 1 < line.size()) {
            const char next = line.at(++i);
            fields.last() += next == 'n' ? '\n' : next == 'r' ? '\r' : next == 't' ? '\t' : next;
        } else {
            fields.last() += c;
        }
    }
    return fields;
}

Findings readFindings(const QByteArray &text)
{
    Findings f;
    for (const QByteArray &line : text.split('\n')) {
        const QList<QByteArray> fields = splitFields(line.trimmed());
        QHash<QByteArray, QByteArray> values;
        for (const QByteArray &field : fields) {
            const qsizetype equals = field.indexOf('=');
            if (equals > 0)
                values.insert(field.left(equals), field.mid(equals + 1));
        }
        bool ok = false;
        if (fields.first() == "stream") {
            const int index = values.value("index").toInt(&ok);
            if (!ok)
                continue;
            Findings::Stream &s = f.streams[index];
            s.type = QString::fromLatin1(values.value("codec_type"));
            s.size = QSize(values.value("width").toInt(), values.value("height").toInt());
            s.framesRead = values.value("nb_read_frames").toLongLong();
            for (auto v = values.cbegin(); v != values.cend(); ++v)
                s.fields.insert(QString::fromLatin1(v.key()), QString::fromUtf8(v.value()));
        } else if (fields.first() == "packet") {
            const int index = values.value("stream_index").toInt(&ok);
            if (!ok)
                continue;
            ++f.streams[index].packets;
            const double pts = values.value("pts_time").toDouble(&ok);
            if (!ok)
                continue;
            const double length = std::max(0.0, values.value("duration_time").toDouble());
            f.start = f.packets == 0 ? pts : std::min(f.start, pts);
            f.end = f.packets == 0 ? pts + length : std::max(f.end, pts + length);
            ++f.packets;
        }
    }
    return f;
}

// "0:02.8", "1:02:03.5".
QString clock(double seconds)
{
    const qint64 tenths = std::llround(std::max(0.0, seconds) * 10);
    return formatDuration(double(tenths / 10)) + QLatin1Char('.') + QString::number(tenths % 10);
}

QString sizeText(const QSize &size)
{
    return QString::number(size.width()) + QLatin1Char('x') + QString::number(size.height());
}

// ffprobe's line without what only it needs: its "[mov,mp4,... @ 0x55d6...]"
// context and "[error]" level tags, and the name of the file read when the
// line starts with it ("file:/out/a.mp4: Invalid data found when
// processing input").
QString plainErrorLine(QString line, const QString &input)
{
    line = line.trimmed();
    while (line.startsWith(QLatin1Char('['))) {
        const qsizetype close = line.indexOf(QLatin1Char(']'));
        if (close < 0)
            break;
        line = line.mid(close + 1).trimmed();
    }
    const QString named = input + QStringLiteral(": ");
    if (line.startsWith(named))
        line = line.mid(named.size());
    return line;
}

Result incomplete(Result result, const QString &why)
{
    result.verdict = Verdict::Incomplete;
    result.reason = QStringLiteral("THE OUTPUT FILE IS INCOMPLETE.");
    if (!why.isEmpty())
        result.reason += QLatin1Char(' ') + why;
    return result;
}

} // namespace

bool durationMatches(double duration, double encoded)
{
    return std::abs(duration - encoded) <= std::max(0.5, 0.02 * encoded);
}

QString ffprobePath(const QString &appFolder)
{
    return appfolder::joinPath(appFolder, ffprobe);
}

bool present(const QString &appFolder)
{
    const QFileInfo tool(ffprobePath(appFolder));
    return tool.isFile() && tool.isExecutable();
}

Result judge(const QByteArray &findings, const QString &errorLine, bool exitedWell, const Expectation &expect)
{
    const Findings f = readFindings(findings);
    Result result;
    if (f.packets > 0)
        result.duration = f.end - f.start;
    if (expect.describe)
        for (const Findings::Stream &s : f.streams)
            result.streams.append(s.fields);
    if (!errorLine.isEmpty())
        return incomplete(result, errorSentence(errorLine));
    if (!exitedWell)
        return incomplete(result, QString());

    if (expect.kind == Expectation::Kind::Captions) {
        if (f.packetsOf(QStringLiteral("subtitle")) == 0)
            return incomplete(result, QStringLiteral("IT HOLDS NO CAPTIONS."));
        return result;
    }
    const Findings::Stream *video = f.first(QStringLiteral("video"));
    if (expect.kind == Expectation::Kind::Still) {
        if (!video || video->framesRead != 1)
            return incomplete(result, QStringLiteral("IT HOLDS NO PICTURE."));
        if (expect.pictureSize.isValid() && video->size != expect.pictureSize)
            return incomplete(result,
                              QStringLiteral("ITS PICTURE IS ") + sizeText(video->size)
                                  + QStringLiteral(", NOT ") + sizeText(expect.pictureSize)
                                  + QLatin1Char('.'));
        return result;
    }
    if (!video || f.packetsOf(QStringLiteral("video")) == 0 || !result.duration)
        return incomplete(result, QStringLiteral("IT HOLDS NO VIDEO."));
    if (expect.audio && f.packetsOf(QStringLiteral("audio")) == 0)
        return incomplete(result, QStringLiteral("IT HOLDS NO AUDIO."));
    if (expect.encoded && !durationMatches(*result.duration, *expect.encoded))
        return incomplete(result,
                          QStringLiteral("IT LASTS ") + clock(*result.duration) + QStringLiteral(" OF THE ")
                              + clock(*expect.encoded) + QStringLiteral(" ENCODED."));
    if (expect.stated && *result.duration < 0.9 * *expect.stated) {
        result.verdict = Verdict::ShortSource;
        result.reason = QStringLiteral("BAD SOURCE FILE. THE SOURCE ENDS AT ") + clock(*result.duration)
            + QStringLiteral(" OF ITS ") + clock(*expect.stated) + QLatin1Char('.');
    }
    return result;
}

Result verifyOutput(IToolRunner &runner, const QString &appFolder, const QString &scratchFolder,
                    const QString &source, const QString &path, const Expectation &expect)
{
    // Without the tool, or without a place for its findings, there is
    // nothing to go by but the encoder's own word.
    if (!present(appFolder) || !QDir().mkpath(scratchFolder))
        return Result();
    QTemporaryFile findings(appfolder::joinPath(scratchFolder, QStringLiteral("verify-XXXXXX.txt")));
    if (!findings.open())
        return Result();
    findings.close();

    // "file:" keeps a name with a colon from being taken for a protocol.
    // The level tag makes every line ffprobe writes an error line for the
    // report, whatever its wording ("overread 8", "File ended prematurely").
    const QString input = QStringLiteral("file:") + path;
    const QString entries = expect.kind == Expectation::Kind::Still
        ? QStringLiteral(" -count_frames -show_entries stream=index,codec_type,width,height,nb_read_frames")
        : QStringLiteral(" -show_entries "
                         "packet=stream_index,pts_time,duration_time:stream=index,codec_type,width,height")
            + (expect.describe
                   ? QStringLiteral(",codec_name,profile,pix_fmt,r_frame_rate,extradata -show_data")
                   : QString());
    const QString command = appfolder::toolPath(appfolder::GetShortPath(appFolder), ffprobe)
        + QStringLiteral(" -v level+error") + entries + QStringLiteral(" -of compact -o ")
        + cmdline::quoteArgument(QStringLiteral("file:") + findings.fileName()) + QLatin1Char(' ')
        + cmdline::quoteArgument(input);
    const mdlDOSPipe::RunResult run =
        runner.run(ToolRun{command, ToolRun::Tool, source, path, QStringLiteral("verify")});
    if (run.cancelled) {
        Result result;
        result.cancelled = true;
        return result;
    }
    QFile written(findings.fileName());
    const QByteArray text = written.open(QIODevice::ReadOnly) ? written.readAll() : QByteArray();
    written.close();
    Result result = judge(text, plainErrorLine(run.report.lastErrorLine(), input), run.succeeded(), expect);
    if (result.verdict != Verdict::Incomplete && expect.kind == Expectation::Kind::Video && expect.moovFirst
        && !moovBeforeMdat(path)) {
        result = incomplete(result, QStringLiteral("ITS INDEX STANDS AFTER ITS MEDIA DATA."));
    }
    return result;
}

bool moovBeforeMdat(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const qint64 size = file.size();
    bool moov = false;
    for (qint64 at = 0; at + 8 <= size;) {
        uchar head[16];
        if (!file.seek(at))
            return false;
        const qint64 got = file.read(reinterpret_cast<char *>(head), sizeof head);
        if (got < 8)
            return false;
        const QByteArray type(reinterpret_cast<const char *>(head + 4), 4);
        if (type == "moov")
            moov = true;
        else if (type == "mdat")
            return moov;
        quint64 length = qFromBigEndian<quint32>(head);
        quint64 header = 8;
        if (length == 1) {
            if (got < 16)
                return false;
            length = qFromBigEndian<quint64>(head + 8);
            header = 16;
        } else if (length == 0) {
            length = quint64(size - at);
        }
        if (length < header || length > quint64(size - at))
            return false;
        at += qint64(length);
    }
    return false;
}

} // namespace verify
