#pragma once

#include "preview/PlayerEngine.h"

#include <QObject>
#include <QPointer>
#include <QRect>
#include <atomic>
#include <cstdint>

struct mpv_event;
struct mpv_handle;
class MpvVideoWidget;

// The preview engine on libmpv. One engine owns one mpv core for its whole life and the widget
// the core draws into; a new RenderFile replaces the open file.
//
// Behaviour worth knowing:
// - RenderFile waits (at most LoadTimeoutMs) until the file is loaded, paused at its start.
//   Playlists are refused: a file is loaded only when it is media itself.
// - mpv answers "property unavailable" or "not implemented" with the skipped-step result
//   (EngineResult::NotImplemented), everything else that fails with EngineResult::Failed.
//   Before any file is loaded the time queries therefore answer NotImplemented.
// - PutVolume and PutBalance answer NotImplemented for a file without sound. Balance is
//   supported at centre only (other values answer NotImplemented); volume follows the
//   hundredths of a decibel of the interface (0 full, -10000 silence).
// - PutCurrentPosition seeks exactly; negative times go to 0. Until the seek is done the
//   position reported is the one asked for. At the end of the file the position is its
//   duration (mpv itself would report the time of the last frame).
// - The video widget is created by PutOwner and fills its owner, following the owner's size;
//   the placement calls move or size it inside the owner until the owner is resized again.
// - Stop pauses; rewinding is the caller's business.
class MpvEngine : public QObject, public PlayerEngine {
    Q_OBJECT

public:
    static constexpr int LoadTimeoutMs = 10000;

    explicit MpvEngine(QObject* parent = nullptr);
    ~MpvEngine() override;
    MpvEngine(const MpvEngine&) = delete;
    MpvEngine& operator=(const MpvEngine&) = delete;

    // False when libmpv could not be started; every operation then fails.
    bool IsValid() const { return core_ != nullptr; }
    // The widget the video is drawn into, null before PutOwner or after its owner went away.
    MpvVideoWidget* VideoWidget() const { return widget_.data(); }

    EngineResult RenderFile(const QString& path) override;

    EngineResult Run() override;
    EngineResult Pause() override;
    EngineResult Stop() override;

    EngineResult PutVolume(long volume) override;
    EngineResult PutBalance(long balance) override;
    EngineResult PutRate(double rate) override;

    EngineResult GetDuration(double& seconds) override;
    EngineResult GetCurrentPosition(double& seconds) override;
    EngineResult PutCurrentPosition(double seconds) override;

    EngineResult PutTop(int pixels) override;
    EngineResult PutLeft(int pixels) override;
    EngineResult PutWidth(int pixels) override;
    EngineResult PutHeight(int pixels) override;
    EngineResult PutWindowStyle(long style) override;
    EngineResult PutOwner(QWidget* videoArea) override;
    EngineResult HideCursor(bool hide) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static void OnWakeup(void* engine);
    // Takes every pending event of the core; runs on the user-interface thread.
    void DrainEvents();
    void HandleEvent(const mpv_event& event);
    void RenderContextChanged(bool available);
    // Selects the video track when a file is open whose video is not shown (it was loaded or
    // its renderer went away while nothing could draw it).
    void ShowVideoTrack();
    bool HasAudioTrack();
    EngineResult SetFlag(const char* name, bool value);
    EngineResult SetDouble(const char* name, double value);
    EngineResult Place(const QRect& geometry);

    mpv_handle* core_ = nullptr;
    QPointer<MpvVideoWidget> widget_;
    QPointer<QWidget> owner_;
    QRect placement_;
    bool cursorHidden_ = false;
    std::atomic<bool> drainPosted_{false};
    bool fileOpen_ = false;
    int64_t playlistEntry_ = -1;
    bool seekPending_ = false;
    double seekTarget_ = 0.0;
};
