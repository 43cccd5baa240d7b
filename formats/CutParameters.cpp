#include "formats/CutParameters.h"

#include "engine/CommandLine.h"
#include "engine/Platform.h"
#include "engine/Rounding.h"
#include "formats/BoxValidator.h"
#include "formats/CodecCatalog.h"
#include "formats/PresetCatalog.h"

#include <cstdint>
#include <limits>
#include <optional>

namespace {

const QString AsInput = QStringLiteral("[As Input]");

// Why the arguments could not be assembled; caught inside GetParamaters only.
struct ParameterError {
    QString description;
};

bool FitsInt32(std::int64_t value) {
    return value >= std::numeric_limits<std::int32_t>::min() &&
           value <= std::numeric_limits<std::int32_t>::max();
}

// A bit rate box: a number of kbit/s, rounded to whole ones, as bit/s.
QString BitsPerSecond(const QString& what, const QString& sText) {
    bool isNumber = false;
    const double kilobits = sText.trimmed().toDouble(&isNumber);
    if (!isNumber) {
        throw ParameterError{QStringLiteral("The %1 \"%2\" is not a number.").arg(what, sText)};
    }
    const std::optional<std::int32_t> whole = RoundToInt32(kilobits);
    const std::int64_t bits = whole ? std::int64_t{*whole} * 1000 : 0;
    if (!whole || !FitsInt32(bits)) {
        throw ParameterError{
            QStringLiteral("The %1 \"%2\" is too large (overflow).").arg(what, sText)};
    }
    return QString::number(bits);
}

// A box whose text goes onto the command line as it is: only in the form the box allows, and
// as one argument whatever it holds.
QString BoxArgument(const QString& what, const QString& sText, const BoxKeyFilter::Rule& rule,
                    const QString& form) {
    if (!BoxValidator::Allows(rule, sText)) {
        throw ParameterError{QStringLiteral("The %1 \"%2\" is not %3.").arg(what, sText, form)};
    }
    return CommandLine::QuoteArgumentIfNeeded(sText);
}

// The marked range of the slider.
struct Marks {
    qint32 start = 0;
    qint32 end = 0;
};

// " -ss <start> -t <length>" of the marked range.
QString Range(const Marks& marks) {
    const std::int64_t start = marks.start;
    const std::int64_t length = std::int64_t{marks.end} - start;
    if (!FitsInt32(length)) {
        throw ParameterError{
            QStringLiteral("The length of the selection from %1 to %2 is out of range (overflow).")
                .arg(marks.start)
                .arg(marks.end)};
    }
    return QStringLiteral(" -ss ") + QString::number(start) + QStringLiteral(" -t ") +
           QString::number(length);
}

QString PresetArguments(const FormatChoice& choice, const PresetCatalog& catalog,
                        const Marks& marks) {
    for (const PresetRecord& preset : catalog.CountedPresets()) {
        if (preset.extension == choice.extension && preset.label == choice.label &&
            preset.category == choice.category) {
            return preset.params + Range(marks);
        }
    }
    return QString();
}

QString CustomArguments(const FormatChoice& choice, const CodecCatalog& codecs,
                        const Marks& marks) {
    QString arguments = QStringLiteral("-ar ") + CutParameters::SampleRateHz(choice.sampleRate);
    arguments += QStringLiteral(" -ab ") +
                 BitsPerSecond(QStringLiteral("audio bit rate"), choice.audioBitrate);
    const QString audioCodec = codecs.GetCodecName(choice.audioCodec);
    if (!audioCodec.isEmpty()) {
        arguments += QStringLiteral(" -acodec ") + audioCodec;
    }
    arguments += QStringLiteral(" -ac ") + BoxArgument(QStringLiteral("channel count"),
                                                       choice.channels, BoxKeyFilter::Channels,
                                                       QStringLiteral("a digit from 1 to 9"));
    const QString videoCodec = codecs.GetCodecName(choice.videoCodec);
    if (!videoCodec.isEmpty()) {
        arguments += QStringLiteral(" -vcodec ") + videoCodec;
    }
    arguments += QStringLiteral(" -b ") +
                 BitsPerSecond(QStringLiteral("video bit rate"), choice.videoBitrate);
    const QString& size = choice.size;
    if (size != AsInput) {
        // "vga(640x480)": the encoder knows the size by its name.
        const qsizetype bracket = size.indexOf(QLatin1Char('('));
        if (bracket < 0) {
            throw ParameterError{
                QStringLiteral("The frame size \"%1\" has no \"(\" after its name.").arg(size)};
        }
        arguments += QStringLiteral(" -s ") + size.left(bracket);
    }
    if (choice.aspect != AsInput) {
        arguments += QStringLiteral(" -aspect ") + choice.aspect;
    }
    arguments +=
        QStringLiteral(" -r ") + BoxArgument(QStringLiteral("frame rate"), choice.frameRate,
                                             BoxKeyFilter::FrameRate, QStringLiteral("a number"));
    return arguments + Range(marks);
}

} // namespace

namespace CutParameters {

QString SampleRateHz(const QString& sRate) {
    qsizetype i = 0;
    while (i < sRate.size() &&
           (sRate.at(i) == QLatin1Char(' ') || sRate.at(i) == QLatin1Char('\t'))) {
        ++i;
    }
    bool negative = false;
    if (i < sRate.size() && (sRate.at(i) == QLatin1Char('-') || sRate.at(i) == QLatin1Char('+'))) {
        negative = sRate.at(i) == QLatin1Char('-');
        ++i;
    }
    QString whole;
    QString fraction;
    while (i < sRate.size() && sRate.at(i).isDigit() && sRate.at(i).unicode() < 128) {
        whole += sRate.at(i++);
    }
    if (i < sRate.size() && sRate.at(i) == QLatin1Char('.')) {
        ++i;
        while (i < sRate.size() && sRate.at(i).isDigit() && sRate.at(i).unicode() < 128) {
            fraction += sRate.at(i++);
        }
    }
    // Times 1000: three digits move from the fraction to the whole part.
    while (fraction.size() < 3) {
        fraction += QLatin1Char('0');
    }
    whole += fraction.left(3);
    fraction = fraction.mid(3);
    while (whole.size() > 1 && whole.startsWith(QLatin1Char('0'))) {
        whole.remove(0, 1);
    }
    while (fraction.endsWith(QLatin1Char('0'))) {
        fraction.chop(1);
    }
    QString hz = fraction.isEmpty() ? whole : whole + QLatin1Char('.') + fraction;
    if (negative && hz != QLatin1String("0")) {
        hz.prepend(QLatin1Char('-'));
    }
    return hz;
}

QString GetParamaters(const FormatChoice& choice, const PresetCatalog& presets,
                      const CodecCatalog& codecs, qint32 SelectStart, qint32 SelectEnd) {
    const Marks marks{SelectStart, SelectEnd};
    try {
        return choice.presetMode ? PresetArguments(choice, presets, marks)
                                 : CustomArguments(choice, codecs, marks);
    } catch (const ParameterError& error) {
        Platform::ShowMessage(QStringLiteral("Error occured while getting paramters\r\n") +
                                  error.description,
                              Platform::MessageIcon::Error);
    }
    return QString();
}

} // namespace CutParameters
