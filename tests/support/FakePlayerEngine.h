#pragma once

#include "preview/PlayerEngine.h"

#include <QList>
#include <QMap>
#include <QStringList>
#include <functional>
#include <optional>

namespace TestSupport {

// A player engine that plays nothing: it answers every operation from a script, logs every
// call, and keeps the state a real engine would (position, duration, playing, placement), so
// the player's logic can be driven without libmpv.
//
// Results: each operation answers the next result scripted for it (Script), then its default
// (SetDefaultResult, Ok unless set). An operation that answers anything but Ok changes nothing.
//
// The log holds one text per call, for example "RenderFile(/tmp/a.mp4)", "PutVolume(0)",
// "PutRate(1)", "GetDuration()", "PutWindowStyle(0x06000000)", "PutOwner(picVideoWindow)" (the
// owner's object name, or "null"), "HideCursor(false)".
class FakePlayerEngine : public PlayerEngine {
public:
    enum class Operation {
        RenderFile,
        Run,
        Pause,
        Stop,
        PutVolume,
        PutBalance,
        PutRate,
        GetDuration,
        GetCurrentPosition,
        PutCurrentPosition,
        PutKeyFramePosition,
        PutTop,
        PutLeft,
        PutWidth,
        PutHeight,
        PutWindowStyle,
        PutOwner,
        HideCursor,
    };

    // Queues results for the next calls of one operation, in order.
    void Script(Operation operation, const QList<EngineResult>& results);
    // The answer of an operation once its script is used up.
    void SetDefaultResult(Operation operation, EngineResult result);

    QStringList calls;
    // Number of logged calls of one operation.
    int CallCount(Operation operation) const;
    // Seeks. Like the real engine, a seek reports the position asked for at once and its
    // picture later: ShowSeekPicture stands for the engine drawing the picture of the latest
    // seek (the key frame at or before the target after PutKeyFramePosition, key frames being
    // `keyFrameInterval` seconds apart from 0; the target itself after PutCurrentPosition).
    // It then reports that picture's time to the seek-shown handler, through which the player
    // may seek again; a seek replaced by a later one is never reported. False when no seek
    // is under way.
    bool ShowSeekPicture();
    bool SeekUnderWay() const { return seekPicture_.has_value(); }
    double keyFrameInterval = 10.0;
    SeekShownHandler seekShown;

    // Called after each call has been logged and answered (for example to check the state the
    // caller is in at that moment).
    std::function<void(Operation operation)> onCall;

    // State, settable by the test. A successful RenderFile sets `file`, rewinds, pauses and
    // takes `renderedDuration` as the duration.
    QString file;
    double renderedDuration = 10.0;
    double duration = 0.0;
    double position = 0.0;
    bool playing = false;
    long volume = 0;
    long balance = 0;
    double rate = 1.0;
    int top = 0;
    int left = 0;
    int width = 0;
    int height = 0;
    long windowStyle = 0;
    QWidget* owner = nullptr;
    bool cursorHidden = false;

    EngineResult RenderFile(const QString& path) override;
    EngineResult Run() override;
    EngineResult Pause() override;
    EngineResult Stop() override;
    EngineResult PutVolume(long value) override;
    EngineResult PutBalance(long value) override;
    EngineResult PutRate(double value) override;
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

private:
    // Logs the call and takes its result from the script.
    EngineResult Answer(Operation operation, const QString& text);
    // Runs onCall and passes the result on.
    EngineResult Done(Operation operation, EngineResult result);

    QMap<Operation, QList<EngineResult>> scripts_;
    QMap<Operation, EngineResult> defaults_;
    QList<Operation> operations_;
    // The time of the picture the latest seek will show.
    std::optional<double> seekPicture_;
};

} // namespace TestSupport
