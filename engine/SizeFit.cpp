#include "engine/SizeFit.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace SizeFit {

namespace {

// Bits per pixel of each frame below which the picture steps down, and the least it may get at
// the lowest step. VP9 needs about a third fewer bits than H.264 for the same picture.
double Sharp(Video video) {
    return video == Video::Vp9 ? 0.028 : 0.04;
}
double Least(Video video) {
    return Sharp(video) / 4;
}

// The sizes of the ladder, by the picture's short side, and the lowest step.
constexpr std::array<int, 6> Ladder{2160, 1440, 1080, 720, 480, 360};
constexpr int Lowest = 360;

// The sound's ladder for each track, highest first; the sound takes the highest step that
// leaves the picture most of the bits, and never less than the last.
std::array<int, 4> SoundLadder(Audio audio) {
    if (audio == Audio::Opus) {
        return {96000, 64000, 48000, 32000};
    }
    return {128000, 96000, 64000, 48000};
}
constexpr double SoundShare = 0.2;

// Packets of sound a second: AAC frames of 1024 samples at 48 kHz, Opus frames of 20 ms.
constexpr double SoundPackets = 50;

int Even(double side) {
    return std::max(2, static_cast<int>(std::lround(side / 2)) * 2);
}

struct Picture {
    int width = 0;
    int height = 0;
};

// The picture whose short side is `shortSide`, shaped as the source's.
Picture Scaled(const Source& source, int shortSide) {
    const bool portrait = source.height > source.width;
    const double longSide = static_cast<double>(portrait ? source.height : source.width) *
                            shortSide / (portrait ? source.width : source.height);
    return portrait ? Picture{Even(shortSide), Even(longSide)}
                    : Picture{Even(longSide), Even(shortSide)};
}

} // namespace

qint64 OverheadBytes(double seconds, double packetsPerSecond) {
    // The header, the index and the first cluster or box, then about 16 bytes a packet (the
    // index entries, block headers and cues).
    return 24000 + static_cast<qint64>(std::ceil(seconds * packetsPerSecond * 16));
}

double BitsPerPixel(qint64 bitRate, int width, int height, double framesPerSecond) {
    const double pixels = static_cast<double>(width) * height * framesPerSecond;
    return pixels > 0 ? static_cast<double>(bitRate) / pixels : 0;
}

Fit Choose(qint64 targetBytes, const Source& source, Video video, Audio audio) {
    Fit fit;
    if (targetBytes <= 0 || source.seconds <= 0) {
        return fit;
    }
    const double frames = source.framesPerSecond > 0 ? source.framesPerSecond : 30;
    const double packets = (source.video ? frames : 0) + SoundPackets * source.audioTracks;
    const double streamBytes = static_cast<double>(targetBytes) * Margin -
                               static_cast<double>(OverheadBytes(source.seconds, packets));
    const double totalRate =
        streamBytes * 8 / source.seconds - static_cast<double>(source.otherBitsPerSecond);

    const std::array<int, 4> sounds = SoundLadder(audio);
    fit.audioBitRate = source.audioTracks > 0 ? sounds.back() : 0;
    for (const int rate : sounds) {
        if (source.audioTracks > 0 &&
            static_cast<double>(rate) * source.audioTracks <= totalRate * SoundShare) {
            fit.audioBitRate = rate;
            break;
        }
    }
    if (!source.video) {
        // Sound alone takes everything, up to the top of its ladder.
        const double each = source.audioTracks > 0 ? totalRate / source.audioTracks : 0;
        fit.audioBitRate = static_cast<int>(std::min<double>(sounds.front() * 2, each));
        fit.fits = source.audioTracks == 0 || fit.audioBitRate >= sounds.back();
        if (!fit.fits) {
            fit.audioBitRate = 0;
            fit.leastBytes = static_cast<qint64>(
                std::ceil((static_cast<double>(sounds.back()) * source.audioTracks +
                           static_cast<double>(source.otherBitsPerSecond)) *
                              source.seconds / 8 / Margin +
                          static_cast<double>(OverheadBytes(source.seconds, packets)) / Margin));
        }
        return fit;
    }
    const double videoRate = totalRate - static_cast<double>(fit.audioBitRate) * source.audioTracks;
    fit.videoBitRate = static_cast<qint64>(std::max(0.0, videoRate));

    // The least the cut needs: the lowest step of the picture at the least bits per pixel, the
    // sound at the bottom of its ladder.
    const bool known = source.width > 0 && source.height > 0;
    const auto leastBytes = [&](const Picture& lowest, double rate) {
        const double pictureRate = Least(video) * lowest.width * lowest.height * rate;
        const double rates = pictureRate + static_cast<double>(sounds.back()) * source.audioTracks +
                             static_cast<double>(source.otherBitsPerSecond);
        return static_cast<qint64>(
            std::ceil((rates * source.seconds / 8 +
                       static_cast<double>(OverheadBytes(source.seconds, packets))) /
                      Margin));
    };
    if (!known) {
        // Without the source's size, a picture of the lowest step at 30 frames is the measure.
        const Picture lowest{640, 360};
        fit.fits = BitsPerPixel(fit.videoBitRate, lowest.width, lowest.height, 30) >= Least(video);
        fit.leastBytes = fit.fits ? 0 : leastBytes(lowest, 30);
        fit.videoBitRate = fit.fits ? fit.videoBitRate : 0;
        return fit;
    }

    double rate = frames;
    Picture picture{source.width, source.height};
    const auto sharp = [&] {
        return BitsPerPixel(fit.videoBitRate, picture.width, picture.height, rate) >= Sharp(video);
    };
    while (!sharp() && rate > 30.5) {
        rate /= 2;
        fit.framesPerSecond = rate;
    }
    const int shortSide = std::min(source.width, source.height);
    for (const int step : Ladder) {
        if (sharp() || step >= shortSide) {
            continue;
        }
        picture = Scaled(source, step);
        fit.width = picture.width;
        fit.height = picture.height;
    }
    if (BitsPerPixel(fit.videoBitRate, picture.width, picture.height, rate) < Least(video)) {
        const Picture lowest = shortSide > Lowest ? Scaled(source, Lowest) : picture;
        fit = Fit{};
        fit.leastBytes = leastBytes(lowest, rate);
        return fit;
    }
    if (fit.width == 0 && (source.width % 2 != 0 || source.height % 2 != 0)) {
        // 4:2:0 pictures need even sides.
        fit.width = source.width - source.width % 2;
        fit.height = source.height - source.height % 2;
    }
    fit.fits = true;
    return fit;
}

} // namespace SizeFit
