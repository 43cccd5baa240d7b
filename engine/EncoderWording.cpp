#include "engine/EncoderWording.h"

#include "engine/CommandLine.h"
#include "engine/Platform.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringList>

#include <algorithm>
#include <array>

namespace EncoderWording {
namespace {

bool ContainsAny(const QString& text, std::initializer_list<QLatin1StringView> wordings) {
    for (const QLatin1StringView wording : wordings) {
        if (text.contains(wording, Qt::CaseInsensitive)) {
            return true;
        }
    }
    return false;
}

bool AllDigits(QStringView text) {
    if (text.isEmpty()) {
        return false;
    }
    for (const QChar character : text) {
        if (character < QLatin1Char('0') || character > QLatin1Char('9')) {
            return false;
        }
    }
    return true;
}

// "12" or "12.34" (the encoder always writes a point).
std::optional<double> DecimalSeconds(QStringView text) {
    const qsizetype point = text.indexOf(QLatin1Char('.'));
    if (point < 0) {
        if (!AllDigits(text)) {
            return std::nullopt;
        }
    } else if (!AllDigits(text.left(point)) || !AllDigits(text.mid(point + 1))) {
        return std::nullopt;
    }
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok ? std::optional<double>(value) : std::nullopt;
}

} // namespace

bool EncodingBegan(const QString& text) {
    return ContainsAny(text, {QLatin1StringView("press [q] to stop")});
}

bool IsUnknownFormat(const QString& text, const QString& inputFile) {
    if (inputFile.isEmpty()) {
        return false;
    }
    // The encoder's log shows control characters other than tab and line ends as "?".
    QString shown = inputFile;
    for (QChar& character : shown) {
        const char16_t code = character.unicode();
        if (code < 0x08 || (code > 0x0d && code < 0x20)) {
            character = QLatin1Char('?');
        }
    }
    shown += QLatin1String(": ");
    static const std::array<QLatin1StringView, 2> wordings{
        QLatin1StringView("Unknown format"),
        QLatin1StringView("Invalid data found when processing input")};
    // The error line starts the text or follows a line break. The path may hold line breaks of
    // its own, so the search is over the whole text rather than line by line.
    for (qsizetype at = text.indexOf(shown); at >= 0; at = text.indexOf(shown, at + 1)) {
        if (at > 0 && text.at(at - 1) != QLatin1Char('\n') &&
            text.at(at - 1) != QLatin1Char('\r')) {
            continue;
        }
        const QStringView rest = QStringView(text).mid(at + shown.size());
        for (const QLatin1StringView wording : wordings) {
            if (!rest.startsWith(wording, Qt::CaseInsensitive)) {
                continue;
            }
            const QStringView after = rest.mid(wording.size());
            if (!after.isEmpty() && (after.front() == u'\n' || after.front() == u'\r')) {
                return true;
            }
        }
    }
    return false;
}

bool FindProgressTime(const QString& piece, QString* timeText) {
    static const QLatin1StringView marker("time=");
    const qsizetype start = piece.indexOf(marker, 0, Qt::CaseInsensitive);
    if (start < 0) {
        return false;
    }
    const qsizetype from = start + marker.size();
    const qsizetype blank = piece.indexOf(QLatin1Char(' '), from);
    if (timeText != nullptr) {
        *timeText = blank < 0 ? QString() : piece.mid(from, blank - from);
    }
    return true;
}

std::optional<double> ProgressTimeSeconds(const QString& timeText) {
    const QStringList fields = timeText.split(QLatin1Char(':'));
    if (fields.size() > 3) {
        return std::nullopt;
    }
    const std::optional<double> seconds = DecimalSeconds(fields.last());
    if (!seconds) {
        return std::nullopt;
    }
    double total = *seconds;
    double unit = 60.0;
    for (qsizetype i = fields.size() - 2; i >= 0; --i) {
        if (!AllDigits(fields.at(i))) {
            return std::nullopt;
        }
        total += fields.at(i).toDouble() * unit;
        unit *= 60.0;
    }
    return total;
}

PreambleMarker FindPreambleMarker(const QString& text) {
    struct Candidate {
        QLatin1StringView wording;
        int lineBreaks;
        int rank; // markers of a lower rank win, whatever their position
    };
    static const std::array<Candidate, 4> candidates{{
        {QLatin1StringView("Stream mapping:"), 3, 0},
        {QLatin1StringView("Input #"), 4, 1},
        {QLatin1StringView("built on"), 1, 2},
        {QLatin1StringView("built with"), 1, 2},
    }};
    PreambleMarker found;
    int foundRank = 0;
    for (const Candidate& candidate : candidates) {
        if (found.position >= 0 && candidate.rank > foundRank) {
            break;
        }
        const qsizetype position = text.indexOf(candidate.wording, 0, Qt::CaseInsensitive);
        if (position >= 0 && (found.position < 0 || position < found.position)) {
            found = {position, candidate.lineBreaks};
            foundRank = candidate.rank;
        }
    }
    return found;
}

namespace {

bool HasFailureWord(const QString& line) {
    return ContainsAny(line,
                       {QLatin1StringView("error"), QLatin1StringView("could not"),
                        QLatin1StringView("cannot"), QLatin1StringView("can't"),
                        QLatin1StringView("not supported"), QLatin1StringView("unsupported"),
                        QLatin1StringView("invalid"), QLatin1StringView("failed"),
                        QLatin1StringView("no space"), QLatin1StringView("denied"),
                        QLatin1StringView("not found"), QLatin1StringView("unable"),
                        QLatin1StringView("does not contain"), QLatin1StringView("incorrect")});
}

// The lines of the encoder's output that are not progress, prompt, summary, description of
// the files or a codec library's report of its work.
QStringList MessageLines(const QString& outputs) {
    static const QRegularExpression lineBreaks(QStringLiteral("[\r\n]"));
    QStringList lines;
    for (const QString& raw : outputs.split(lineBreaks, Qt::SkipEmptyParts)) {
        // Indented lines and the headings above them describe the files (their names, tags,
        // streams), never a failure; they may hold any word.
        if (raw.startsWith(QLatin1Char(' ')) || raw.startsWith(QLatin1Char('\t')) ||
            raw.startsWith(QLatin1String("Input #")) || raw.startsWith(QLatin1String("Output #"))) {
            continue;
        }
        const QString line = raw.trimmed();
        // Progress lines, the prompt and the closing summary of what was written.
        const bool progress =
            line.contains(QLatin1String("time="), Qt::CaseInsensitive) &&
            (line.contains(QLatin1String("frame=")) || line.contains(QLatin1String("size=")));
        if (line.isEmpty() || progress || EncodingBegan(line) || IsInformational(line) ||
            (line.startsWith(QLatin1String("video:")) && line.contains(QLatin1String("audio:")))) {
            continue;
        }
        lines.append(line);
    }
    return lines;
}

} // namespace

bool IsInformational(const QString& line) {
    // x265 and SVT-AV1 label their lines themselves; only their errors count.
    static const QRegularExpression labelled(QStringLiteral("^(x265|SVT) \\[(info|warning)\\]"),
                                             QRegularExpression::CaseInsensitiveOption);
    if (labelled.match(line).hasMatch()) {
        return true;
    }
    // A codec library's lines through the encoder's log ("[libx264 @ 0x55d0c8] profile High,
    // level 3.0, 4:2:0, 8-bit"): its banner, options and statistics, unless it tells of a failure.
    static const QRegularExpression library(QStringLiteral("^\\[lib\\w+ @ 0x[0-9a-fA-F]+\\] "));
    return library.match(line).hasMatch() && !HasFailureWord(line);
}

QString FailureLines(const QString& outputs) {
    const QStringList lines = MessageLines(outputs);
    QStringList failures;
    for (const QString& line : std::as_const(lines)) {
        if (!failures.contains(line) && HasFailureWord(line)) {
            failures.append(line);
        }
    }
    const QString closing = QStringLiteral("Conversion failed!");
    if (failures.size() > 1) {
        failures.removeAll(closing);
    }
    return failures.join(QLatin1Char('\n'));
}

QString EncoderProgram() {
    const QString name = QStringLiteral("ffmpeg");
    const QFileInfo bundled(QDir(Platform::ApplicationFolder()).filePath(name));
    if (bundled.isFile() && bundled.isExecutable()) {
        return bundled.absoluteFilePath();
    }
    const QString onPath = QStandardPaths::findExecutable(name);
    return onPath.isEmpty() ? name : onPath;
}

QString EncoderCommand() {
    return CommandLine::QuoteArgumentIfNeeded(EncoderProgram());
}

QString ProberProgram() {
    const QString name = QStringLiteral("ffprobe");
    const QFileInfo encoder(EncoderProgram());
    if (encoder.isAbsolute()) {
        const QFileInfo beside(encoder.dir().filePath(name));
        if (beside.isFile() && beside.isExecutable()) {
            return beside.absoluteFilePath();
        }
    }
    const QString onPath = QStandardPaths::findExecutable(name);
    return onPath.isEmpty() ? name : onPath;
}

QString ProberCommand() {
    return CommandLine::QuoteArgumentIfNeeded(ProberProgram());
}

} // namespace EncoderWording
