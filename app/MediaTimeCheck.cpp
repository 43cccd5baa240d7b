#include "app/MediaTimeCheck.h"

#include <QStringList>

QString MediaTimeCheck::InputFormat(const QString& probeOutputs) {
    // The encoder's own line comes first: a file name that holds such a line comes after
    // "from '" on that line (or on a later one).
    static const QString head = QStringLiteral("Input #0, ");
    static const QString from = QStringLiteral(", from ");
    for (qsizetype at = probeOutputs.indexOf(head); at >= 0;
         at = probeOutputs.indexOf(head, at + 1)) {
        if (at > 0 && probeOutputs.at(at - 1) != QLatin1Char('\n') &&
            probeOutputs.at(at - 1) != QLatin1Char('\r')) {
            continue;
        }
        const qsizetype start = at + head.size();
        const qsizetype end = probeOutputs.indexOf(from, start);
        const qsizetype lineEnd = probeOutputs.indexOf(QLatin1Char('\n'), start);
        if (end < 0 || (lineEnd >= 0 && lineEnd < end)) {
            return {};
        }
        return probeOutputs.mid(start, end - start).trimmed();
    }
    return {};
}

bool MediaTimeCheck::HasTime(const QString& probeOutputs) {
    const QString format = InputFormat(probeOutputs);
    if (format.isEmpty()) {
        return true;
    }
    const QStringList readers = format.split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString& reader : readers) {
        if (reader == QLatin1String("image2") || reader == QLatin1String("image2pipe") ||
            reader.endsWith(QLatin1String("_pipe"))) {
            return false;
        }
    }
    return true;
}
