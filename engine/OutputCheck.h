#pragma once

#include <QString>

// Whether a conversion's output is what its format promised: the streams the encoder announced
// for it, each holding something, the marked length and, where a size was asked for, no more
// bytes than that. The output is read back by the encoder itself (`ReadingCommand`), so no
// other program is needed.
namespace OutputCheck {

// The streams of a file by kind, as the encoder lists them ("  Stream #0:N...: Video: ...").
struct Streams {
    int video = 0; // cover pictures count as video, as the encoder lists them
    int audio = 0;
    int subtitle = 0;
    int attachment = 0;
    int data = 0;
    // For a file of raw pictures ("Output #0, rawvideo, ..."), which tells nothing of itself:
    // the options that describe its pictures to a reader ("-f rawvideo -pix_fmt yuv420p
    // -video_size 640x480 -framerate 25"); empty for every other format.
    QString rawPictures;
};
// The streams under "Output #0, <format>, to '<file>':" in the encoder's console output.
Streams AnnouncedStreams(const QString& encoderOutputs);

// The command line that reads the whole output back without decoding it: each packet is copied
// to nowhere, so a damaged file fails and the last progress line tells how far it goes.
QString ReadingCommand(const QString& outputFile, const Streams& announced);

// What reading the output back found.
struct Facts {
    bool readable = false; // the reading ran to its end without an error
    Streams streams;       // the streams of "Input #0"
    qint64 pictures = 0;   // pictures in the first video stream
    // How long it plays: the container's duration, or where the packets run longer (a last
    // picture shown for its whole duration), the time of the last packet plus one picture.
    double seconds = 0;
    double pictureSeconds = 0; // one picture's duration in the first video stream; 0 without
    qint64 bytes = -1;         // the file's size; -1 when not known
};
// `readingOutputs`: the console output of ReadingCommand; `exitedCleanly`: its exit status was 0.
Facts ReadFacts(const QString& readingOutputs, bool exitedCleanly);

// What the final check expects of a product beyond the streams its encoder announced.
struct Expectation {
    double seconds = 0;  // the marked length; 0: not checked
    qint64 maxBytes = 0; // the most bytes the file may have; 0: no limit
};

// An empty text when the output holds every announced stream, pictures in its video, at least
// the expected length (less one picture's duration and the muxer's rounding) and no more than
// the bytes allowed; else the sentence that tells the user what is wrong with it, such as "The
// output has no picture." or "The output is 1.7 s long instead of 5 s: the input ends early or
// is damaged."
QString Problem(const Streams& announced, const Facts& facts, const Expectation& expect);

// "25 MB", "25.3 MB": a million bytes each, as sizes are asked for, with at most `decimals`.
QString Megabytes(qint64 bytes, int decimals = 1);

// The sentence Problem gives for an output without pictures in its video.
QString NoPicture();

} // namespace OutputCheck
