#pragma once

#include <QString>

// Whether a conversion's output is what its format promised: the streams the encoder announced
// for it, each holding something, and about the marked length. The output is read back by the
// encoder itself (`ReadingCommand`), so no other program is needed.
namespace OutputCheck {

// The kinds of streams the encoder announced for its output: the "Stream #0:N...: Video:" and
// "Audio:" lines under "Output #0, <format>, to '<file>':" in its console output.
struct Streams {
    bool video = false;
    bool audio = false;
    // For a file of raw pictures ("Output #0, rawvideo, ..."), which tells nothing of itself:
    // the options that describe its pictures to a reader ("-f rawvideo -pix_fmt yuv420p
    // -video_size 640x480 -framerate 25"); empty for every other format.
    QString rawPictures;
};
Streams AnnouncedStreams(const QString& encoderOutputs);

// The command line that reads the whole output back without decoding it: each packet is copied
// to nowhere, so a damaged file fails and the last progress line tells how long it plays.
QString ReadingCommand(const QString& outputFile, const Streams& announced);

// What reading the output back found.
struct Facts {
    bool readable = false; // the reading ran to its end without an error
    bool video = false;    // a video stream ...
    qint64 pictures = 0;   // ... with this many pictures in it
    bool audio = false;
    double seconds = 0; // how long it plays
};
// `readingOutputs`: the console output of ReadingCommand; `exitedCleanly`: its exit status was 0.
Facts ReadFacts(const QString& readingOutputs, bool exitedCleanly);

// An empty text when the output holds every announced stream, pictures in its video and at
// least about `expectedSeconds` (not checked when 0); else the sentence that tells the user what
// is wrong with it, such as "The output has no picture." or "The output is 1.7 s long instead of
// 5 s: the input ends early or is damaged."
QString Problem(const Streams& announced, const Facts& facts, double expectedSeconds);

} // namespace OutputCheck
