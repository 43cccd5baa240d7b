#pragma once

#include "engine/SourceFacts.h"

#include <QList>
#include <QString>
#include <QStringList>

// Which of a source's streams a cut keeps and how, for every kind of cut: every sound track in
// order with its language and title, the subtitles of the range in step (converted where the
// container takes another text format), attachments, a camera's telemetry, the file's tags,
// the chapters of the range and the timecode of its first picture, as far as the output's
// container holds them (ContainerTraits). A format that says -vn, -an, -sn or -dn drops that
// kind; a format that names its streams with -map keeps exactly those.
namespace StreamSelection {

// What a cut's plan learnt of the source for this cut, beyond its facts.
struct Findings {
    double start = 0;  // the mark, in seconds from the source's start
    double length = 0; // the cut's length in seconds
    // Where the output's first picture lies in the source: the mark for a re-encoded cut, the
    // key frame at or before it for a stream copy of the video.
    double first = 0;
    // Whether the subtitle streams with a cue inside the range are known, and which they are
    // (source indexes). While unknown, no subtitle is kept: an empty subtitle track vanishes
    // from an MP4, and the output would lack a track the encoder announced.
    bool cuesKnown = false;
    QList<int> subtitlesWithCues;
    // The first picture's HDR description as x265 writes it ("master-display=...:max-cll=..."),
    // empty when there is none.
    QString hdrParameters;
    // Only pictures, sound, tags and chapters: the retry after the encoder could not write the
    // subtitles, attachments or telemetry.
    bool plain = false;
};

// What the selection adds to a cut.
struct Choice {
    // The inputs after the source's "-i <input>", in order: the subtitle piece, the chapters.
    QStringList inputs;
    // The options after the format's own options.
    QStringList options;
    // The run that writes the range's subtitles into a piece first (the encoder's arguments),
    // and that piece; both empty when the cut keeps no subtitles.
    QStringList pieceArguments;
    QString piece;
    // Whether the cut keeps subtitles, attachments or telemetry (which a retry can leave out).
    bool extras = false;
    // Sentences for the user about what the container could not keep.
    QStringList notes;
};

// The selection for a cut of `input` into a file with `extension`, given the format's own
// options. `pieceStem` is where the subtitle piece may go (an extension is added). With
// `outputSeek` the cut seeks on the output side, and the extra inputs are moved to the source's
// time.
Choice Choose(const SourceFacts& facts, const QString& input, const QString& extension,
              const QStringList& formatOptions, const Findings& findings, const QString& pieceStem,
              bool outputSeek = false);

// Whether the format's options copy the video ('v') or the sound ('a') as it is: the last codec
// option that applies to that kind says "copy".
bool Copies(const QStringList& formatOptions, QChar kind);

// The chapters of a cut: each source chapter cut to [first, end] (source seconds), moved to
// start at `first`, the first one starting at 0, those left shorter than a millisecond dropped;
// as an ffmetadata text ("" when none is left).
QString ChapterText(const SourceFacts& facts, double first, double end);

// What the subtitle codec `codec` becomes in a container that writes text subtitles as
// `textSubtitles` and takes `pictureSubtitles` as they are: "copy", another codec, or empty
// when the container cannot hold it.
QString SubtitleTarget(const QString& codec, const QString& textSubtitles,
                       const QStringList& pictureSubtitles);

// What the cut's run says that the user should know (an HDR source written with 8 bits):
// `encoderOutputs` is that run's console output.
QStringList AfterCut(const SourceFacts& facts, const QString& encoderOutputs);

// Whether a cut with these format options writes the video with x265 at 10 bits or more, so that
// the source's HDR description can be handed on.
bool WritesDeepHevc(const SourceFacts& facts, const QStringList& formatOptions);

} // namespace StreamSelection
