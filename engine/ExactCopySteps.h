#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The runs of an exact copy (ExactCopyPlan), as the encoder's and the prober's arguments. Every
// piece of video is written as MPEG-TS: its pictures then carry their parameter sets in the
// stream, at each key frame, which is what lets pieces written by two encoders (the source's
// and ours) follow one another in one stream; and the timestamps keep 90 kHz precision.
namespace ExactCopySteps {

// The prober's look at the video packets of stream `stream` around [from, to] (seconds from
// the source's start; `startTime`: the source's own start): time, decode time, flags, size.
QStringList PacketProbe(const QString& input, int stream, double from, double to, double startTime);

// Where a run that must start decoding at the key frame `key` seeks: just past it in a file
// with an index, which lands on it; a second before it in a file without one (MPEG-TS), whose
// seeks land near a time rather than on a key frame.
double SeekTarget(double key, bool indexless, double shortestGap);

// Encodes `pictures` pictures from `from` on with `encoder` into `piece`, decoding from the
// seek at `seek` (SeekTarget of the key frame before `from`).
QStringList EncodePiece(const QString& input, int stream, double seek, double from, int pictures,
                        const QStringList& encoder, const QString& piece);

// Copies the source's packets shown in [from, to) from the key frame at `from` into `piece`,
// leaving out those shown before it, which refer to pictures before the key frame (the leading
// pictures of an open group of pictures). `seek`: SeekTarget of `from`; `shortestGap`: the
// shortest time between two pictures.
QStringList CopyMiddle(const QString& input, int stream, double seek, double from, double to,
                       double shortestGap, const QString& piece);

// The prober's look at the first packet of a piece: its time and decode time in 90 kHz ticks.
QStringList FirstPacketProbe(const QString& piece);

// The ticks between the first packet's time and decode time in the prober's output of
// FirstPacketProbe(); 0 when it says nothing.
qint64 DecodeLead(const QString& probeOutputs);

// A piece and how long it lasts, for the concat list.
struct Piece {
    QString path;
    double seconds = 0;
};
// The concat demuxer's list of the pieces, each lasting exactly its time, so that each starts
// where the one before ends.
QString ConcatList(const QList<Piece>& pieces);

// The decode times of the pictures encoded again before the key frame go earlier by `lead`
// ticks (90 kHz), by as much as the copied packets' decode times lead their times more than
// theirs do (a key frame with leading pictures is decoded well before it is shown), so that
// decode times rise across the join. `keyFrame`: the join, in seconds from the cut's start.
QString JoinTimestamps(double keyFrame, double shortestGap, qint64 lead);

// Decodes the product's pictures: one that cannot be decoded, or a time out of order, is an
// error line of the decoder or of the (null) muxer.
QStringList DecodeCheck(const QString& product);
// The complaints in a DecodeCheck run's output; empty when there are none.
QString DecodeProblems(const QString& outputs);

// The prober's count of the product's video packets, and reading it.
QStringList CountProbe(const QString& product);
int CountOf(const QString& probeOutputs);

} // namespace ExactCopySteps
