#include "engine/CommandLine.h"

namespace CommandLine {
namespace {

bool IsBlank(QChar character) {
    return character == QLatin1Char(' ') || character == QLatin1Char('\t');
}

} // namespace

QStringList SplitCommandLine(const QString& commandLine) {
    QStringList arguments;
    QString current;
    bool inArgument = false; // something (even only a pair of quotes) belongs to `current`
    bool quoted = false;
    const qsizetype length = commandLine.size();
    qsizetype i = 0;
    while (i < length) {
        const QChar character = commandLine.at(i);
        if (character == QLatin1Char('\\')) {
            qsizetype backslashes = 0;
            while (i < length && commandLine.at(i) == QLatin1Char('\\')) {
                ++backslashes;
                ++i;
            }
            inArgument = true;
            if (i < length && commandLine.at(i) == QLatin1Char('"')) {
                current.append(QString(backslashes / 2, QLatin1Char('\\')));
                if (backslashes % 2 == 1) {
                    current.append(QLatin1Char('"'));
                } else {
                    quoted = !quoted;
                }
                ++i; // the quote is consumed either way
            } else {
                current.append(QString(backslashes, QLatin1Char('\\')));
            }
            continue;
        }
        if (character == QLatin1Char('"')) {
            quoted = !quoted;
            inArgument = true;
        } else if (IsBlank(character) && !quoted) {
            if (inArgument) {
                arguments.append(current);
                current.clear();
                inArgument = false;
            }
        } else {
            current.append(character);
            inArgument = true;
        }
        ++i;
    }
    if (inArgument) {
        arguments.append(current);
    }
    return arguments;
}

QString QuoteArgument(const QString& argument) {
    QString result;
    result.reserve(argument.size() + 2);
    result.append(QLatin1Char('"'));
    qsizetype backslashes = 0;
    for (const QChar character : argument) {
        if (character == QLatin1Char('\\')) {
            ++backslashes;
            continue;
        }
        if (character == QLatin1Char('"')) {
            // Backslashes before a literal quote are doubled, and the quote gets one of its own.
            result.append(QString(backslashes * 2 + 1, QLatin1Char('\\')));
        } else {
            result.append(QString(backslashes, QLatin1Char('\\')));
        }
        backslashes = 0;
        result.append(character);
    }
    // Backslashes before the closing quote are doubled so the quote still ends the stretch.
    result.append(QString(backslashes * 2, QLatin1Char('\\')));
    result.append(QLatin1Char('"'));
    return result;
}

QString QuoteArgumentIfNeeded(const QString& argument) {
    const bool needsQuotes = argument.isEmpty() || argument.contains(QLatin1Char(' ')) ||
                             argument.contains(QLatin1Char('\t')) ||
                             argument.contains(QLatin1Char('"'));
    return needsQuotes ? QuoteArgument(argument) : argument;
}

} // namespace CommandLine
