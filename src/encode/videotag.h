#pragma once
// The HTML5 <video> element for the videos a request made, ready to paste
// into a web page.
#include <QSize>
#include <QString>

namespace videotag {

struct Made {
    QString outDir; // the output folder, ending in "/"
    QString webm;   // full paths; empty when not made
    QString mp4;
    QString stillImage; // the still image, used as poster when it exists
    QSize size;         // the made video's width and height
};

// True when the request made a video the tag can offer.
bool hasVideo(const Made &made);

// <video controls width="W" height="H" poster="clip.jpg">
//   <source src="clip.webm" type="video/webm">
//   <source src="clip.mp4" type="video/mp4">
//   fallback text
// </video>
// Names are relative to the output folder and attribute-escaped.
QString html5VideoTag(const Made &made);

// The size of the first video stream in what "ffmpeg -i FILE" prints
// ("Stream #0:0: Video: h264 ..., 320x240 [SAR 1:1 DAR 4:3], ...").
QSize videoSizeFromProbe(const QString &ffmpegOutput);

// The width and height of a made video, from what the application folder's
// engine/ffmpeg prints about it; an invalid size when it tells none.
QSize probeVideoSize(const QString &appFolder, const QString &video);

} // namespace videotag
