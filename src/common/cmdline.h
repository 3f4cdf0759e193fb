#pragma once
// Command texts are split into arguments here, never by a shell, with the
// rules the texts were written for:
//  - blanks (space, tab) outside double quotes separate arguments; runs of
//    blanks make no empty arguments;
//  - a double quote starts or ends a quoted stretch and is dropped, so ""
//    is one empty argument;
//  - backslashes are literal, except directly before a double quote: 2n
//    backslashes and a quote give n backslashes and the quote groups; 2n+1
//    backslashes and a quote give n backslashes and a literal quote.
#include <QString>
#include <QStringList>

namespace cmdline {

QStringList splitCommandLine(const QString &commandLine);

// Quotes one argument so that splitCommandLine gives it back unchanged.
// A text without double quotes and without a trailing backslash comes out
// as '"' + text + '"'.
QString quoteArgument(const QString &argument);

// The argument as it stands in a command: unchanged when it holds no blank,
// tab or double quote (and is not empty), otherwise quoted.
QString quoteIfNeeded(const QString &argument);

} // namespace cmdline
