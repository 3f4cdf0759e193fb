#pragma once
// Conversions of control texts to numbers and truth values, with the
// rounding and the failures (13 type mismatch, 6 overflow) users expect.
#include <QString>
#include <QtGlobal>

namespace conv {

// Text to a floating-point number. Leading and trailing blanks are
// accepted; empty or non-numeric text throws RuntimeError 13.
double CDbl(const QString &text);

// Text to a 16-bit integer, rounded to the nearest whole number with halves
// to even ("2.5" -> 2, "3.5" -> 4). Beyond -32768..32767 throws 6.
qint16 CInt(const QString &text);

// Text to a 32-bit integer, rounded as CInt. Beyond its range throws 6.
qint32 CLng(const QString &text);

// Rounded to the nearest whole number, halves to even (2.5 -> 2, 3.5 -> 4).
double roundHalfEven(double value);

// Whole part rounded down: Int(-2.5) = -3.
double Int(double value);

// "True"/"False" (any letter case), or a number: 0 is false, any other true.
// Anything else throws 13.
bool CBool(const QString &text);

// "True" or "False", as a truth value is written as text.
QString boolText(bool value);

} // namespace conv
