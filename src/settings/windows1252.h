#pragma once
// Windows-1252, the code page profiles are written in: every character of a
// profile is one byte of it, so accented texts are stored as these single
// bytes, never as UTF-8, and a profile reads the same wherever it is read.
#include <QByteArray>
#include <QString>
#include <optional>

namespace windows1252 {

// Index of the first character the code page cannot hold, -1 when every
// character fits. A character outside the Basic Multilingual Plane (two
// UTF-16 units) is reported at its first unit.
qsizetype firstUnencodable(const QString &text);

// The text as Windows-1252 bytes; std::nullopt when a character does not fit.
std::optional<QByteArray> encode(const QString &text);

// Every byte has a meaning: the five codes the code page leaves unassigned
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) become the control characters of the same
// number, as Windows itself converts them, so decode and encode round-trip.
QString decode(const QByteArray &bytes);

} // namespace windows1252
