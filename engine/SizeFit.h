#pragma once

#include <QtGlobal>

// The arithmetic of a cut that must fit in a number of bytes: from the size, the cut's length
// and what the source holds, the bit rates of the picture and the sound, the picture size and
// the frame rate. Nothing here runs a program.
//
// The bytes left for the streams are the target less a margin for the encoder's error and the
// container's overhead (a fixed part and a part per packet); the sound takes a step of its
// ladder that leaves most of them to the picture. The picture keeps the source's size and frame
// rate while it gets enough bits per pixel of each frame to look sharp; below that, a frame
// rate above 30 is halved first, then the picture steps down a ladder of sizes (1080, 720, 480,
// 360 lines on the short side), never above the source's own size. A cut whose picture would
// get too few bits even at the lowest step does not fit.
namespace SizeFit {

enum class Video { H264, Vp9, Other };
enum class Audio { Aac, Opus, Other };

struct Source {
    double seconds = 0;            // the cut's length
    bool video = true;             // whether the cut has a picture
    int width = 0;                 // as shown (a turned picture's sides swapped); 0: not known
    int height = 0;                // 0: not known
    double framesPerSecond = 0;    // 0: not known
    int audioTracks = 0;           // the sound tracks the cut keeps
    qint64 otherBitsPerSecond = 0; // subtitles, telemetry and the like, together
};

struct Fit {
    bool fits = false;
    qint64 videoBitRate = 0; // bit/s
    int audioBitRate = 0;    // bit/s, for each sound track
    // The picture size to scale to, even in both sides; 0: keep the source's.
    int width = 0;
    int height = 0;
    // The frame rate to make; 0: keep the source's.
    double framesPerSecond = 0;
    // When it does not fit: the fewest bytes the cut needs at the lowest quality allowed.
    qint64 leastBytes = 0;
};

// The share of the target the streams are planned for: the rest is the encoder's error margin.
inline constexpr double Margin = 0.97;

// The bytes the container adds to the streams of a cut of `seconds` with `packetsPerSecond`.
qint64 OverheadBytes(double seconds, double packetsPerSecond);

Fit Choose(qint64 targetBytes, const Source& source, Video video, Audio audio);

// Bits per pixel of each frame: what a picture of that size and rate gets of `bitRate`.
double BitsPerPixel(qint64 bitRate, int width, int height, double framesPerSecond);

} // namespace SizeFit
