#pragma once

#include <QString>

// The output format the user chose on the format panel, as a plain value: whether a preset or a
// custom format is chosen, the preset's three texts and the custom boxes' texts exactly as the
// boxes hold them (nothing is checked or converted here). Both sets are always filled; the mode
// says which one counts.
struct FormatChoice {
    // "Presets" is selected (else "Custom").
    bool presetMode = true;

    // The preset: cmbCategory, cmbOutVCodec (the preset's label) and cmbOutFormat.
    QString category;
    QString label;
    QString extension;

    // The custom format, one text per box.
    QString container;    // cmbCustContainer
    QString videoCodec;   // cmbCVCodec: the codec's description, as listed
    QString videoBitrate; // txtCVBitrate: kbit/s
    QString size;         // cmbCVSize: "vga(640x480)" or "[As Input]"
    QString frameRate;    // txtFrameRate
    QString aspect;       // cmbCVAspect
    QString audioCodec;   // cmbCACodec: the codec's description, as listed
    QString audioBitrate; // txtCABirate: kbit/s
    QString sampleRate;   // cmbCASmapleRate: "44.1 KHz"
    QString channels;     // txtChannels

    // The output file's extension: the preset's container or the custom one.
    QString Container() const { return presetMode ? extension : container; }

    bool operator==(const FormatChoice&) const = default;
};
