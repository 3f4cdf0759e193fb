#pragma once
// The HTML5 <video> element for the videos a request made, ready to paste
// into a web page.
#include <QSize>
#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace videotag {

struct Made {
    QString outDir; // the output folder, ending in "/"
    QString webm;   // full paths; empty when not made
    QString mp4;
    QString hls;        // the stream's folder
    QString stillImage; // the still image, used as poster when it exists
    QString captions;   // the WebVTT captions, and the language they are in
    QString captionsLanguage;
    QSize size; // the made video's width and height
    // The codecs parameter of each video's type ("vp09.00.10.08, opus"),
    // from its streams as made; empty when unknown.
    QString webmCodecs;
    QString mp4Codecs;
};

// True when the request made a video the tag can offer.
bool hasVideo(const Made &made);

// <video controls preload="metadata" playsinline width="W" height="H"
//        poster="clip.jpg">
//   <source src="clip-hls/master.m3u8" type="application/vnd.apple.mpegurl">
//   <source src="clip.webm" type='video/webm; codecs="vp09.00.10.08, opus"'>
//   <source src="clip.mp4" type='video/mp4; codecs="avc1.4d401e, mp4a.40.2"'>
//   <track kind="captions" src="clip.vtt" label="Captions" srclang="en" default>
//   fallback text
// </video>
// and, with the stream, the script that plays it through hls.js where the
// browser cannot play it itself. Names are relative to the output folder
// and attribute-escaped.
QString html5VideoTag(const Made &made);

// The codecs parameter of one stream as ffprobe describes it (codec_name,
// profile, pix_fmt, width, height, r_frame_rate and the extradata of
// -show_data): "avc1.64001f", "mp4a.40.2", "vp8", "vorbis",
// "vp09.00.31.08", "av01.0.05M.08", "opus". Empty for a stream it cannot
// name.
QString codecOf(const QVariantMap &stream);

// A made file's streams as ffprobe describes them: the codecs of its video
// and audio streams in their order (none at all when one cannot be named: a
// type that names one codec wrongly is worse than none), and its first
// video stream's size and frame rate.
struct Streams {
    QStringList codecs;
    QSize size;
    double frameRate = 0;
};
Streams describeStreams(const QList<QVariantMap> &streams);

// The made videos' size and codecs, read with the application folder's
// engine/ffprobe (without it, the size as engine/ffmpeg tells it and no
// codecs).
void describe(const QString &appFolder, Made &made);

// The size of the first video stream in what "ffmpeg -i FILE" prints
// ("Stream #0:0: Video: h264 ..., 320x240 [SAR 1:1 DAR 4:3], ...").
QSize videoSizeFromProbe(const QString &ffmpegOutput);

} // namespace videotag
