#include "common/conversions.h"

#include "common/errors.h"

#include <cfenv>
#include <charconv>
#include <cmath>

namespace conv {

namespace {

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

QString stripBlanks(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text.at(begin)))
        ++begin;
    while (end > begin && isBlank(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

} // namespace

double roundHalfEven(double value)
{
    // nearbyint follows the current rounding mode, which is to-nearest-even
    // unless someone changed it; make sure of it.
    const int previous = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(value);
    std::fesetround(previous);
    return rounded;
}

double CDbl(const QString &text)
{
    const QString s = stripBlanks(text);
    if (s.isEmpty())
        throw RuntimeError(rt::TypeMismatch);
    // Only plain decimal notation: digits, one point, an optional sign and
    // exponent. No hexadecimal, no "inf"/"nan".
    for (QChar c : s) {
        if (!(c.isDigit() && c.unicode() < 128) && c != QLatin1Char('.') && c != QLatin1Char('+')
            && c != QLatin1Char('-') && c != QLatin1Char('e') && c != QLatin1Char('E'))
            throw RuntimeError(rt::TypeMismatch);
    }
    // from_chars reads the C notation whatever the user's locale is.
    QByteArray latin = s.toLatin1();
    if (latin.startsWith('+'))
        latin.remove(0, 1);
    double value = 0;
    const char *begin = latin.constData();
    const char *end = begin + latin.size();
    const auto [ptr, ec] = std::from_chars(begin, end, value, std::chars_format::general);
    if (ec == std::errc::result_out_of_range)
        throw RuntimeError(rt::Overflow);
    if (ec != std::errc() || ptr != end)
        throw RuntimeError(rt::TypeMismatch);
    return value;
}

qint16 CInt(const QString &text)
{
    const double rounded = roundHalfEven(CDbl(text));
    if (rounded < -32768.0 || rounded > 32767.0)
        throw RuntimeError(rt::Overflow);
    return static_cast<qint16>(rounded);
}

qint32 CLng(const QString &text)
{
    const double rounded = roundHalfEven(CDbl(text));
    if (rounded < -2147483648.0 || rounded > 2147483647.0)
        throw RuntimeError(rt::Overflow);
    return static_cast<qint32>(rounded);
}

double Int(double value)
{
    return std::floor(value);
}

bool CBool(const QString &text)
{
    const QString s = stripBlanks(text);
    if (s.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (s.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    return CDbl(s) != 0.0;
}

QString boolText(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

} // namespace conv
