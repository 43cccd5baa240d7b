#pragma once

#include <QString>

// One codec of the codec catalog, offered in the custom format lists.
struct CodecRecord {
    QString name;        // the encoder's name for the codec, given after -vcodec or -acodec
    QString description; // the text shown in the lists and used to look the codec up
    QString type;        // "video codec", "audio codec" or "general" (both lists)
};
