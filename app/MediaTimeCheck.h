#pragma once

#include <QString>

// Whether a file the encoder can read has time in it, read from what the encoder said about
// the file when it was asked to read it (`ffmpeg -i FILE`): a still picture (png, jpg, bmp,
// tiff, webp and the other single pictures ffmpeg reads) has none, so nothing can be marked or
// cut in it. The encoder reads such a file with one of its picture readers ("Input #0,
// png_pipe, from ..."; "image2" and "image2pipe" for the generic ones); every other reader
// (containers, elementary streams without a stated duration, animations, sound files) has
// time. An output without an input description (the encoder could not be started) says
// nothing against the file.
class MediaTimeCheck {
public:
    // The reader the encoder chose for its first input ("png_pipe", "mov,mp4,m4a,3gp,3g2,mj2"),
    // empty when the output describes no input.
    static QString InputFormat(const QString& probeOutputs);
    // False for a still picture.
    static bool HasTime(const QString& probeOutputs);
};
