#pragma once

// What the parts of MpvEngine share: the answer to an mpv error code, and the tags that tell
// the replies to asynchronous requests apart. Included by MpvEngine's sources only.

#include "preview/PlayerEngine.h"

#include <QtGlobal>
#include <cstdint>
#include <mpv/client.h>

namespace MpvRequests {

inline EngineResult ResultOf(int error) {
    if (error >= 0) {
        return EngineResult::Ok;
    }
    if (error == MPV_ERROR_PROPERTY_UNAVAILABLE || error == MPV_ERROR_NOT_IMPLEMENTED) {
        return EngineResult::NotImplemented;
    }
    return EngineResult::Failed;
}

// Every asynchronous request carries what it asks for in its low byte and the serial number
// of the load or seek it belongs to above it; replies are told apart by it.
enum class Request : uint64_t {
    Setting = 1,
    // Pausing, which tells when mpv has stopped taking frames of the playback.
    PauseSetting,
    SeekCommand,
    PictureTime,
    LoadDuration,
    LoadAudioTrack,
    // The reader lavf chose for the file ("mpegts", "mov,mp4,m4a,3gp,3g2,mj2", ...).
    LoadFormat,
    TrackList,
    // Properties mpv reports by itself when they change.
    TimePosition,
    EndReached,
    AudioOutput,
};

inline uint64_t Tag(Request request, quint64 serial = 0) {
    return (serial << 8) | static_cast<uint64_t>(request);
}

inline Request RequestOf(uint64_t tag) {
    return static_cast<Request>(tag & 0xFF);
}

inline quint64 SerialOf(uint64_t tag) {
    return tag >> 8;
}

} // namespace MpvRequests
