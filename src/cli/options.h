#pragma once
// The command line of vidlark-encode.
#include <QString>
#include <QStringList>
#include <optional>

namespace cli {

struct Options {
    QStringList sources;
    QString outputDir;                       // empty: each source's own folder
    QString profile;                         // empty: the window's start-up settings
    std::optional<bool> flv, mp4, webm, hls; // set when --formats was given
    std::optional<int> webmCodec;            // --webm: an index of the codec list
    std::optional<int> quality;              // --quality: an index of the quality list
    std::optional<QString> captions;         // --captions
    std::optional<QString> stillMinute, stillSecond;
    bool overwrite = false;
    bool json = false;
    bool html = false;
    bool quiet = false;
};

struct Parsed {
    enum What { Run, Help, Version, BadUsage } what = Run;
    Options options;
    QString error; // for BadUsage
};

// Reads the arguments after the program name.
Parsed parseArguments(const QStringList &arguments);

// What --help prints.
QString helpText();

} // namespace cli
