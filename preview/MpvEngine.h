#pragma once

#include "preview/MpvSeekWatch.h"
#include "preview/PlayerEngine.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <atomic>
#include <cstdint>
#include <optional>

struct mpv_event;
struct mpv_handle;
class MpvVideoWidget;
class QTimer;

// The preview engine on libmpv. One engine owns one mpv core for its whole life and the widget
// the core draws into; a new RenderFile replaces the open file.
//
// Behaviour worth knowing:
// - RenderFile waits (at most LoadTimeoutMs) until the file is loaded, paused at its start,
//   and its duration and sound track are known; it draws what mpv asks for meanwhile.
//   Playlists are refused: a file is loaded only when it is media itself.
// - After that nothing waits for mpv: settings and seeks are sent asynchronously, and the
//   times are those mpv last reported (it reports each new position by itself), so a busy
//   core never blocks the window. A refused setting is logged.
// - mpv answers "property unavailable" or "not implemented" with the skipped-step result
//   (EngineResult::NotImplemented), everything else that fails with EngineResult::Failed.
//   Without a loaded file the time queries and seeks therefore answer NotImplemented.
// - PutVolume and PutBalance answer NotImplemented for a file without sound. Balance is
//   supported at centre only (other values answer NotImplemented); volume follows the
//   hundredths of a decibel of the interface (0 full, -10000 silence).
// - Seeks are clamped into the file. Until a seek's picture is shown the position reported is
//   the one asked for. An exact seek's picture counts as shown once it is drawn; a key-frame
//   seek's once mpv has handed it to the video output (its restart), because a seek sent after
//   that no longer takes the picture away: it is drawn, and kept, while the next seek decodes.
//   At the end of the file the position is its duration (mpv itself would report the time of
//   the last frame).
// - The sound output is chosen once a program: where nothing can play sound (no sound server,
//   no sound device) it is none ("null") from the start; elsewhere the first file with sound
//   lets mpv try its outputs, and every later load, in this engine or another, uses the one
//   that worked. A file with sound loads in full either way.
// - The video widget is created by PutOwner and fills its owner, following the owner's size;
//   the placement calls move or size it inside the owner until the owner is resized again.
// - Stop pauses; rewinding is the caller's business.
class MpvEngine : public QObject, public PlayerEngine {
    Q_OBJECT

public:
    static constexpr int LoadTimeoutMs = 10000;
    // How long after a seek's restart its picture may take to be drawn before the seek is
    // taken as shown anyway (nothing may be drawing: a hidden window, a file without video).
    static constexpr int PictureTimeoutMs = 300;
    // Files without an index (MPEG transport and program streams, bare video streams) are
    // sought by lavf from their timestamps, and it lands on a picture that may follow the
    // last key frame before the second sought; the decoder then starts at the next key frame,
    // up to a key frame's distance after that second (the picture one second ahead in a
    // broadcast recording). For such files an exact seek starts this much earlier (mpv's
    // hr-seek-demuxer-offset), which covers the key frame distances of broadcast, AVCHD and
    // Blu-ray recordings (up to about a second); indexed files seek from their index.
    static constexpr double IndexlessSeekBackSeconds = 2.0;

    explicit MpvEngine(QObject* parent = nullptr);
    ~MpvEngine() override;
    MpvEngine(const MpvEngine&) = delete;
    MpvEngine& operator=(const MpvEngine&) = delete;

    // False when libmpv could not be started; every operation then fails.
    bool IsValid() const { return core_ != nullptr; }
    // The widget the video is drawn into, null before PutOwner or after its owner went away.
    MpvVideoWidget* VideoWidget() const { return widget_.data(); }
    // The sound output every load of this program uses, empty until the first file with sound
    // found one ("null" where there is no sound device).
    static QByteArray ChosenAudioOutput();

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
    EngineResult PutKeyFramePosition(double seconds) override;
    void SetSeekShownHandler(SeekShownHandler handler) override;

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
    void HandleReply(const mpv_event& event);
    void HandleChange(const mpv_event& event);
    void RenderContextChanged(bool available);
    // Selects the video track when a file is open whose video is not shown (it was loaded or
    // its renderer went away while nothing could draw it); asks for the track list first.
    void ShowVideoTrack();
    void ChooseVideoTrack(const struct mpv_node& tracks);
    // Sent asynchronously; the reply carries `tag` (0: that of a plain setting).
    EngineResult SetFlag(const char* name, bool value, uint64_t tag = 0);
    EngineResult SetDouble(const char* name, double value);
    EngineResult Seek(double seconds, const char* flags, bool awaitDrawing);
    // The seek watch's steps: a new frame drawn, the picture's wait given up, a report.
    void NewFrameDrawn();
    void PictureTimedOut();
    void ReportSeekIfShown();
    EngineResult Place(const QRect& geometry);

    mpv_handle* core_ = nullptr;
    QPointer<MpvVideoWidget> widget_;
    QPointer<QWidget> owner_;
    QRect placement_;
    bool cursorHidden_ = false;
    std::atomic<bool> drainPosted_{false};
    // The open file, as mpv last reported it.
    bool fileOpen_ = false;
    int64_t playlistEntry_ = -1;
    quint64 loadSerial_ = 0;
    int loadAnswers_ = 0;
    std::optional<double> duration_;
    std::optional<double> timePosition_;
    bool endReached_ = false;
    bool hasAudio_ = false;
    bool paused_ = true;
    // Paused since before the latest seek restarted (or the load): a frame drawn now is no
    // frame of playback.
    bool pauseSettled_ = true;
    // The latest pause or play sent; only the latest pause's reply settles the pause.
    quint64 pauseSerial_ = 0;
    bool audioOutputSet_ = false;
    // The latest seek, and who hears of its picture.
    MpvSeekWatch seek_;
    // The target of a seek whose picture is shown but not yet reported: still the position
    // until the report was handled (the handler may go on seeking to the same second).
    std::optional<double> reportingTarget_;
    QTimer* pictureTimer_ = nullptr;
    SeekShownHandler seekShown_;
};
