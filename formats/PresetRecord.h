#pragma once

#include <QString>

// One ready-made output format of the preset catalog. Every field is empty when the catalog
// gives no value for it.
struct PresetRecord {
    QString label;     // the preset's name, shown in "Output Video Codec:"
    QString params;    // encoder arguments placed between the input and the cut range, verbatim
    QString extension; // the output container, also the output file's extension
    QString category;  // the group shown in "Output Category:"
};
