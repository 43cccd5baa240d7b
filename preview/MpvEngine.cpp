#include "preview/MpvEngine.h"

#include "engine/SourceFacts.h"

#include "preview/MpvRequests.h"
#include "preview/MpvVideoWidget.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <QWidget>
#include <QtDebug>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstring>
#include <limits>
#include <mpv/client.h>

namespace {

// libmpv refuses to start unless numbers are written the C way; the application sets this
// after creating QApplication, and an engine made anywhere else makes sure of it itself.
void RequireCNumericLocale() {
    const char* numeric = std::setlocale(LC_NUMERIC, nullptr);
    if (numeric == nullptr || std::strcmp(numeric, "C") != 0) {
        std::setlocale(LC_NUMERIC, "C");
    }
}

// The sound output every load uses once it is known: the first one mpv opened, or "null"
// (none) from the start on a machine that has nothing to play sound on.
QByteArray& AudioOutput() {
    static QByteArray output;
    return output;
}

// Whether anything could play sound here: a sound server's socket, or a sound device. Where
// there is none, mpv would spend a noticeable time trying each of its outputs in turn.
bool SoundPossible() {
    if (qEnvironmentVariableIsSet("PULSE_SERVER") || qEnvironmentVariableIsSet("PIPEWIRE_REMOTE")) {
        return true;
    }
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && (QFileInfo::exists(runtime + QStringLiteral("/pipewire-0")) ||
                               QFileInfo::exists(runtime + QStringLiteral("/pulse/native")))) {
        return true;
    }
    if (QFileInfo::exists(QStringLiteral("/dev/dsp"))) {
        return true;
    }
    const QStringList playback =
        QDir(QStringLiteral("/dev/snd")).entryList({QStringLiteral("pcmC*p")}, QDir::System);
    return !playback.isEmpty();
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
    // Nor mpv's built-in scripts and profiles: each starts a script interpreter.
    {"load-stats-overlay", "no"},
    {"load-osd-console", "no"},
    {"load-auto-profiles", "no"},
    // The preview shows no text: no subtitles, and no font search for mpv's text renderer
    // (which would scan the system's fonts when the first core starts).
    {"sid", "no"},
    {"sub-font-provider", "none"},
    // Nor files beside the video: no folder scan for subtitles, sound tracks or cover art
    // (a folder of thousands of videos would be read at each load).
    {"sub-auto", "no"},
    {"audio-file-auto", "no"},
    {"cover-art-auto", "no"},
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

using namespace MpvRequests;

namespace {

// What a load waits for: the duration, the sound track and the reader.
constexpr int LoadQuestions = 3;

} // namespace

MpvEngine::MpvEngine(QObject* parent) : QObject(parent), pictureTimer_(new QTimer(this)) {
    pictureTimer_->setSingleShot(true);
    pictureTimer_->setInterval(PictureTimeoutMs);
    connect(pictureTimer_, &QTimer::timeout, this, &MpvEngine::PictureTimedOut);
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
    if (AudioOutput().isEmpty() && !SoundPossible()) {
        AudioOutput() = "null";
    }
    if (!AudioOutput().isEmpty()) {
        mpv_set_option_string(core, "ao", AudioOutput().constData());
        audioOutputSet_ = true;
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
    // The times and the sound output are reported by mpv whenever they change.
    mpv_observe_property(core_, Tag(Request::TimePosition), "time-pos", MPV_FORMAT_DOUBLE);
    mpv_observe_property(core_, Tag(Request::EndReached), "eof-reached", MPV_FORMAT_FLAG);
    if (AudioOutput().isEmpty()) {
        mpv_observe_property(core_, Tag(Request::AudioOutput), "current-ao", MPV_FORMAT_STRING);
    }
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

QByteArray MpvEngine::ChosenAudioOutput() {
    return AudioOutput();
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
        // A seek has been carried out (or playback started). When it is the latest seek's,
        // ask the time of the picture it restarted with; the picture itself may still have to
        // be drawn.
        if (seek_.Restarted()) {
            // The seek was sent after any pause: mpv is paused and shows nothing older.
            pauseSettled_ = paused_;
            mpv_get_property_async(core_, Tag(Request::PictureTime, seek_.Serial()), "time-pos",
                                   MPV_FORMAT_DOUBLE);
            pictureTimer_->start();
        }
        break;
    case MPV_EVENT_END_FILE:
        if (static_cast<const mpv_event_end_file*>(event.data)->playlist_entry_id ==
            playlistEntry_) {
            fileOpen_ = false;
            duration_.reset();
            timePosition_.reset();
            seek_.Clear();
            reportingTarget_.reset();
        }
        break;
    case MPV_EVENT_COMMAND_REPLY:
    case MPV_EVENT_GET_PROPERTY_REPLY:
    case MPV_EVENT_SET_PROPERTY_REPLY:
        HandleReply(event);
        break;
    case MPV_EVENT_PROPERTY_CHANGE:
        HandleChange(event);
        break;
    default:
        break;
    }
}

void MpvEngine::HandleReply(const mpv_event& event) {
    const quint64 serial = SerialOf(event.reply_userdata);
    const auto* property = event.event_id == MPV_EVENT_GET_PROPERTY_REPLY
                               ? static_cast<const mpv_event_property*>(event.data)
                               : nullptr;
    const bool answered = event.error >= 0 && property != nullptr;
    switch (RequestOf(event.reply_userdata)) {
    case Request::Setting:
        if (event.error < 0) {
            qWarning("MpvEngine: a setting was refused: %s", mpv_error_string(event.error));
        }
        break;
    case Request::PauseSetting:
        if (event.error < 0) {
            qWarning("MpvEngine: pausing was refused: %s", mpv_error_string(event.error));
        } else if (serial == pauseSerial_ && paused_ && !pauseSettled_) {
            // mpv takes no frame of the playback any more: a new frame from now on is a
            // seek's picture.
            pauseSettled_ = true;
            seek_.Paused();
        }
        break;
    case Request::SeekCommand:
        seek_.CommandDone(serial, event.error >= 0);
        break;
    case Request::PictureTime:
        if (serial == seek_.Serial() && seek_.Pending()) {
            // Without an answer the picture's time is not known (not a number).
            double seconds = std::numeric_limits<double>::quiet_NaN();
            if (answered && property->format == MPV_FORMAT_DOUBLE) {
                seconds = *static_cast<const double*>(property->data);
                timePosition_ = seconds;
            }
            seek_.PictureTime(serial, seconds);
            ReportSeekIfShown();
        }
        break;
    case Request::LoadDuration:
        if (serial == loadSerial_) {
            ++loadAnswers_;
            if (answered && property->format == MPV_FORMAT_DOUBLE) {
                duration_ = *static_cast<const double*>(property->data);
            }
        }
        break;
    case Request::LoadAudioTrack:
        if (serial == loadSerial_) {
            ++loadAnswers_;
            hasAudio_ = answered && property->format == MPV_FORMAT_INT64;
        }
        break;
    case Request::LoadFormat:
        if (serial == loadSerial_) {
            ++loadAnswers_;
            QByteArray format;
            if (answered && property->format == MPV_FORMAT_STRING) {
                format = *static_cast<char* const*>(property->data);
            }
            // Set before the load returns, so that the first seek already starts early.
            double offset = SourceFacts::IndexlessFormat(QString::fromUtf8(format))
                                ? IndexlessSeekBackSeconds
                                : 0.0;
            const int error =
                mpv_set_property(core_, "hr-seek-demuxer-offset", MPV_FORMAT_DOUBLE, &offset);
            if (error < 0) {
                qWarning("MpvEngine: the seek offset was refused: %s", mpv_error_string(error));
            }
        }
        break;
    case Request::TrackList:
        if (serial == loadSerial_ && answered && property->format == MPV_FORMAT_NODE) {
            ChooseVideoTrack(*static_cast<const mpv_node*>(property->data));
        }
        break;
    default:
        break;
    }
}

void MpvEngine::HandleChange(const mpv_event& event) {
    const auto* property = static_cast<const mpv_event_property*>(event.data);
    switch (RequestOf(event.reply_userdata)) {
    case Request::TimePosition:
        if (property->format == MPV_FORMAT_DOUBLE) {
            timePosition_ = *static_cast<const double*>(property->data);
        } else {
            timePosition_.reset();
        }
        break;
    case Request::EndReached:
        endReached_ =
            property->format == MPV_FORMAT_FLAG && *static_cast<const int*>(property->data) != 0;
        break;
    case Request::AudioOutput:
        // The first output mpv opened is the one every later load uses: mpv need not try the
        // others again (on a machine without sound that is "null").
        if (property->format == MPV_FORMAT_STRING && AudioOutput().isEmpty()) {
            const char* name = *static_cast<char* const*>(property->data);
            if (name != nullptr && name[0] != '\0') {
                AudioOutput() = name;
            }
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
    playlistEntry_ = -1;
    ++loadSerial_;
    loadAnswers_ = 0;
    duration_.reset();
    timePosition_.reset();
    endReached_ = false;
    hasAudio_ = false;
    seek_.Clear();
    reportingTarget_.reset();
    pictureTimer_->stop();
    if (path.isEmpty()) {
        const char* stop[] = {"stop", nullptr};
        mpv_command(core_, stop);
        return EngineResult::Failed;
    }

    // Before the file opens these are set synchronously, so that they hold for it: mpv may
    // reorder asynchronous requests with the load.
    int pause = 1;
    mpv_set_property(core_, "pause", MPV_FORMAT_FLAG, &pause);
    paused_ = true;
    pauseSettled_ = true;
    const bool drawable = widget_ != nullptr && widget_->HasRenderContext();
    mpv_set_property_string(core_, "vid", drawable ? "auto" : "no");
    if (!audioOutputSet_ && !AudioOutput().isEmpty()) {
        mpv_set_property_string(core_, "ao", AudioOutput().constData());
        audioOutputSet_ = true;
    }

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

    // The one blocking wait: until this file is loaded, its duration and sound track known, or
    // it has failed; at most LoadTimeoutMs. Events of the file being replaced carry another
    // playlist entry and are passed on.
    QElapsedTimer clock;
    clock.start();
    bool started = false;
    for (;;) {
        if (fileOpen_ && loadAnswers_ >= LoadQuestions) {
            return EngineResult::Ok;
        }
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
        } else if (event->event_id == MPV_EVENT_FILE_LOADED && started && !fileOpen_) {
            fileOpen_ = true;
            playlistEntry_ = entry;
            // Asked now and answered while this wait goes on drawing: after the load nothing
            // waits for mpv.
            mpv_get_property_async(core_, Tag(Request::LoadDuration, loadSerial_), "duration",
                                   MPV_FORMAT_DOUBLE);
            mpv_get_property_async(core_, Tag(Request::LoadAudioTrack, loadSerial_),
                                   "current-tracks/audio/id", MPV_FORMAT_INT64);
            mpv_get_property_async(core_, Tag(Request::LoadFormat, loadSerial_), "file-format",
                                   MPV_FORMAT_STRING);
        } else if (event->event_id == MPV_EVENT_END_FILE) {
            const auto* end = static_cast<const mpv_event_end_file*>(event->data);
            if (entry < 0 ? started : end->playlist_entry_id == entry) {
                fileOpen_ = false;
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
    fileOpen_ = false;
    const char* stop[] = {"stop", nullptr};
    mpv_command(core_, stop);
    return EngineResult::Failed;
}
