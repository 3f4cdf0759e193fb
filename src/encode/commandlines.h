#pragma once
// The encoder command lines, built from a request. Every piece and every
// blank is fixed: the pieces are joined with no separator of their own, so
// doubled blanks stand wherever a piece ending in a blank meets one
// beginning with a blank.
//
// Paths are joined with "/". Source and output paths are quoted with
// cmdline::quoteArgument, so splitCommandLine gives each back as one
// unchanged argument. The application folder stands unquoted at the head of
// each command unless it needs quoting (appfolder::toolPath).
//
// Failures throw RuntimeError: 53 for a missing option file, 5 for an empty
// window-size text while resizing and for an FLV name shorter than four
// characters when the still image is built.
#include "encode/encoderequest.h"

#include <QSize>
#include <QString>
#include <optional>

namespace commandlines {

using encode::Request;

// The option pieces, taken once per request.
struct OptionPieces {
    QString sizeOption;         // "" or " -s " + first word of the window-size text
    QString videoBitrateText;   // bitrate + "k"
    QString frameRateOption;    // "" for "Auto", otherwise " -r " + rate
    QString audioBitrateOption; // " -ab " + bitrate + "k"
    QString sampleRateOption;   // " -ar " + rate
    QString channelOption;      // " -ac 2 "
};

// Throws 5 when resizing with an empty window-size text.
OptionPieces optionPieces(const Request &request);

// What the encoder read of the source before any output is encoded: the
// size of its picture (invalid when unknown), whether it has sound, and its
// frame rate.
struct SourceFacts {
    QSize size;
    bool audio = false;
    double frameRate = 0; // 0 when unknown
};

// The size an output has: the window size when resizing, else the source's.
QSize outputSize(const Request &request, const SourceFacts &source);

// The constant-quality level (CRF) of a WebM codec at a quality; nothing
// for VP8 and for a fixed bitrate.
std::optional<int> crf(encode::WebmCodec codec, encode::Quality quality);

QString flvOutputPath(const Request &request);
QString mp4OutputPath(const Request &request);
QString webmOutputPath(const Request &request);
QString captionsOutputPath(const Request &request);
// The MP4 output renamed for the faststart run: the output path + ".temp".
QString mp4TempPath(const Request &request);
// The output folder, the FLV name less its last four characters, ".jpg".
// Throws 5 when the FLV name is shorter than four characters.
QString stillImagePath(const Request &request);

// The builders. The FLV and MP4 commands read their x264 option file
// (config/configx264v1.txt, configx264v2.txt: one blank and the line for
// each line, nothing trimmed or skipped) and add the watermark filter text
// when watermarking.
QString flvCommand(const Request &request, const OptionPieces &pieces);
QString mp4Command(const Request &request, const OptionPieces &pieces);
QString faststartCommand(const Request &request);
// The WebM of the request's codec. VP8 with Vorbis takes neither quality
// nor frame rate. VP9 and AV1 take Opus at 48 kHz (the only rate it has),
// a constant quality with the video bitrate as its ceiling or the bitrate
// as a fixed rate; VP9 splits the picture into tile columns of at least
// 256 pixels, when the width is known.
QString webmCommand(const Request &request, const OptionPieces &pieces, const SourceFacts &source = {});
// What the encoder reads of the source, with no output.
QString readSourceCommand(const Request &request);
// The caption file as WebVTT.
QString captionsCommand(const Request &request);
QString stillImageCommand(const Request &request, const OptionPieces &pieces);

} // namespace commandlines
