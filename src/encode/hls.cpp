#include "encode/hls.h"

#include "common/appfolder.h"
#include "common/cmdline.h"

#include <algorithm>
#include <cmath>

namespace hls {

namespace {

struct Rung {
    int height;
    int videoKbps;
    int audioKbps;
};
constexpr Rung rungs[] = {{1080, 5000, 128}, {720, 2800, 128}, {480, 1400, 96}, {360, 800, 64}};

constexpr double peakFactor = 1.07;
constexpr double bufferFactor = 1.5;

int peakKbps(int kbps)
{
    return int(std::lround(kbps * peakFactor));
}

// The watermark's graph, from its "-vf" option, with the source's picture
// as its input and "[marked]" as its output.
QString watermarkGraph(const encode::Request &r)
{
    if (!r.watermarking())
        return QString();
    const QStringList words = cmdline::splitCommandLine(r.watermarkFilter);
    QString graph = words.size() == 2 ? words.at(1) : QString();
    const qsizetype in = graph.indexOf(QLatin1String("[in]"));
    const qsizetype out = graph.lastIndexOf(QLatin1String("[out]"));
    if (in < 0 || out < in)
        return QString();
    graph.replace(out, 5, QStringLiteral("[marked]"));
    graph.replace(in, 4, QStringLiteral("[0:v]"));
    return graph;
}

} // namespace

QString level(const QSize &size, double frameRate, int maxKbps)
{
    struct Level {
        const char *name;
        double macroblocksPerSecond;
        double frameMacroblocks;
        int maxKbps;
    };
    static constexpr Level levels[] = {
        {"3.0", 40500, 1620, 10000},    {"3.1", 108000, 3600, 14000},   {"3.2", 216000, 5120, 20000},
        {"4.0", 245760, 8192, 20000},   {"4.1", 245760, 8192, 50000},   {"4.2", 522240, 8704, 50000},
        {"5.0", 589824, 22080, 135000}, {"5.1", 983040, 36864, 240000}, {"5.2", 2073600, 36864, 240000}};
    const double frame = std::ceil(size.width() / 16.0) * std::ceil(size.height() / 16.0);
    for (const Level &l : levels)
        if (frame <= l.frameMacroblocks && frame * frameRate <= l.macroblocksPerSecond
            && maxKbps <= l.maxKbps)
            return QLatin1String(l.name);
    return QStringLiteral("5.2");
}

QList<Rendition> ladder(const QSize &source, bool audio, double frameRate)
{
    const double rate = frameRate > 0 ? frameRate : 30;
    const bool known = source.isValid() && !source.isEmpty();
    QList<Rung> chosen;
    for (const Rung &rung : rungs)
        if (!known || rung.height <= source.height())
            chosen.append(rung);
    if (chosen.isEmpty())
        chosen.append({source.height() / 2 * 2, rungs[3].videoKbps, rungs[3].audioKbps});
    QList<Rendition> renditions;
    for (const Rung &rung : std::as_const(chosen)) {
        Rendition r;
        r.name = QString::number(rung.height) + QLatin1Char('p');
        // As the scaler's "-2" works it out: the nearest even width.
        const int width = known
            ? int(std::lround(double(rung.height) * source.width() / source.height() / 2)) * 2
            : rung.height * 16 / 9 / 2 * 2;
        r.size = QSize(width, rung.height);
        r.videoKbps = rung.videoKbps;
        r.audioKbps = audio ? rung.audioKbps : 0;
        r.profile = rung.height >= 720 ? QStringLiteral("high") : QStringLiteral("main");
        r.level = level(r.size, rate, peakKbps(rung.videoKbps));
        renditions.append(r);
    }
    return renditions;
}

QString folderPath(const encode::Request &r)
{
    return r.outDir + r.hlsName;
}

QString command(const encode::Request &r, const QList<Rendition> &ladder)
{
    const int count = int(ladder.size());
    QString graph = watermarkGraph(r);
    QString split = graph.isEmpty() ? QStringLiteral("[0:v]") : graph + QStringLiteral(";[marked]");
    split += QStringLiteral("split=%1").arg(count);
    QString scale, maps, rates, streams;
    for (int i = 0; i < count; ++i) {
        const Rendition &rung = ladder.at(i);
        split += QStringLiteral("[s%1]").arg(i);
        scale += QStringLiteral(";[s%1]scale=-2:%2[v%1]").arg(i).arg(rung.size.height());
        maps += QStringLiteral(" -map [v%1]").arg(i);
        rates +=
            QStringLiteral(" -b:v:%1 %2k -maxrate:v:%1 %3k -bufsize:v:%1 %4k -profile:v:%1 %5 -level:v:%1 %6")
                .arg(i)
                .arg(rung.videoKbps)
                .arg(peakKbps(rung.videoKbps))
                .arg(int(std::lround(rung.videoKbps * bufferFactor)))
                .arg(rung.profile, rung.level);
        streams += QStringLiteral(" v:%1").arg(i);
        if (rung.audioKbps > 0) {
            rates += QStringLiteral(" -b:a:%1 %2k").arg(i).arg(rung.audioKbps);
            streams += QStringLiteral(",a:%1").arg(i);
        }
        streams += QStringLiteral(",name:") + rung.name;
    }
    QString audio;
    if (count > 0 && ladder.first().audioKbps > 0) {
        for (int i = 0; i < count; ++i)
            audio += QStringLiteral(" -map 0:a:0");
        audio += QStringLiteral(" -c:a aac -ac 2");
    }
    // The encoder reads "%v" in the names as the rendition's name (the
    // checks refuse a folder path with a "%" of its own); a lone rendition's
    // init segment is named outright, as "%v" is not read in it then.
    const QString folder = folderPath(r);
    const QString init =
        count == 1 ? ladder.first().name + QStringLiteral("_init.mp4") : QStringLiteral("%v_init.mp4");
    return appfolder::toolPath(appfolder::GetShortPath(r.appFolder), QStringLiteral("engine/ffmpeg"))
        + QStringLiteral("  -y -i  ") + cmdline::quoteArgument(r.source) + QStringLiteral(" -filter_complex ")
        + cmdline::quoteArgument(split + scale) + maps + audio
        + QStringLiteral(" -c:v libx264 -preset fast -pix_fmt yuv420p -sc_threshold 0"
                         " -force_key_frames \"expr:gte(t,n_forced*2)\"")
        + rates
        + QStringLiteral(" -f hls -hls_time 6 -hls_playlist_type vod -hls_segment_type fmp4"
                         " -hls_flags independent_segments -hls_fmp4_init_filename ")
        + init + QStringLiteral(" -hls_segment_filename ")
        + cmdline::quoteArgument(folder + QStringLiteral("/%v_%03d.m4s"))
        + QStringLiteral(" -master_pl_name ") + QLatin1String(masterName)
        + QStringLiteral(" -var_stream_map ") + cmdline::quoteArgument(streams.mid(1)) + QLatin1Char(' ')
        + cmdline::quoteArgument(folder + QStringLiteral("/%v.m3u8"));
}

MediaPlaylist readMediaPlaylist(const QByteArray &text)
{
    MediaPlaylist list;
    const QList<QByteArray> lines = text.split('\n');
    if (lines.isEmpty() || lines.first().trimmed() != "#EXTM3U") {
        list.error = QStringLiteral("IS NO PLAYLIST.");
        return list;
    }
    double pending = 0; // the duration of the segment to come; 0 for none
    bool ended = false;
    for (const QByteArray &raw : lines) {
        const QByteArray line = raw.trimmed();
        if (line.startsWith("#EXT-X-MAP:URI=\"")) {
            list.init = QString::fromUtf8(line.mid(16).chopped(1));
        } else if (line.startsWith("#EXTINF:")) {
            bool ok = false;
            pending = line.mid(8).split(',').first().toDouble(&ok);
            if (!ok || pending <= 0)
                list.error = QStringLiteral("HAS A SEGMENT WITHOUT A DURATION.");
        } else if (line == "#EXT-X-ENDLIST") {
            ended = true;
        } else if (!line.isEmpty() && !line.startsWith('#')) {
            if (pending <= 0) {
                list.error = QStringLiteral("HAS A SEGMENT WITHOUT A DURATION.");
                continue;
            }
            list.segments << QString::fromUtf8(line);
            list.durations << pending;
            pending = 0;
        }
    }
    if (list.error.isEmpty() && (!ended || list.segments.isEmpty() || list.init.isEmpty()))
        list.error = QStringLiteral("IS NOT COMPLETE.");
    return list;
}

std::pair<qint64, qint64> bandwidths(const QList<qint64> &bytes, const QList<double> &durations)
{
    double peak = 0, total = 0, time = 0;
    for (qsizetype i = 0; i < std::min(bytes.size(), durations.size()); ++i) {
        if (durations.at(i) <= 0)
            continue;
        peak = std::max(peak, bytes.at(i) * 8 / durations.at(i));
        total += bytes.at(i) * 8;
        time += durations.at(i);
    }
    return {qint64(std::ceil(peak)), time > 0 ? qint64(std::ceil(total / time)) : 0};
}

QByteArray masterPlaylist(const QList<Variant> &variants)
{
    QByteArray text = "#EXTM3U\n#EXT-X-VERSION:7\n#EXT-X-INDEPENDENT-SEGMENTS\n";
    for (const Variant &v : variants) {
        text += "\n#EXT-X-STREAM-INF:BANDWIDTH=" + QByteArray::number(v.bandwidth)
            + ",AVERAGE-BANDWIDTH=" + QByteArray::number(v.averageBandwidth)
            + ",RESOLUTION=" + QByteArray::number(v.size.width()) + 'x' + QByteArray::number(v.size.height());
        if (!v.codecs.isEmpty())
            text += ",CODECS=\"" + v.codecs.toLatin1() + '"';
        if (v.frameRate > 0)
            text += ",FRAME-RATE=" + QByteArray::number(v.frameRate, 'f', 3);
        text += '\n' + v.playlist.toUtf8() + '\n';
    }
    return text;
}

} // namespace hls
