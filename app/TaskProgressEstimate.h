#pragma once

#include <QString>
#include <optional>

// How long a running cut still takes and how fast the encoder works, from the share of the cut
// done so far and the time it took: the time left is the time spent so far scaled to what is
// left, the speed the media seconds encoded per second of wall time (ffmpeg's "speed=1.5x").
// Nothing is estimated before enough is known: at least MinimumPercent of the cut done and
// MinimumSeconds spent.
class TaskProgressEstimate {
public:
    static constexpr int MinimumPercent = 2;
    static constexpr double MinimumSeconds = 1.5;

    struct Estimate {
        double secondsLeft = 0.0;
        double speed = 0.0; // media seconds per second
    };

    // A task begins: `lengthSeconds` of media to encode, starting at `startSeconds` on a clock.
    void Start(double lengthSeconds, double startSeconds);
    // The share done (0..100) at `nowSeconds` on the same clock; nothing before enough is known.
    std::optional<Estimate> Update(int percent, double nowSeconds);

    // "0:12 left · 2.4×": minutes and seconds left (hours when needed), the speed to one
    // decimal (whole numbers from 10× on).
    static QString Text(const Estimate& estimate);
    // The time left alone, as Text writes it ("1:05:09", "0:12").
    static QString TimeLeftText(double secondsLeft);
    static QString SpeedText(double speed);

private:
    double length_ = 0.0;
    double start_ = 0.0;
};
