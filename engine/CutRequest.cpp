#include "engine/CutRequest.h"

#include "engine/CommandLine.h"
#include "engine/EncoderWording.h"

#include <QRegularExpression>

namespace {

const QLatin1StringView OwnPrefix("-quenlet-");

// "25000000", "25MB", "25 MB" is not one argument; "25M" and "25mb" are read as well (MB is a
// million bytes, as on the size presets' labels).
qint64 ByteCount(const QString& text) {
    static const QRegularExpression form(
        QStringLiteral("^(\\d+(?:\\.\\d+)?)\\s*(k|kb|m|mb|g|gb)?$"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = form.match(text.trimmed());
    if (!match.hasMatch()) {
        return 0;
    }
    const QString unit = match.captured(2).toLower();
    double factor = 1;
    if (unit.startsWith(QLatin1Char('k'))) {
        factor = 1e3;
    } else if (unit.startsWith(QLatin1Char('m'))) {
        factor = 1e6;
    } else if (unit.startsWith(QLatin1Char('g'))) {
        factor = 1e9;
    }
    const double bytes = match.captured(1).toDouble() * factor;
    return bytes >= 1 && bytes < 1e15 ? static_cast<qint64>(bytes) : 0;
}

} // namespace

CutRequest CutRequest::Parse(const QString& arguments) {
    CutRequest request;
    const QList<CommandLine::Argument> split = CommandLine::SplitWithPositions(arguments);
    qsizetype copiedUpTo = 0;
    for (qsizetype i = 0; i < split.size(); ++i) {
        const QString& value = split.at(i).value;
        const bool hasNext = i + 1 < split.size();
        if (value.startsWith(OwnPrefix)) {
            const qsizetype first = i;
            if (value == QLatin1String("-quenlet-exact-copy")) {
                request.exactCopy = true;
            } else if (value == QLatin1String("-quenlet-target-size") && hasNext &&
                       ByteCount(split.at(i + 1).value) > 0) {
                request.targetBytes = ByteCount(split.at(i + 1).value);
                ++i;
            } else if (value == QLatin1String("-quenlet-target-size")) {
                request.problem = QStringLiteral("The option -quenlet-target-size needs a size in "
                                                 "bytes, such as 25000000.");
            } else {
                request.problem =
                    QStringLiteral("The option %1 is not one Quenlet knows.").arg(value);
            }
            request.argumentsText += arguments.mid(copiedUpTo, split.at(first).begin - copiedUpTo);
            copiedUpTo = split.at(i).end;
            continue;
        }
        if ((value == QLatin1String("-ss") || value == QLatin1String("-t")) && hasNext) {
            const std::optional<double> seconds =
                EncoderWording::ProgressTimeSeconds(split.at(i + 1).value);
            (value == QLatin1String("-ss") ? request.start : request.length) = seconds;
            ++i;
            continue;
        }
        if (value != QLatin1String("-y")) {
            request.formatOptions.append(value);
        }
    }
    request.argumentsText += arguments.mid(copiedUpTo);
    request.argumentsText = request.argumentsText.trimmed();
    return request;
}
