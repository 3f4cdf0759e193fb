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

#include <QString>

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

QString flvOutputPath(const Request &request);
QString mp4OutputPath(const Request &request);
QString webmOutputPath(const Request &request);
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
QString webmCommand(const Request &request, const OptionPieces &pieces);
QString stillImageCommand(const Request &request, const OptionPieces &pieces);

} // namespace commandlines
