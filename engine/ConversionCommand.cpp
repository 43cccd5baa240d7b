#include "engine/ConversionCommand.h"

#include "engine/CommandLine.h"

#include <QList>

namespace ConversionCommand {

QString Build(const QString& encoder, const QString& input, const QString& arguments,
              const QString& output) {
    // The task hands over the format's arguments with the marked range appended,
    // "<format> -ss S -t L -y". Given after the input, "-ss" is an output option: the encoder
    // decodes everything from the start of the file up to S and throws it away, so a cut near
    // the end of a long film takes minutes and its progress sits at 0 all that time. Given
    // before the input, the encoder seeks in the file to the key frame before S and decodes
    // only from there; frames before S are still dropped, so a re-encoded cut gets the very
    // same pictures, and a stream copy starts at that key frame, so the mark is inside it.
    // The length "-t L" stays an output option: L seconds of output.
    //
    // The start is moved here, where the command line is put together, rather than asking the
    // task for it separately: the converter's arguments stay one text, as the task builds
    // them, and whatever hands the converter an "-ss" gets input seeking. The arguments are
    // split by the same rules the runner uses, so an "-ss" inside a quoted value is left alone.
    QString seek;
    QString rest;
    qsizetype copiedUpTo = 0;
    const QList<CommandLine::Argument> split = CommandLine::SplitWithPositions(arguments);
    for (qsizetype i = 0; i + 1 < split.size(); ++i) {
        if (split.at(i).value != QLatin1String("-ss")) {
            continue;
        }
        const CommandLine::Argument& option = split.at(i);
        const CommandLine::Argument& time = split.at(i + 1);
        seek += arguments.mid(option.begin, time.end - option.begin) + QLatin1Char(' ');
        rest += arguments.mid(copiedUpTo, option.begin - copiedUpTo);
        copiedUpTo = time.end;
        ++i;
    }
    rest += arguments.mid(copiedUpTo);

    return encoder + QLatin1Char(' ') + seek + QStringLiteral("-i ") +
           CommandLine::QuoteArgument(input) + QLatin1Char(' ') + rest + QLatin1Char(' ') +
           CommandLine::QuoteArgument(output);
}

} // namespace ConversionCommand
