#pragma once

#include <QList>
#include <QString>

// Where an exact copy of a range joins its pieces, found from the video packets around the
// range in the order they are decoded. The range's pictures are those shown from `start` up to
// (not including) `end`; they are made of three pieces:
//   head:   the pictures before the first key frame at or after the start, encoded again;
//   middle: the source's own packets from that key frame on, as many as can be copied: the
//           longest run in decode order that shows exactly the pictures from the key frame up
//           to some picture before the end, so that no copied picture refers to one left out;
//   tail:   the few pictures from there up to the end, encoded again.
// A range without a key frame is all head; a start on a key frame has no head.
struct CutPoints {
    struct Packet {
        double pts = 0; // seconds from the source's start
        double dts = 0;
        bool key = false;
        qint64 size = 0;
    };

    // The prober's CSV lines "pts_time,dts_time,size,flags" in decode order, with the source's
    // start time taken off. Lines without a time (side data, blank lines) are skipped.
    static QList<Packet> ParsePackets(const QString& csv, double startTime);

    // Finds the pieces of [start, end) among `packets`; `valid` is false when no picture of the
    // source lies in the range.
    static CutPoints Find(const QList<Packet>& packets, double start, double end);

    bool valid = false;
    double start = 0;     // the first picture's time (at or after the mark)
    double keyFrame = 0;  // where the middle starts; the range's end when there is no middle
    double tailStart = 0; // where the tail starts; the range's end when there is no tail
    double end = 0;       // the range's end as asked
    int headPictures = 0;
    int middlePictures = 0;
    int tailPictures = 0;
    // The shortest time between two pictures of the range, in seconds (for thresholds).
    double shortestGap = 0;
    // The source's bit rate over the packets read, in bit/s (0 when unknown).
    qint64 bitRate = 0;

    // The key frames among the packets, in the order they are shown.
    QList<double> keyFrames;

    int Pictures() const { return headPictures + middlePictures + tailPictures; }
    // The last key frame at or before `time`; `fallback` when none was read.
    double KeyFrameBefore(double time, double fallback) const;
};
