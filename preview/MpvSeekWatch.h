#pragma once

#include <QtGlobal>
#include <optional>

// Follows the latest seek sent to mpv from its command to its first picture on the screen, so
// the engine can tell when that picture is shown and what its time is.
//
// mpv's events carry no seek of their own: a playback restart belongs to the latest seek only
// once that seek's command has been carried out (earlier restarts are of seeks it replaced).
// The picture counts as shown when a new frame (no redraw) was drawn that can only be the
// seek's: while paused, any new frame drawn after the seek was sent; while playing, frames
// of the old position go on until the restart, so only one drawn after it, or after mpv
// carried out a pause sent with the seek (a seek that holds the video still may well have its
// one picture drawn before its restart is heard of).
class MpvSeekWatch {
public:
    // A new seek replaces whatever was followed before; returns its serial number. A seek
    // that need not wait for its picture to be drawn counts as shown at its restart, once its
    // picture's time is known (the picture is with the video output by then).
    quint64 Start(double target, bool paused, bool awaitDrawing = true);
    // Forgets the seek (the file ended or was replaced, or the command failed).
    void Clear();
    // Playback was resumed.
    void Unpaused();
    // mpv has paused: no frame of the playback comes any more, so a new frame drawn from now
    // on is the seek's.
    void Paused();

    // The seek command with this serial was carried out, or refused (which ends the seek).
    void CommandDone(quint64 serial, bool ok);
    // mpv restarted playback; true when the restart is the latest seek's (its picture's time
    // is then to be asked).
    bool Restarted();
    // The time of the picture mpv restarted with.
    void PictureTime(quint64 serial, double seconds);
    // A new frame was drawn.
    void FrameDrawn();
    // No picture is going to be drawn (nothing draws the video): the restart is enough.
    void StopWaitingForPicture();

    // The picture's time once the latest seek's picture is shown and its time known; then the
    // seek is over. Empty otherwise.
    std::optional<double> TakeShown();

    // A seek is under way: the position is its target.
    bool Pending() const { return active_; }
    // A restart of the latest seek arrived, its picture is awaited.
    bool AwaitingPicture() const { return active_ && restarted_ && !drawn_; }
    double Target() const { return target_; }
    quint64 Serial() const { return serial_; }

private:
    quint64 serial_ = 0;
    double target_ = 0.0;
    bool active_ = false;
    bool pausedThroughout_ = false;
    bool commandDone_ = false;
    bool restarted_ = false;
    bool drawn_ = false;
    bool awaitDrawing_ = true;
    std::optional<double> time_;
};
