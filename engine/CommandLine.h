#pragma once

#include <QString>
#include <QStringList>

// A command line is one text. The command runner turns it into an argument vector by the Windows
// rules for command lines, and paths are written into a command line so that those rules give
// them back unchanged. No shell is ever involved.
namespace CommandLine {

// Splits a command line into its arguments:
// - blanks (space, tab) outside a quoted stretch separate arguments;
// - a double quote starts or ends a quoted stretch and is not part of the argument;
// - backslashes are literal, except before a double quote: 2n backslashes and a quote give n
//   backslashes and start or end a quoted stretch, 2n+1 give n backslashes and a literal quote.
// A pair of quotes with nothing between them is an empty argument.
QStringList SplitCommandLine(const QString& commandLine);

// One argument of a command line and where it is written: the characters [begin, end) of the
// text, quotes and escapes included.
struct Argument {
    QString value;
    qsizetype begin = 0;
    qsizetype end = 0;
};

// SplitCommandLine, with the place of each argument in the text.
QList<Argument> SplitWithPositions(const QString& commandLine);

// Writes one argument in double quotes, escaped so that SplitCommandLine gives it back unchanged
// (blanks, double quotes, backslashes before a quote or at the end, any letter).
QString QuoteArgument(const QString& argument);

// The argument as it is when it needs no quotes (no blank, no double quote, not empty), else
// QuoteArgument of it.
QString QuoteArgumentIfNeeded(const QString& argument);

} // namespace CommandLine
