#pragma once

#include <QString>
#include <functional>

class QWidget;

// What the preview player needs of a media engine. Every operation answers with one of three
// results: done, "not implemented / unavailable" for this file (the player skips the step), or
// failed (the player abandons a load).
enum class EngineResult { Ok, NotImplemented, Failed };

class PlayerEngine {
public:
    virtual ~PlayerEngine() = default;

    // Opens the file for playback, replacing whatever was open. Synchronous for the caller: it
    // returns once the file is loaded (paused at its start) or has failed to load.
    virtual EngineResult RenderFile(const QString& path) = 0;

    virtual EngineResult Run() = 0;   // play
    virtual EngineResult Pause() = 0; // pause, keeping the position
    virtual EngineResult Stop() = 0;  // pause playback (the player rewinds explicitly)

    virtual EngineResult PutVolume(long volume) = 0;   // 0 is full volume, -10000 silence
    virtual EngineResult PutBalance(long balance) = 0; // -10000 left .. 0 centre .. 10000 right
    virtual EngineResult PutRate(double rate) = 0;     // 1.0 is normal speed

    virtual EngineResult GetDuration(double& seconds) = 0;
    // While a seek is under way the position is the one it was asked for.
    virtual EngineResult GetCurrentPosition(double& seconds) = 0;

    // Seeks: the exact picture of `seconds` (PutCurrentPosition), or the key frame at or
    // before it (PutKeyFramePosition), which a decoder reaches far sooner where key frames are
    // seconds apart. A seek replaces any seek still under way. Neither waits for the picture.
    virtual EngineResult PutCurrentPosition(double seconds) = 0;
    virtual EngineResult PutKeyFramePosition(double seconds) = 0;
    // Called once the picture of the latest seek is on the screen, with that picture's time in
    // seconds (the key frame's time after a key-frame seek; not a number when unknown). A
    // key-frame seek may be reported as soon as its picture is sure to be shown, even if a
    // seek sent now would replace it (so the next seek can start while it is drawn). A seek
    // replaced by a later one is never reported. Called from the event loop, never from inside an
    // engine call.
    using SeekShownHandler = std::function<void(double pictureSeconds)>;
    virtual void SetSeekShownHandler(SeekShownHandler handler) = 0;

    // Placement of the picture inside its owner, in pixels, and the owner itself.
    virtual EngineResult PutTop(int pixels) = 0;
    virtual EngineResult PutLeft(int pixels) = 0;
    virtual EngineResult PutWidth(int pixels) = 0;
    virtual EngineResult PutHeight(int pixels) = 0;
    virtual EngineResult PutWindowStyle(long style) = 0;
    virtual EngineResult PutOwner(QWidget* videoArea) = 0;
    virtual EngineResult HideCursor(bool hide) = 0;
};
