#pragma once

#include "preview/PlayerEngine.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <vector>

class QLabel;
class QPushButton;
class QTimer;
class QWidget;
class Slider;

// The preview player: shows the loaded video in the video area, plays, pauses and stops it, keeps
// the seek slider and the time label in step with playback once a second, and seeks when the
// mouse is released on the slider. It keeps the flag NoMedia (true while no file is ready),
// which the playback buttons here consult, and announces each change (NoMediaChanged), so the
// window can tell the mark and Start buttons.
//
// The engine is made by the factory when the first file is loaded (or before, on
// PrepareEngine) and then kept: every later
// load replaces the file in the same engine (mpv's "loadfile replace"), so the widget the video
// is drawn into, and its OpenGL context, stay put across loads. A factory that returns null, or
// an engine that cannot start, makes the load fail like a file the engine cannot render.
//
// A seek on the slider goes in two steps: first to the key frame at or before the second the
// slider shows, which the engine shows at once, then, as soon as the engine reports that
// picture shown, to the exact picture of that second (unless the key frame is that
// picture). Where a key frame seen before lies just before the second, the exact picture comes
// as fast as a key frame's and is asked for at once. A seek replaces any seek still under way;
// the position, the slider and the time label say the second sought from the start. A playing
// video is held still during the seek, so that no playback from the key frame competes with
// the exact picture's decoding, and plays on from the exact picture.
//
// Loading runs a fixed sequence of steps; an engine answer NotImplemented skips that step, any
// other failure ends the load with the warning "File is not supported" and leaves NoMedia
// true. The timer tick and the seek skip each statement that fails. Nothing here throws.
class PreviewPlayer : public QObject {
    Q_OBJECT

public:
    using EngineFactory = std::function<std::unique_ptr<PlayerEngine>()>;

    // The widgets belong to the window and must outlive the player's use of them; `window` is
    // the window repainted after a load.
    PreviewPlayer(EngineFactory factory, QWidget* picVideoWindow, Slider* slider,
                  QPushButton* cmdPlay, QLabel* lblTime, QWidget* window,
                  QObject* parent = nullptr);
    ~PreviewPlayer() override;
    PreviewPlayer(const PreviewPlayer&) = delete;
    PreviewPlayer& operator=(const PreviewPlayer&) = delete;

    // Makes the engine ahead of the first load and places its picture in the video area, so
    // that the first file opens as fast as any later one (mpv's core and its OpenGL renderer
    // are ready by then). Does nothing once an engine exists; an engine that cannot start is
    // kept, and the first load then fails as it would have.
    void PrepareEngine();
    // Opens the file in the engine, places the picture in the video area and starts playing.
    void LoadVideo(const QString& path);
    // Another file is being taken in: the Stop action, then NoMedia, the time label reads
    // "00:00/00:00" and the slider's handle goes to 0.
    void UnloadVideo();
    // True while no file is ready (at first, and from the start of a load until its last step).
    bool NoMedia() const { return bNoMedia_; }

    void cmdPlay_Click();
    // The Stop action: stop, rewind to 0, slider to 0, caption "Play", timer off.
    void cmdStop_Click();
    void tmrVideo_Timer();
    // Connect directly: the arguments are references (they are not used).
    void Slider_MouseUp(qint16& Button, qint16& Shift, double& X, double& Y);
    // The end of the slider's click-jump. A click moves the handle only after the release was
    // reported, so the seek of the release went to the old second; when the click moved the
    // handle, seek once more to where it is now. Connect directly.
    void Slider_DblClick(qint32& Value);
    // A key moved the slider's handle: seek there, as a release of the mouse does. Held keys
    // ask for each second in turn; each seek replaces the one under way, so the picture ends
    // on the last second asked for.
    void Slider_KeyMoved(qint32 Value);

    // Follows playback every 1000 ms while the video plays; disabled at first.
    QTimer* tmrVideo() const { return tmrVideo_; }
    // The loaded file's duration as time text, empty before the first load.
    QString sDurationText() const { return sDurationText_; }
    // The engine, null until the first load made one.
    PlayerEngine* Engine() const { return engine_.get(); }
    // Replaces the factory for the engines of later loads (the window's tests use a scripted
    // engine); an engine already made is kept until the next load makes a new one.
    void SetEngineFactory(EngineFactory factory);

    // The engine of the program: libmpv drawing into a widget in the video area.
    static std::unique_ptr<PlayerEngine> NewMpvEngine();

    static constexpr long VideoWindowStyle = 0x06000000; // clip children and siblings
    static constexpr int TimerInterval = 1000;
    // A key frame this close to the second sought is that second's picture.
    static constexpr double SamePictureSeconds = 0.02;
    // From a key frame this close before the second sought, decoding up to the second's
    // picture costs about what showing the key frame first would: the seek is exact at once.
    static constexpr double DirectSeekSeconds = 0.5;
    // Ticks of a held seek without its picture after which playing goes on regardless.
    static constexpr int HeldSeekTicks = 3;

Q_SIGNALS:
    // NoMedia changed.
    void NoMediaChanged(bool noMedia);

private:
    void SetNoMedia(bool noMedia);
    // Makes a new engine with the factory (none when it gives none) and follows its seeks.
    void MakeEngine();
    // The load's steps that place the picture in the video area, in their order.
    std::vector<std::function<EngineResult()>> PlacementSteps();
    // Runs the load's steps; false when one failed (not merely unavailable).
    bool RunLoadSteps(const QString& path);
    // The duration rounded to whole seconds, or Failed when the engine has none that fits.
    EngineResult RoundedDuration(qint32& seconds);
    void ShowPosition();
    // Seeks in two steps to a whole second.
    void SeekTo(qint32 second);
    // The engine showed the picture of its latest seek.
    void engine_SeekShown(double pictureSeconds);
    // The seek is over: a video held still for it plays on.
    void EndSeek();
    // Whether a key frame seen in this file lies within DirectSeekSeconds before `second`.
    bool KeyFrameJustBefore(qint32 second) const;

    EngineFactory factory_;
    std::unique_ptr<PlayerEngine> engine_;
    bool factoryChanged_ = false;
    QWidget* picVideoWindow_;
    Slider* slider_;
    QPushButton* cmdPlay_;
    QLabel* lblTime_;
    QWidget* window_;
    bool bNoMedia_ = true;
    QTimer* tmrVideo_;
    QString sDurationText_;
    qint32 lastSought_ = 0;
    // The second of a two-step seek whose exact picture is still to be asked for.
    std::optional<qint32> keyFrameSeek_;
    // A seek of the slider is under way until its last picture is shown.
    bool seeking_ = false;
    // The video was playing (or Play was pressed) when the seek began: it plays on after it.
    bool resumeAfterSeek_ = false;
    int heldTicks_ = 0;
    // The times of the key frames the engine showed in this file (its start among them).
    std::set<double> keyFrames_;
};
