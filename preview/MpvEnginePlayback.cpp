#include "preview/MpvEngine.h"

#include "preview/MpvRequests.h"
#include "preview/MpvVideoWidget.h"

#include <QTimer>

#include <algorithm>
#include <cmath>

// MpvEngine: playing, settings, times and seeks; nothing here waits for mpv.

using namespace MpvRequests;

EngineResult MpvEngine::SetFlag(const char* name, bool value, uint64_t tag) {
    if (core_ == nullptr) {
        return EngineResult::Failed;
    }
    int flag = value ? 1 : 0;
    return ResultOf(mpv_set_property_async(core_, tag != 0 ? tag : Tag(Request::Setting), name,
                                           MPV_FORMAT_FLAG, &flag));
}

EngineResult MpvEngine::SetDouble(const char* name, double value) {
    if (core_ == nullptr) {
        return EngineResult::Failed;
    }
    return ResultOf(
        mpv_set_property_async(core_, Tag(Request::Setting), name, MPV_FORMAT_DOUBLE, &value));
}

EngineResult MpvEngine::Run() {
    const EngineResult result = SetFlag("pause", false);
    if (result == EngineResult::Ok) {
        // A pause still on its way settles nothing any more.
        ++pauseSerial_;
        paused_ = false;
        seek_.Unpaused();
    }
    return result;
}

EngineResult MpvEngine::Pause() {
    // Frames of the playback may still come until mpv has carried out the pause (its reply
    // says so) or a seek sent from now on restarts.
    const EngineResult result = SetFlag("pause", true, Tag(Request::PauseSetting, ++pauseSerial_));
    if (result == EngineResult::Ok) {
        pauseSettled_ = pauseSettled_ && paused_;
        paused_ = true;
    }
    return result;
}

EngineResult MpvEngine::Stop() {
    return Pause();
}

EngineResult MpvEngine::PutVolume(long volume) {
    if (core_ == nullptr || volume < -10000 || volume > 0) {
        return EngineResult::Failed;
    }
    if (!fileOpen_ || !hasAudio_) {
        return EngineResult::NotImplemented;
    }
    // Hundredths of a decibel to mpv's percentage, whose gain is the cube of its fraction;
    // -10000 (-100 dB) is silence.
    const double percent = volume <= -10000 ? 0.0 : 100.0 * std::pow(10.0, volume / 6000.0);
    return SetDouble("volume", percent);
}

EngineResult MpvEngine::PutBalance(long balance) {
    if (core_ == nullptr || balance < -10000 || balance > 10000) {
        return EngineResult::Failed;
    }
    if (!fileOpen_ || !hasAudio_ || balance != 0) {
        return EngineResult::NotImplemented;
    }
    // The sound is never panned, so centre is where it already is.
    return EngineResult::Ok;
}

EngineResult MpvEngine::PutRate(double rate) {
    if (!std::isfinite(rate) || rate <= 0.0) {
        return EngineResult::Failed;
    }
    return SetDouble("speed", rate);
}

EngineResult MpvEngine::GetDuration(double& seconds) {
    if (core_ == nullptr) {
        return EngineResult::Failed;
    }
    if (!fileOpen_ || !duration_) {
        return EngineResult::NotImplemented;
    }
    seconds = *duration_;
    return EngineResult::Ok;
}

EngineResult MpvEngine::GetCurrentPosition(double& seconds) {
    if (core_ == nullptr) {
        return EngineResult::Failed;
    }
    DrainEvents();
    if (!fileOpen_) {
        return EngineResult::NotImplemented;
    }
    if (seek_.Pending()) {
        seconds = seek_.Target();
        return EngineResult::Ok;
    }
    if (reportingTarget_) {
        seconds = *reportingTarget_;
        return EngineResult::Ok;
    }
    if (!timePosition_) {
        return EngineResult::NotImplemented;
    }
    // At the end mpv keeps the last frame and reports that frame's time, a fraction short of
    // the duration; the end of a file is its duration, or playing on from there could never
    // see that the end was reached.
    seconds = *timePosition_;
    if (endReached_ && duration_) {
        seconds = std::max(seconds, *duration_);
    }
    return EngineResult::Ok;
}

EngineResult MpvEngine::PutCurrentPosition(double seconds) {
    return Seek(seconds, "absolute+exact", true);
}

EngineResult MpvEngine::PutKeyFramePosition(double seconds) {
    return Seek(seconds, "absolute+keyframes", false);
}

EngineResult MpvEngine::Seek(double seconds, const char* flags, bool awaitDrawing) {
    if (core_ == nullptr || !std::isfinite(seconds)) {
        return EngineResult::Failed;
    }
    // Restarts of earlier seeks are taken first: they are not this one's.
    DrainEvents();
    if (!fileOpen_) {
        return EngineResult::NotImplemented;
    }
    // mpv counts a negative absolute time from the end of the file.
    double target = std::max(seconds, 0.0);
    if (duration_) {
        target = std::min(target, *duration_);
    }
    pictureTimer_->stop();
    reportingTarget_.reset();
    const quint64 serial = seek_.Start(target, paused_ && pauseSettled_, awaitDrawing);
    const QByteArray time = QByteArray::number(target, 'f', 6);
    const char* command[] = {"seek", time.constData(), flags, nullptr};
    const EngineResult result =
        ResultOf(mpv_command_async(core_, Tag(Request::SeekCommand, serial), command));
    if (result != EngineResult::Ok) {
        seek_.Clear();
    }
    return result;
}

void MpvEngine::SetSeekShownHandler(SeekShownHandler handler) {
    seekShown_ = std::move(handler);
}

void MpvEngine::NewFrameDrawn() {
    seek_.FrameDrawn();
    ReportSeekIfShown();
}

void MpvEngine::PictureTimedOut() {
    if (seek_.AwaitingPicture()) {
        seek_.StopWaitingForPicture();
        ReportSeekIfShown();
    }
}

void MpvEngine::ReportSeekIfShown() {
    const std::optional<double> shown = seek_.TakeShown();
    if (!shown) {
        return;
    }
    pictureTimer_->stop();
    // Reported from the event loop: the handler may well seek again, which must not happen
    // inside the engine call (or the frame drawing) that noticed the picture. Until then the
    // position is still the one asked for, not the key frame's time.
    const quint64 serial = seek_.Serial();
    reportingTarget_ = seek_.Target();
    QMetaObject::invokeMethod(
        this,
        [this, serial, seconds = *shown] {
            // A seek sent since then replaced this one.
            if (serial != seek_.Serial() || seek_.Pending()) {
                return;
            }
            reportingTarget_.reset();
            if (seekShown_) {
                seekShown_(seconds);
            }
        },
        Qt::QueuedConnection);
}
