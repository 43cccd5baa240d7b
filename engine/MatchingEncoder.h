#pragma once

#include "engine/SourceFacts.h"

#include <QString>
#include <QStringList>

// The encoder's options that write pictures the way the source's video stream is written: the
// same codec, profile, level, pixel format and bit depth, and colour description (the size,
// sample aspect and the pictures' times come with the decoded pictures), at a quality that
// cannot be told from the source. An exact copy encodes the few pictures it cannot copy with
// them, so that they join the copied ones in one stream.
namespace MatchingEncoder {

struct Choice {
    QStringList options; // empty when the source cannot be matched
    QString problem;     // why not, as a sentence for the user
    QString codecName;   // "H.264", "H.265"
};

// `bitRate`: the source's bit rate as its packets show it (bit/s), 0 when unknown. With
// `reordered`, pictures are reordered (B-frames) as the source's are when it has any, so that
// the first parameter sets promise a decoder as many pictures held back as the copied ones need;
// without, no picture is reordered.
Choice For(const SourceStream& video, qint64 bitRate, bool reordered = false);

// Whether the video's pictures are interlaced fields.
bool Interlaced(const SourceStream& video);

// The quality level (x264's and x265's CRF) for a source of `bitsPerPixel` per picture: the
// richer the source, the finer the pictures encoded again.
int Quality(double bitsPerPixel);

} // namespace MatchingEncoder
