#include "preview/MpvSeekWatch.h"

quint64 MpvSeekWatch::Start(double target, bool paused, bool awaitDrawing) {
    Clear();
    ++serial_;
    target_ = target;
    active_ = true;
    pausedThroughout_ = paused;
    awaitDrawing_ = awaitDrawing;
    return serial_;
}

void MpvSeekWatch::Clear() {
    active_ = false;
    pausedThroughout_ = false;
    commandDone_ = false;
    restarted_ = false;
    drawn_ = false;
    time_.reset();
}

void MpvSeekWatch::Unpaused() {
    pausedThroughout_ = false;
}

void MpvSeekWatch::Paused() {
    if (active_) {
        pausedThroughout_ = true;
    }
}

void MpvSeekWatch::CommandDone(quint64 serial, bool ok) {
    if (!active_ || serial != serial_) {
        return;
    }
    if (!ok) {
        Clear();
        return;
    }
    commandDone_ = true;
}

bool MpvSeekWatch::Restarted() {
    if (!active_ || !commandDone_ || restarted_) {
        return false;
    }
    restarted_ = true;
    drawn_ = drawn_ || !awaitDrawing_;
    return true;
}

void MpvSeekWatch::PictureTime(quint64 serial, double seconds) {
    if (active_ && restarted_ && serial == serial_) {
        time_ = seconds;
    }
}

void MpvSeekWatch::FrameDrawn() {
    if (active_ && (restarted_ || pausedThroughout_)) {
        drawn_ = true;
    }
}

void MpvSeekWatch::StopWaitingForPicture() {
    if (active_ && restarted_) {
        drawn_ = true;
    }
}

std::optional<double> MpvSeekWatch::TakeShown() {
    if (!active_ || !restarted_ || !drawn_ || !time_) {
        return std::nullopt;
    }
    const double seconds = *time_;
    Clear();
    return seconds;
}
