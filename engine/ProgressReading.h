#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

// What one piece of the encoder's console output says about a run: a status to announce, a
// progress to announce after it, both or neither.
struct ProgressReading {
    // "Unknown format", "Cancelled" or "<time> Seconds Converted".
    std::optional<QString> status;
    // Percentage of the length encoded so far (not clamped), or -1 for an unknown format.
    std::optional<qint16> progress;
};

// Reads `piece`, the next piece of a run's output. `unfinishedLine` is the end of the output
// after its last line break so far: the piece is read after it (the encoder's error line may
// arrive split over two pieces), and it is updated to the new end. `runInput` is the run's
// input, whose error line means "Unknown format" (EncoderWording::IsUnknownFormat);
// `fileTimeLength` is the length in seconds to be encoded (0 when unknown: the time is then
// announced as a status instead of a percentage). The piece "Cancelled" is the runner's own.
// Only the first "time=" of a piece counts.
ProgressReading ReadProgressPiece(const QString& piece, QString& unfinishedLine,
                                  const QString& runInput, float fileTimeLength);
