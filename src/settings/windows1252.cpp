#include "settings/windows1252.h"

#include <array>

namespace windows1252 {

namespace {

// Bytes 0x80 to 0x9F. Everything else is the Unicode code point of the same
// number (ASCII below, Latin-1 from 0xA0 up).
constexpr std::array<char16_t, 32> high = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 98-9F
};

// The byte for one UTF-16 unit, or -1.
int byteFor(char16_t unit)
{
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF))
        return unit;
    for (size_t i = 0; i < high.size(); ++i)
        if (high[i] == unit)
            return int(0x80 + i);
    return -1;
}

} // namespace

qsizetype firstUnencodable(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i)
        if (byteFor(text.at(i).unicode()) < 0)
            return i;
    return -1;
}

std::optional<QByteArray> encode(const QString &text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (QChar c : text) {
        const int b = byteFor(c.unicode());
        if (b < 0)
            return std::nullopt;
        bytes.append(char(b));
    }
    return bytes;
}

QString decode(const QByteArray &bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        text.append(QChar(b >= 0x80 && b <= 0x9F ? high[b - 0x80] : char16_t(b)));
    }
    return text;
}

} // namespace windows1252
