#include "engine/CommandLine.h"

#include <utility>

namespace CommandLine {
namespace {

bool IsBlank(QChar character) {
    return character == QLatin1Char(' ') || character == QLatin1Char('\t');
}

} // namespace

QList<Argument> SplitWithPositions(const QString& commandLine) {
    QList<Argument> arguments;
    Argument current;
    bool inArgument = false; // something (even only a pair of quotes) belongs to `current`
    bool quoted = false;
    const qsizetype length = commandLine.size();
    qsizetype i = 0;
    const auto startArgument = [&] {
        if (!inArgument) {
            current.begin = i;
            inArgument = true;
        }
    };
    while (i < length) {
        const QChar character = commandLine.at(i);
        if (character == QLatin1Char('\\')) {
            startArgument();
            qsizetype backslashes = 0;
            while (i < length && commandLine.at(i) == QLatin1Char('\\')) {
                ++backslashes;
                ++i;
            }
            if (i < length && commandLine.at(i) == QLatin1Char('"')) {
                current.value.append(QString(backslashes / 2, QLatin1Char('\\')));
                if (backslashes % 2 == 1) {
                    current.value.append(QLatin1Char('"'));
                } else {
                    quoted = !quoted;
                }
                ++i; // the quote is consumed either way
            } else {
                current.value.append(QString(backslashes, QLatin1Char('\\')));
            }
            continue;
        }
        if (character == QLatin1Char('"')) {
            startArgument();
            quoted = !quoted;
        } else if (IsBlank(character) && !quoted) {
            if (inArgument) {
                current.end = i;
                arguments.append(std::exchange(current, Argument{}));
                inArgument = false;
            }
        } else {
            startArgument();
            current.value.append(character);
        }
        ++i;
    }
    if (inArgument) {
        current.end = length;
        arguments.append(current);
    }
    return arguments;
}

QStringList SplitCommandLine(const QString& commandLine) {
    QStringList values;
    for (const Argument& argument : SplitWithPositions(commandLine)) {
        values.append(argument.value);
    }
    return values;
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
