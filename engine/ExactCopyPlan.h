#pragma once

#include "engine/CutContext.h"
#include "engine/CutPlan.h"
#include "engine/CutPoints.h"
#include "engine/MatchingEncoder.h"
#include "engine/StreamKeeping.h"

#include <QList>
#include <QStringList>

// A copy of the range that starts and ends on the marks without encoding it: the source's own
// packets from the first key frame in the range on, and only the pictures before that key frame
// (and the few at the end whose references lie past it) encoded again the way the source is
// written (MatchingEncoder). The pieces (CutPoints) are joined into one video stream, which is
// written with every other stream the cut keeps, cut once over the whole range, and the
// product is checked before it takes its name: it holds exactly the range's pictures, and they
// decode across every join.
//
// The parameter sets: the pictures encoded again have their own, with the same ids as the
// source's, and every piece carries its parameter sets in the stream at its first picture, so a
// decoder takes up the right ones where each piece starts (an IDR picture or, for H.265, a
// clean random access picture whose leading pictures were left out). MP4 and MOV say so with
// the sample entries made for parameter sets in the stream, "avc3" and "hev1"; the ones for a
// single set in the sample entry ("avc1", "hvc1") would promise a decoder that the sets never
// change. Matroska keeps the first set as the codec's private data and the others in the
// stream, as its players expect.
class ExactCopyPlan : public CutPlan {
public:
    explicit ExactCopyPlan(CutContext context);

    PlanAnswer Next(const StepResult* last) override;

private:
    enum class Stage {
        Keeping,
        Packets,
        Head,
        HeadStart,
        Middle,
        MiddleStart,
        Tail,
        Join,
        Count,
        Decode
    };

    PlanAnswer Packets();
    PlanAnswer Decide(const StepResult& packets);
    PlanAnswer NextPiece();
    PlanAnswer Join();
    PlanAnswer After(const StepResult& result);
    QStringList JoinArguments(const QString& list) const;
    PlanStep Encoder(QStringList arguments, double mediaSeconds, double weight) const;
    double Share(double weight) const;
    // Where a run that encodes the pictures from `time` on seeks.
    double Seek(double time) const;

    CutContext context_;
    StreamKeeping keeping_;
    const SourceStream* video_ = nullptr;
    MatchingEncoder::Choice encoder_;     // for the head: reordered as the source is
    MatchingEncoder::Choice tailEncoder_; // for the tail: no picture reordered
    CutPoints points_;
    double start_ = 0; // the mark, in seconds from the source's start
    double end_ = 0;   // the range's end
    Stage stage_ = Stage::Keeping;
    qint64 lead_ = 0;     // how far the copied packets' decode times lead their times (90 kHz)
    qint64 headLead_ = 0; // the same for the pictures encoded before them
    double weights_ = 1;
    bool indexless_ = false; // a source without an index (MPEG-TS), whose seeks are near
    QString head_;
    QString middle_;
    QString tail_;
};
