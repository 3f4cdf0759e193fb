#pragma once
// The adaptive stream: a folder with a master playlist and, for each
// rendition of a ladder of sizes, a media playlist with fMP4 segments of
// about six seconds, made by one encoder run that decodes the source once.
#include "encode/commandlines.h"

#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

namespace hls {

// One rung of the ladder.
struct Rendition {
    QString name; // "720p": the name of its playlist and its files
    QSize size;
    int videoKbps = 0;
    int audioKbps = 0; // 0: no sound
    QString profile;   // H.264 "high" or "main"
    QString level;     // "3.1"
};

// The renditions for a source, largest first: 1080, 720, 480 and 360 lines
// at 5000, 2800, 1400 and 800 kbit/s (AAC at 128, 128, 96 and 64 kbit/s
// when it has sound), those at or below its height; a source under 360
// lines gets one rendition at its own size. Widths keep the source's shape
// and are even; profile and level fit the size at the frame rate (30 when
// unknown). An unknown size gives every rung.
QList<Rendition> ladder(const QSize &source, bool audio, double frameRate);

// The H.264 level that holds a picture at a frame rate and a peak rate.
QString level(const QSize &size, double frameRate, int maxKbps);

inline constexpr char masterName[] = "master.m3u8";

// The encoder run that makes the ladder in the request's HLS folder: the
// source's picture (with the watermark) split once and scaled to each
// rendition, a key frame every two seconds at the same times in every
// rendition, each with its peak rate at 1.07 and its buffer at 1.5 times its
// bitrate. Neither window size nor frame rate applies.
QString command(const encode::Request &request, const QList<Rendition> &ladder);

// The folder, "<outDir><hlsName>".
QString folderPath(const encode::Request &request);

// A media playlist as read back: the files it names (the init segment
// first), each segment's duration, and whether it is a whole VOD list.
struct MediaPlaylist {
    QString error; // why it does not parse ("IS NOT COMPLETE."); empty when it does
    QString init;
    QStringList segments;
    QList<double> durations;
};
MediaPlaylist readMediaPlaylist(const QByteArray &text);

// What the master playlist says of one rendition.
struct Variant {
    QString playlist; // "720p.m3u8"
    qint64 bandwidth = 0;
    qint64 averageBandwidth = 0;
    QSize size;
    QString codecs; // "avc1.64001f,mp4a.40.2"
    double frameRate = 0;
};
QByteArray masterPlaylist(const QList<Variant> &variants);

// The peak and the average bitrate of a rendition's segments (bits per
// second), from their sizes in bytes and durations in seconds.
std::pair<qint64, qint64> bandwidths(const QList<qint64> &bytes, const QList<double> &durations);

} // namespace hls
