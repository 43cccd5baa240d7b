#include "engine/CutParameters.h"

#include "engine/CommandLine.h"
#include "engine/Platform.h"
#include "engine/Rounding.h"
#include "formats/BoxValidator.h"
#include "formats/FormatPanel.h"
#include "preview/Slider.h"

#include <QComboBox>
#include <QLineEdit>

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

// " -ss <start> -t <length>" of the marked range.
QString Range(const Slider& slider) {
    const std::int64_t start = slider.SelectStart();
    const std::int64_t length = std::int64_t{slider.SelectEnd()} - start;
    if (!FitsInt32(length)) {
        throw ParameterError{
            QStringLiteral("The length of the selection from %1 to %2 is out of range (overflow).")
                .arg(slider.SelectStart())
                .arg(slider.SelectEnd())};
    }
    return QStringLiteral(" -ss ") + QString::number(start) + QStringLiteral(" -t ") +
           QString::number(length);
}

QString PresetArguments(const FormatPanel& panel, const Slider& slider) {
    const QString category = panel.cmbCategory->currentText();
    const QString label = panel.cmbOutVCodec->currentText();
    const QString extension = panel.cmbOutFormat->currentText();
    for (const PresetRecord& preset : panel.presets.CountedPresets()) {
        if (preset.extension == extension && preset.label == label && preset.category == category) {
            return preset.params + Range(slider);
        }
    }
    return QString();
}

QString CustomArguments(const FormatPanel& panel, const Slider& slider) {
    QString arguments =
        QStringLiteral("-ar ") + CutParameters::SampleRateHz(panel.cmbCASmapleRate->currentText());
    arguments += QStringLiteral(" -ab ") +
                 BitsPerSecond(QStringLiteral("audio bit rate"), panel.txtCABirate->text());
    const QString audioCodec = panel.codecs.GetCodecName(panel.cmbCACodec->currentText());
    if (!audioCodec.isEmpty()) {
        arguments += QStringLiteral(" -acodec ") + audioCodec;
    }
    arguments += QStringLiteral(" -ac ") +
                 BoxArgument(QStringLiteral("channel count"), panel.txtChannels->text(),
                             BoxKeyFilter::Channels, QStringLiteral("a digit from 1 to 9"));
    const QString videoCodec = panel.codecs.GetCodecName(panel.cmbCVCodec->currentText());
    if (!videoCodec.isEmpty()) {
        arguments += QStringLiteral(" -vcodec ") + videoCodec;
    }
    arguments += QStringLiteral(" -b ") +
                 BitsPerSecond(QStringLiteral("video bit rate"), panel.txtCVBitrate->text());
    const QString size = panel.cmbCVSize->currentText();
    if (size != AsInput) {
        // "vga(640x480)": the encoder knows the size by its name.
        const qsizetype bracket = size.indexOf(QLatin1Char('('));
        if (bracket < 0) {
            throw ParameterError{
                QStringLiteral("The frame size \"%1\" has no \"(\" after its name.").arg(size)};
        }
        arguments += QStringLiteral(" -s ") + size.left(bracket);
    }
    const QString aspect = panel.cmbCVAspect->currentText();
    if (aspect != AsInput) {
        arguments += QStringLiteral(" -aspect ") + aspect;
    }
    arguments += QStringLiteral(" -r ") +
                 BoxArgument(QStringLiteral("frame rate"), panel.txtFrameRate->text(),
                             BoxKeyFilter::FrameRate, QStringLiteral("a number"));
    return arguments + Range(slider);
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

QString GetParamaters(const FormatPanel& panel, const Slider& slider) {
    try {
        return panel.PresetMode() ? PresetArguments(panel, slider) : CustomArguments(panel, slider);
    } catch (const ParameterError& error) {
        Platform::ShowMessage(QStringLiteral("Error occured while getting paramters\r\n") +
                                  error.description,
                              Platform::MessageIcon::Error);
    }
    return QString();
}

} // namespace CutParameters
