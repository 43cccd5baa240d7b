#pragma once

#include <QList>
#include <QString>

// Films as phones, cameras and editors write them, made by ffmpeg for the tests of what a cut
// keeps of its source. Each takes a second or two to make.
namespace TestFilm {

// A subtitle cue of the films, in seconds.
struct Cue {
    double start;
    double end;
    const char* text;
};
// The cues of every subtitle track of the films, around the tests' mark at 5 s: one before
// it, one across it, one inside the first 0.2 s, one across their end, one across 7 s and two
// after it.
QList<Cue> Cues();

// A chapter of the films: "Opening" up to 5.1 s, "Middle" to 6.5 s, "End" to the end.
struct Chapter {
    double start;
    double end;
    const char* title;
};
QList<Chapter> Chapters();

// The films' global tags.
inline constexpr const char* Title = "Quenlet test film";
inline constexpr const char* CreationTime = "2024-05-17T10:20:30.000000Z";
inline constexpr const char* Timecode = "01:00:00:00";

// An MP4 from a phone or camera: 12 s of 322x262 H.264 (x264's defaults: B-frames, one key frame
// at the start) at 25 fps, shown turned by 90°, BT.709 colour tags, two AAC tracks ("eng"
// titled "English", the default, and "ger" "Deutsch"), English text subtitles (mov_text),
// German DVD picture subtitles (forced), the chapters, title, creation time and artist, a
// timecode track starting at Timecode and a GoPro telemetry track ("gpmd", a sample a second).
bool MakePhoneFilm(const QString& path);

// A Matroska film: 10 s of 322x182 H.265 (x265, ultrafast) at 30 fps, the same two sound tracks,
// SubRip (English), ASS (French) and PGS picture subtitles (German, forced), a font attachment,
// the chapters and tags.
bool MakeMatroskaFilm(const QString& path);

// A 4 s 10-bit HDR10 H.265 clip (PQ, BT.2020) with a mastering display and light levels in its
// stream, and AAC sound.
bool MakeHdrClip(const QString& path);

} // namespace TestFilm
