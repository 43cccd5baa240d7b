#pragma once

#include <QString>
#include <optional>

// Everything Quenlet relies on of the encoder's console wording, and where the encoder program
// lies. Older encoder builds and the 5.x build that Debian ships word things differently; both are
// accepted here, letter case ignored.
namespace EncoderWording {

// "press [q] to stop" anywhere in the text: the encoder began encoding. Old builds print
// "press [q] to stop encoding", 5.x "Press [q] to stop, [?] for help".
bool EncodingBegan(const QString& text);

// Whether the text holds the encoder's error line saying it cannot read the input `inputFile`:
// at the start of the text or of a line, the input's path as the encoder was given it, ": ",
// then "Unknown format" (old builds) or "Invalid data found when processing input" (5.x),
// letter case ignored, and the line break (LF, or CR LF) that ends the line. Lines that merely
// contain the words (the input's name echoed in "Input #0, ... from '...':", a title tag among
// the indented metadata) do not count, nor does an unfinished line.
bool IsUnknownFormat(const QString& text, const QString& inputFile);

// Finds the first "time=" of a piece. Returns false when there is none. Otherwise `timeText`
// receives the text between "time=" and the first blank after it, or an empty text when no blank
// follows (a progress line cut off by the end of the piece).
bool FindProgressTime(const QString& piece, QString* timeText);

// Seconds of a progress time text: "12.34" (old builds) or "HH:MM:SS.cc" (5.x; the hours take as
// many digits as they need). "N/A", a negative time and anything else unreadable give nothing.
std::optional<double> ProgressTimeSeconds(const QString& timeText);

// A preamble line that the encoder prints before an error text, and how many line breaks to skip
// from it so that only the error text remains.
struct PreambleMarker {
    qsizetype position = -1; // first occurrence, from 0; -1 when the text has no marker
    int lineBreaks = 0;
};
// Looks for "Stream mapping:" (3 line breaks), else "Input #" (4), else "built on" (old) or
// "built with" (5.x) (1).
PreambleMarker FindPreambleMarker(const QString& text);

// The lines of the encoder's console output that tell why it failed, one per line break, in
// their order and each once: lines with a word of failure ("error", "could not", "not
// supported", "invalid", "No space left", ...), without progress lines and without the closing
// "Conversion failed!" unless nothing else is there. Indented lines and the "Input #" and
// "Output #" headings are never taken: they describe the files, whose names and tags may say
// anything. Empty when no line tells of a failure.
QString FailureLines(const QString& outputs);
// Whether a line is one of the encoder's reports of how it works rather than of a failure: the
// banners and option lists of its codec libraries ("[libx264 @ 0x...] using cpu capabilities",
// "profile High, level 3.0", "264 - core 164 ... options: cabac=1 ..."; x265's "x265 [info]:"
// lines), its statistics at the end and the like. Such lines never tell why a run failed.
bool IsInformational(const QString& line);

// The encoder program: "ffmpeg" in the application folder when an executable one lies there,
// else the "ffmpeg" found on PATH, else the bare name (which then fails to start with a clear
// message).
QString EncoderProgram();

// The start of every encoder command line: EncoderProgram(), quoted when it contains a blank.
QString EncoderCommand();

// The prober that describes files to Quenlet: "ffprobe" beside the encoder program when an
// executable one lies there, else the "ffprobe" found on PATH, else the bare name.
QString ProberProgram();
// ProberProgram(), quoted when it contains a blank.
QString ProberCommand();

} // namespace EncoderWording
