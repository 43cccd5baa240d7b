#include "preview/MpvEngine.h"

#include "preview/MpvVideoWidget.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QWidget>
#include <QtDebug>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstring>
#include <mpv/client.h>

namespace {

EngineResult ResultOf(int error) {
    if (error >= 0) {
        return EngineResult::Ok;
    }
    if (error == MPV_ERROR_PROPERTY_UNAVAILABLE || error == MPV_ERROR_NOT_IMPLEMENTED) {
        return EngineResult::NotImplemented;
    }
    return EngineResult::Failed;
}

// libmpv refuses to start unless numbers are written the C way; the application sets this
// after creating QApplication, and an engine made anywhere else makes sure of it itself.
void RequireCNumericLocale() {
    const char* numeric = std::setlocale(LC_NUMERIC, nullptr);
    if (numeric == nullptr || std::strcmp(numeric, "C") != 0) {
        std::setlocale(LC_NUMERIC, "C");
    }
}

struct Option {
    const char* name;
    const char* value;
};

const Option CoreOptions[] = {
    // Quiet and self-contained: no terminal, no user configuration, no scripts, no helpers
    // started for network addresses.
    {"terminal", "no"},
    {"msg-level", "all=no"},
    {"config", "no"},
    {"load-scripts", "no"},
    {"ytdl", "no"},
    // Quenlet draws the picture itself; mpv has no input, controller, on-screen display or
    // cursor handling of its own.
    {"vo", "libmpv"},
    {"input-default-bindings", "no"},
    {"input-vo-keyboard", "no"},
    {"osc", "no"},
    {"osd-level", "0"},
    {"cursor-autohide", "no"},
    // Software decoding behaves the same on every machine.
    {"hwdec", "no"},
    {"gpu-hwdec-interop", "no"},
    // Without a sound device the file still plays, silently.
    {"audio-fallback-to-null", "yes"},
    // The end of a file keeps its last frame and position; the core stays alive without a
    // file; a file opens paused.
    {"keep-open", "yes"},
    {"idle", "yes"},
    {"pause", "yes"},
    // Video is switched on once something can draw it.
    {"vid", "no"},
};

} // namespace

MpvEngine::MpvEngine(QObject* parent) : QObject(parent) {
    RequireCNumericLocale();
    mpv_handle* core = mpv_create();
    if (core == nullptr) {
        qWarning("MpvEngine: libmpv could not be created");
        return;
    }
    for (const Option& option : CoreOptions) {
        const int error = mpv_set_option_string(core, option.name, option.value);
        if (error < 0) {
            qWarning("MpvEngine: option %s=%s refused: %s", option.name, option.value,
                     mpv_error_string(error));
        }
    }
    // For finding out why a file does not play: mpv's own log on the terminal.
    if (qEnvironmentVariableIntValue("QUENLET_MPV_VERBOSE") != 0) {
        mpv_set_option_string(core, "terminal", "yes");
        mpv_set_option_string(core, "msg-level", "all=v");
        mpv_set_option_string(core, "msg-time", "yes");
    }
    const int error = mpv_initialize(core);
    if (error < 0) {
        qWarning("MpvEngine: libmpv could not start: %s", mpv_error_string(error));
        mpv_terminate_destroy(core);
        return;
    }
    core_ = core;
    mpv_set_wakeup_callback(core_, &MpvEngine::OnWakeup, this);
}

MpvEngine::~MpvEngine() {
    if (core_ != nullptr) {
        // Returns only when no wakeup callback runs any more.
        mpv_set_wakeup_callback(core_, nullptr, nullptr);
    }
    if (owner_ != nullptr) {
        owner_->removeEventFilter(this);
    }
    // The render context must go before the core does.
    if (widget_ != nullptr) {
        disconnect(widget_, nullptr, this, nullptr);
        delete widget_.data();
    }
    if (core_ != nullptr) {
        mpv_terminate_destroy(core_);
    }
}

void MpvEngine::OnWakeup(void* engine) {
    // Called on one of mpv's threads: only post one call that drains the events on the
    // user-interface thread.
    auto* self = static_cast<MpvEngine*>(engine);
    if (!self->drainPosted_.exchange(true)) {
        QMetaObject::invokeMethod(self, &MpvEngine::DrainEvents, Qt::QueuedConnection);
    }
}

void MpvEngine::DrainEvents() {
    drainPosted_ = false;
    if (core_ == nullptr) {
        return;
    }
    for (;;) {
        const mpv_event* event = mpv_wait_event(core_, 0);
        if (event->event_id == MPV_EVENT_NONE) {
            return;
        }
        HandleEvent(*event);
    }
}

void MpvEngine::HandleEvent(const mpv_event& event) {
    switch (event.event_id) {
    case MPV_EVENT_PLAYBACK_RESTART:
        // A seek has been carried out (or playback started): the position is real again.
        seekPending_ = false;
        break;
    case MPV_EVENT_END_FILE:
        if (static_cast<const mpv_event_end_file*>(event.data)->playlist_entry_id ==
            playlistEntry_) {
            fileOpen_ = false;
            seekPending_ = false;
        }
        break;
    default:
        break;
    }
}

EngineResult MpvEngine::RenderFile(const QString& path) {
    if (core_ == nullptr) {
        return EngineResult::Failed;
    }
    DrainEvents();
    fileOpen_ = false;
    seekPending_ = false;
    playlistEntry_ = -1;
    if (path.isEmpty()) {
        const char* stop[] = {"stop", nullptr};
        mpv_command(core_, stop);
        return EngineResult::Failed;
    }

    SetFlag("pause", true);
    const bool drawable = widget_ != nullptr && widget_->HasRenderContext();
    mpv_set_property_string(core_, "vid", drawable ? "auto" : "no");

    // An absolute path, so that no file name is taken for a protocol ("name:...").
    const QByteArray file = QFile::encodeName(QFileInfo(path).absoluteFilePath());
    const char* command[] = {"loadfile", file.constData(), "replace", nullptr};
    mpv_node answer;
    if (mpv_command_ret(core_, command, &answer) < 0) {
        return EngineResult::Failed;
    }
    int64_t entry = -1;
    if (answer.format == MPV_FORMAT_NODE_MAP) {
        for (int i = 0; i < answer.u.list->num; ++i) {
            if (std::strcmp(answer.u.list->keys[i], "playlist_entry_id") == 0 &&
                answer.u.list->values[i].format == MPV_FORMAT_INT64) {
                entry = answer.u.list->values[i].u.int64;
            }
        }
    }
    mpv_free_node_contents(&answer);

    // The one blocking wait: until this file is loaded or has failed, at most LoadTimeoutMs.
    // Events of the file being replaced carry another playlist entry and are passed on.
    QElapsedTimer clock;
    clock.start();
    bool started = false;
    for (;;) {
        const qint64 remaining = LoadTimeoutMs - clock.elapsed();
        if (remaining <= 0) {
            break;
        }
        // mpv's video output may wait for a picture to be drawn before the load can go on, and
        // the event loop does not run here: draw what it asks for between short waits.
        if (widget_ != nullptr) {
            widget_->ServeRenderRequest();
        }
        const qint64 slice = widget_ != nullptr ? std::min<qint64>(remaining, 5) : remaining;
        const mpv_event* event = mpv_wait_event(core_, static_cast<double>(slice) / 1000.0);
        if (event->event_id == MPV_EVENT_START_FILE) {
            const auto* start = static_cast<const mpv_event_start_file*>(event->data);
            started = started || entry < 0 || start->playlist_entry_id == entry;
        } else if (event->event_id == MPV_EVENT_FILE_LOADED && started) {
            fileOpen_ = true;
            playlistEntry_ = entry;
            return EngineResult::Ok;
        } else if (event->event_id == MPV_EVENT_END_FILE) {
            const auto* end = static_cast<const mpv_event_end_file*>(event->data);
            if (entry < 0 ? started : end->playlist_entry_id == entry) {
                // A playlist would go on with the entries it names: refuse it instead.
                if (end->reason == MPV_END_FILE_REASON_REDIRECT) {
                    const char* stop[] = {"stop", nullptr};
                    mpv_command(core_, stop);
                }
                return EngineResult::Failed;
            }
        } else if (event->event_id != MPV_EVENT_NONE) {
            HandleEvent(*event);
        }
    }
    qWarning("MpvEngine: loading %s took too long", file.constData());
    const char* stop[] = {"stop", nullptr};
    mpv_command(core_, stop);
    return EngineResult::Failed;
}

EngineResult MpvEngine::SetFlag(const char* name, bool value) {
    if (core_ == nullptr) {
        return EngineResult::Failed;
    }
    int flag = value ? 1 : 0;
    return ResultOf(mpv_set_property(core_, name, MPV_FORMAT_FLAG, &flag));
}

EngineResult MpvEngine::SetDouble(const char* name, double value) {
    if (core_ == nullptr) {
        return EngineResult::Failed;
    }
    return ResultOf(mpv_set_property(core_, name, MPV_FORMAT_DOUBLE, &value));
}

EngineResult MpvEngine::Run() {
    return SetFlag("pause", false);
}

EngineResult MpvEngine::Pause() {
    return SetFlag("pause", true);
}

EngineResult MpvEngine::Stop() {
    return SetFlag("pause", true);
}

bool MpvEngine::HasAudioTrack() {
    int64_t id = 0;
    return core_ != nullptr &&
           mpv_get_property(core_, "current-tracks/audio/id", MPV_FORMAT_INT64, &id) >= 0;
}

EngineResult MpvEngine::PutVolume(long volume) {
    if (core_ == nullptr || volume < -10000 || volume > 0) {
        return EngineResult::Failed;
    }
    if (!HasAudioTrack()) {
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
    if (!HasAudioTrack() || balance != 0) {
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
    double value = 0.0;
    const EngineResult result =
        ResultOf(mpv_get_property(core_, "duration", MPV_FORMAT_DOUBLE, &value));
    if (result == EngineResult::Ok) {
        seconds = value;
    }
    return result;
}

EngineResult MpvEngine::GetCurrentPosition(double& seconds) {
    if (core_ == nullptr) {
        return EngineResult::Failed;
    }
    DrainEvents();
    if (seekPending_) {
        seconds = seekTarget_;
        return EngineResult::Ok;
    }
    double value = 0.0;
    const EngineResult result =
        ResultOf(mpv_get_property(core_, "time-pos", MPV_FORMAT_DOUBLE, &value));
    if (result != EngineResult::Ok) {
        return result;
    }
    // At the end mpv keeps the last frame and reports that frame's time, a fraction short of
    // the duration; the end of a file is its duration, or playing on from there could never
    // see that the end was reached.
    int ended = 0;
    double duration = 0.0;
    if (mpv_get_property(core_, "eof-reached", MPV_FORMAT_FLAG, &ended) >= 0 && ended != 0 &&
        mpv_get_property(core_, "duration", MPV_FORMAT_DOUBLE, &duration) >= 0) {
        value = std::max(value, duration);
    }
    seconds = value;
    return EngineResult::Ok;
}

EngineResult MpvEngine::PutCurrentPosition(double seconds) {
    if (core_ == nullptr || !std::isfinite(seconds)) {
        return EngineResult::Failed;
    }
    // mpv counts a negative absolute time from the end of the file.
    double target = std::max(seconds, 0.0);
    double duration = 0.0;
    if (mpv_get_property(core_, "duration", MPV_FORMAT_DOUBLE, &duration) >= 0) {
        target = std::min(target, duration);
    }
    // Restarts of earlier seeks are taken first, so the next one ends this seek.
    DrainEvents();
    const QByteArray time = QByteArray::number(target, 'f', 6);
    const char* command[] = {"seek", time.constData(), "absolute+exact", nullptr};
    const EngineResult result = ResultOf(mpv_command(core_, command));
    if (result == EngineResult::Ok) {
        seekPending_ = true;
        seekTarget_ = target;
    }
    return result;
}

EngineResult MpvEngine::Place(const QRect& geometry) {
    placement_ = geometry;
    if (widget_ != nullptr) {
        widget_->setGeometry(placement_);
    }
    return EngineResult::Ok;
}

EngineResult MpvEngine::PutTop(int pixels) {
    return Place(placement_.translated(0, pixels - placement_.top()));
}

EngineResult MpvEngine::PutLeft(int pixels) {
    return Place(placement_.translated(pixels - placement_.left(), 0));
}

EngineResult MpvEngine::PutWidth(int pixels) {
    if (pixels < 0) {
        return EngineResult::Failed;
    }
    QRect geometry = placement_;
    geometry.setWidth(pixels);
    return Place(geometry);
}

EngineResult MpvEngine::PutHeight(int pixels) {
    if (pixels < 0) {
        return EngineResult::Failed;
    }
    QRect geometry = placement_;
    geometry.setHeight(pixels);
    return Place(geometry);
}

EngineResult MpvEngine::PutWindowStyle(long /*style*/) {
    // Clipping against children and siblings is what Qt widgets do anyway.
    return EngineResult::Ok;
}

EngineResult MpvEngine::PutOwner(QWidget* videoArea) {
    if (core_ == nullptr) {
        return EngineResult::Failed;
    }
    if (owner_ != nullptr) {
        owner_->removeEventFilter(this);
    }
    owner_ = videoArea;
    if (videoArea == nullptr) {
        if (widget_ != nullptr) {
            widget_->hide();
            widget_->setParent(nullptr);
        }
        return EngineResult::Ok;
    }
    if (widget_ == nullptr) {
        widget_ = new MpvVideoWidget(core_, videoArea);
        connect(widget_, &MpvVideoWidget::RenderContextChanged, this,
                &MpvEngine::RenderContextChanged);
    } else if (widget_->parentWidget() != videoArea) {
        widget_->setParent(videoArea);
    }
    HideCursor(cursorHidden_);
    videoArea->installEventFilter(this);
    Place(videoArea->rect());
    widget_->show();
    return EngineResult::Ok;
}

EngineResult MpvEngine::HideCursor(bool hide) {
    cursorHidden_ = hide;
    if (widget_ != nullptr) {
        if (hide) {
            widget_->setCursor(Qt::BlankCursor);
        } else {
            widget_->unsetCursor();
        }
    }
    return EngineResult::Ok;
}

bool MpvEngine::eventFilter(QObject* watched, QEvent* event) {
    if (watched == owner_ && event->type() == QEvent::Resize && owner_ != nullptr) {
        Place(owner_->rect());
    }
    return QObject::eventFilter(watched, event);
}

void MpvEngine::RenderContextChanged(bool available) {
    if (available) {
        ShowVideoTrack();
    }
}

void MpvEngine::ShowVideoTrack() {
    if (core_ == nullptr || !fileOpen_) {
        return;
    }
    int64_t id = 0;
    if (mpv_get_property(core_, "current-tracks/video/id", MPV_FORMAT_INT64, &id) >= 0) {
        return;
    }
    // The track is named by its number: after mpv dropped the video because its renderer went
    // away, the selection "auto" is still set and setting it again would change nothing.
    int64_t count = 0;
    if (mpv_get_property(core_, "track-list/count", MPV_FORMAT_INT64, &count) < 0) {
        return;
    }
    for (int64_t i = 0; i < count; ++i) {
        const QByteArray track = "track-list/" + QByteArray::number(i);
        char* type = mpv_get_property_string(core_, (track + "/type").constData());
        const bool isVideo = type != nullptr && std::strcmp(type, "video") == 0;
        mpv_free(type);
        int64_t trackId = 0;
        if (isVideo &&
            mpv_get_property(core_, (track + "/id").constData(), MPV_FORMAT_INT64, &trackId) >= 0) {
            mpv_set_property(core_, "vid", MPV_FORMAT_INT64, &trackId);
            return;
        }
    }
}
