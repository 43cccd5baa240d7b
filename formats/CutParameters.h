#pragma once

#include "formats/FormatChoice.h"

#include <QString>

class CodecCatalog;
class PresetCatalog;

// The encoder arguments of one conversion task: the chosen output format, followed by the
// marked range as " -ss <start> -t <length>" (whole seconds; the converter puts the start in
// front of the input, so the encoder seeks to it).
namespace CutParameters {

// Preset mode: the params of the first counted preset record whose category, label and
// extension equal the choice's (exactly), then the range; an empty text, without a message,
// when no record matches.
//
// Custom mode, from the choice's custom texts and the codec catalog: "-ar <Hz>", " -ab <bit/s>", "
// -acodec <name>" (only when the audio codec has an encoder name), " -ac <channels>", " -vcodec
// <name>" (likewise), " -b <bit/s>", " -s <size name>" and " -aspect <ratio>" (each unless "[As
// Input]"), " -r <rate>", then the range. The sample rate is the number the sample-rate text starts
// with (0 when none), in kHz; the bit rates are whole kbit/s (a fraction is rounded, halves to
// even).
//
// The channel count and the frame rate go on as typed, so they must have the form their boxes
// allow (BoxValidator): one digit from 1 to 9; up to nine digits with at most one point.
//
// A bit rate that is not a number, a bit rate whose bit/s do not fit in 32 bits, a channel
// count or frame rate of another form, a size without "(" or a range whose length does not fit
// in 32 bits shows "Error occured while getting paramters", CR LF and the reason (error icon)
// and yields an empty text.
QString GetParamaters(const FormatChoice& choice, const PresetCatalog& presets,
                      const CodecCatalog& codecs, qint32 SelectStart, qint32 SelectEnd);

// The sample rate in Hz of a sample-rate text such as "44.1 KHz" (44100) or "11.025 KHz"
// (11025): the decimal number at its start (after blanks; a point separates the fraction)
// times 1000, computed on the digits so nothing is lost, without a fraction when it has none.
QString SampleRateHz(const QString& sRate);

} // namespace CutParameters
