#include "preview/PreviewPlayer.h"

#include "engine/HandlerGuard.h"
#include "engine/Platform.h"
#include "engine/Rounding.h"
#include "engine/modMain.h"
#include "preview/MpvEngine.h"
#include "preview/MpvVideoWidget.h"
#include "preview/Slider.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <QtDebug>

#include <cmath>
#include <exception>
#include <functional>
#include <iterator>
#include <optional>
#include <vector>

namespace {

const QString PlayCaption = QStringLiteral("Play");
const QString PauseCaption = QStringLiteral("Pause");

// Runs one statement of the timer tick or the seek; one that throws is skipped (logged), so no
// exception leaves the player's slots.
template <typename Statement> void Skipping(const char* what, Statement statement) {
    RunGuarded(statement, [what](const std::exception* error) {
        if (error != nullptr) {
            qWarning("PreviewPlayer: %s skipped: %s", what, error->what());
        } else {
            qWarning("PreviewPlayer: %s skipped", what);
        }
    });
}

} // namespace

PreviewPlayer::PreviewPlayer(EngineFactory factory, QWidget* picVideoWindow, Slider* slider,
                             QPushButton* cmdPlay, QLabel* lblTime, QWidget* window,
                             QObject* parent)
    : QObject(parent), factory_(std::move(factory)), picVideoWindow_(picVideoWindow),
      slider_(slider), cmdPlay_(cmdPlay), lblTime_(lblTime), window_(window),
      tmrVideo_(new QTimer(this)) {
    tmrVideo_->setObjectName(QStringLiteral("tmrVideo"));
    tmrVideo_->setInterval(TimerInterval);
    connect(tmrVideo_, &QTimer::timeout, this, &PreviewPlayer::tmrVideo_Timer);
}

PreviewPlayer::~PreviewPlayer() = default;

std::unique_ptr<PlayerEngine> PreviewPlayer::NewMpvEngine() {
    return std::make_unique<MpvEngine>();
}

void PreviewPlayer::SetEngineFactory(EngineFactory factory) {
    factory_ = std::move(factory);
    factoryChanged_ = true;
}

void PreviewPlayer::MakeEngine() {
    engine_.reset();
    factoryChanged_ = false;
    if (factory_) {
        engine_ = factory_();
    }
    if (engine_ != nullptr) {
        engine_->SetSeekShownHandler(
            [this](double pictureSeconds) { engine_SeekShown(pictureSeconds); });
    }
}

std::vector<std::function<EngineResult()>> PreviewPlayer::PlacementSteps() {
    return {
        [this] { return engine_->PutTop(0); },
        [this] { return engine_->PutWindowStyle(VideoWindowStyle); },
        [this] { return engine_->PutLeft(0); },
        // The video area is measured in pixels already.
        [this] { return engine_->PutHeight(picVideoWindow_->height()); },
        [this] { return engine_->PutWidth(picVideoWindow_->width()); },
        [this] { return engine_->PutOwner(picVideoWindow_); },
        [this] { return engine_->HideCursor(false); },
    };
}

void PreviewPlayer::PrepareEngine() {
    if (engine_ != nullptr || !factory_) {
        return;
    }
    RunGuarded(
        [&] {
            MakeEngine();
            if (engine_ == nullptr) {
                return;
            }
            // Where the load puts the picture; each load places it again.
            for (const auto& step : PlacementSteps()) {
                step();
            }
        },
        [](const std::exception* error) {
            qWarning("PreviewPlayer: the engine could not be prepared: %s",
                     error != nullptr ? error->what() : "unknown error");
        });
}

void PreviewPlayer::LoadVideo(const QString& path) {
    // A file that begins to load is not ready until the last step.
    SetNoMedia(true);
    if (!RunLoadSteps(path)) {
        Platform::ShowMessage(QStringLiteral("File is not supported"),
                              Platform::MessageIcon::Exclamation);
    }
}

bool PreviewPlayer::RunLoadSteps(const QString& path) {
    // The steps in their order; each answers like an engine call. The interfaces the playback
    // graph handed out one by one (sound, video window, position) are all the one engine here,
    // so taking them is no step of its own.
    std::vector<std::function<EngineResult()>> steps = {
        // Open the file; the engine is made on first use and replaces its file afterwards.
        [&] {
            if (engine_ == nullptr || factoryChanged_) {
                MakeEngine();
            }
            keyFrameSeek_.reset();
            seeking_ = false;
            resumeAfterSeek_ = false;
            // A file starts with a key frame.
            keyFrames_ = {0.0};
            if (engine_ == nullptr) {
                return EngineResult::Failed;
            }
            return engine_->RenderFile(path);
        },
        [&] { return engine_->PutVolume(0); },
        [&] { return engine_->PutBalance(0); },
    };
    const std::vector<std::function<EngineResult()>> placement = PlacementSteps();
    steps.insert(steps.end(), placement.begin(), placement.end());
    const std::function<EngineResult()> rest[] = {
        [&] { return engine_->PutRate(1.0); },
        [&] {
            qint32 seconds = 0;
            const EngineResult result = RoundedDuration(seconds);
            if (result == EngineResult::Ok) {
                slider_->SetMax(seconds);
            }
            return result;
        },
        [&] {
            slider_->SetValue(0);
            return EngineResult::Ok;
        },
        [&] {
            tmrVideo_->start();
            return EngineResult::Ok;
        },
        [&] { return engine_->Run(); },
        [&] {
            window_->update();
            return EngineResult::Ok;
        },
        [&] {
            cmdPlay_->setText(PauseCaption);
            return EngineResult::Ok;
        },
        [&] {
            qint32 seconds = 0;
            const EngineResult result = RoundedDuration(seconds);
            if (result == EngineResult::Ok) {
                sDurationText_ = modMain::TimeText(seconds);
            }
            return result;
        },
        [&] {
            lblTime_->setText(QStringLiteral("00:00:00/") + sDurationText_);
            return EngineResult::Ok;
        },
        [&] {
            SetNoMedia(false);
            return EngineResult::Ok;
        },
    };
    steps.insert(steps.end(), std::begin(rest), std::end(rest));
    for (const auto& step : steps) {
        EngineResult result = EngineResult::Failed;
        RunGuarded([&] { result = step(); },
                   [](const std::exception* error) {
                       if (error != nullptr) {
                           qWarning("PreviewPlayer: loading failed: %s", error->what());
                       } else {
                           qWarning("PreviewPlayer: loading failed");
                       }
                   });
        if (result == EngineResult::Failed) {
            return false;
        }
    }
    return true;
}

void PreviewPlayer::UnloadVideo() {
    cmdStop_Click();
    SetNoMedia(true);
    lblTime_->setText(QStringLiteral("00:00/00:00"));
    Skipping("rewinding the slider", [&] { slider_->SetValue(0); });
}

void PreviewPlayer::SetNoMedia(bool noMedia) {
    if (bNoMedia_ == noMedia) {
        return;
    }
    bNoMedia_ = noMedia;
    Q_EMIT NoMediaChanged(bNoMedia_);
}

EngineResult PreviewPlayer::RoundedDuration(qint32& seconds) {
    double duration = 0.0;
    const EngineResult result = engine_->GetDuration(duration);
    if (result != EngineResult::Ok) {
        return result;
    }
    // Not a number, or more seconds than the slider holds: the file cannot be shown.
    const std::optional<qint32> rounded = RoundToInt32(duration);
    if (!rounded) {
        return EngineResult::Failed;
    }
    seconds = *rounded;
    return EngineResult::Ok;
}

void PreviewPlayer::cmdPlay_Click() {
    if (bNoMedia_ || engine_ == nullptr) {
        return;
    }
    if (cmdPlay_->text() == PlayCaption) {
        // At the end (the same whole second as the duration) playing starts from the start.
        double duration = 0.0;
        double position = 0.0;
        if (engine_->GetDuration(duration) == EngineResult::Ok &&
            engine_->GetCurrentPosition(position) == EngineResult::Ok &&
            std::floor(duration) == std::floor(position)) {
            cmdStop_Click();
        }
        tmrVideo_->start();
        if (seeking_) {
            // Played from the seek's exact picture once it is shown.
            resumeAfterSeek_ = true;
        } else {
            engine_->Run();
        }
        cmdPlay_->setText(PauseCaption);
    } else {
        engine_->Pause();
        resumeAfterSeek_ = false;
        cmdPlay_->setText(PlayCaption);
        tmrVideo_->stop();
    }
}

void PreviewPlayer::cmdStop_Click() {
    if (bNoMedia_ || engine_ == nullptr) {
        return;
    }
    engine_->Stop();
    keyFrameSeek_.reset();
    seeking_ = false;
    resumeAfterSeek_ = false;
    engine_->PutCurrentPosition(0.0);
    Skipping("rewinding the slider", [&] { slider_->SetValue(0); });
    cmdPlay_->setText(PlayCaption);
    tmrVideo_->stop();
}

void PreviewPlayer::ShowPosition() {
    double position = 0.0;
    if (engine_ == nullptr || engine_->GetCurrentPosition(position) != EngineResult::Ok) {
        return;
    }
    const std::optional<qint32> seconds = RoundToInt32(position);
    if (seconds) {
        lblTime_->setText(modMain::TimeText(*seconds) + QLatin1Char('/') + sDurationText_);
    }
}

void PreviewPlayer::tmrVideo_Timer() {
    // A held seek whose picture never came (the engine lost it) lets the video play on.
    if (seeking_ && resumeAfterSeek_ && ++heldTicks_ >= HeldSeekTicks && engine_ != nullptr) {
        if (keyFrameSeek_) {
            const qint32 second = *keyFrameSeek_;
            keyFrameSeek_.reset();
            Skipping("seeking to the exact picture",
                     [&] { engine_->PutCurrentPosition(static_cast<double>(second)); });
        }
        Skipping("playing on after a seek", [&] { EndSeek(); });
    }
    picVideoWindow_->update();
    ShowPosition();
    Skipping("moving the slider", [&] {
        double position = 0.0;
        if (engine_ == nullptr || engine_->GetCurrentPosition(position) != EngineResult::Ok) {
            return;
        }
        // The slider clamps the whole second into its range.
        if (const std::optional<qint32> seconds = RoundToInt32(position)) {
            slider_->SetValue(*seconds);
        }
    });
    // The end: the timer stops and the button offers Play; the engine is left as it is.
    if (slider_->Value() == slider_->Max()) {
        tmrVideo_->stop();
        cmdPlay_->setText(PlayCaption);
    }
}

void PreviewPlayer::Slider_MouseUp(qint16& /*Button*/, qint16& /*Shift*/, double& /*X*/,
                                   double& /*Y*/) {
    // Without a file there is nothing to seek in (an engine made ahead of the first load
    // included).
    if (engine_ == nullptr || bNoMedia_) {
        return;
    }
    // Playback keeps its state: a playing video plays on from the new second.
    lastSought_ = slider_->Value();
    SeekTo(lastSought_);
    ShowPosition();
}

void PreviewPlayer::Slider_DblClick(qint32& Value) {
    if (engine_ == nullptr || bNoMedia_ || Value == lastSought_) {
        return;
    }
    lastSought_ = Value;
    SeekTo(Value);
    ShowPosition();
}

void PreviewPlayer::Slider_KeyMoved(qint32 Value) {
    if (engine_ == nullptr || bNoMedia_) {
        return;
    }
    lastSought_ = Value;
    SeekTo(Value);
    ShowPosition();
}

void PreviewPlayer::SeekTo(qint32 second) {
    // A playing video holds still until the exact picture is shown; a seek that replaces one
    // under way finds it held already.
    if (!seeking_) {
        resumeAfterSeek_ = cmdPlay_->text() == PauseCaption && engine_->Pause() == EngineResult::Ok;
    }
    seeking_ = true;
    heldTicks_ = 0;
    keyFrameSeek_.reset();
    const double target = static_cast<double>(second);
    EngineResult result = EngineResult::Failed;
    if (KeyFrameJustBefore(second)) {
        result = engine_->PutCurrentPosition(target);
    } else {
        // The key frame first; an engine that cannot seek to key frames seeks exactly at once.
        keyFrameSeek_ = second;
        result = engine_->PutKeyFramePosition(target);
        if (result != EngineResult::Ok) {
            keyFrameSeek_.reset();
            if (result == EngineResult::NotImplemented) {
                result = engine_->PutCurrentPosition(target);
            }
        }
    }
    if (result != EngineResult::Ok) {
        EndSeek();
    }
}

bool PreviewPlayer::KeyFrameJustBefore(qint32 second) const {
    const double target = static_cast<double>(second);
    auto after = keyFrames_.upper_bound(target + SamePictureSeconds);
    if (after == keyFrames_.begin()) {
        return false;
    }
    return target - *std::prev(after) <= DirectSeekSeconds;
}

void PreviewPlayer::engine_SeekShown(double pictureSeconds) {
    // Only the seek under way is followed: the engine reports no seek that a later one
    // replaced, and a stop or a load ends the seek.
    if (!seeking_ || engine_ == nullptr) {
        return;
    }
    if (keyFrameSeek_) {
        // The key frame is shown: now the exact picture, unless the key frame is it. A key
        // frame of unknown time is taken for another picture.
        const qint32 second = *keyFrameSeek_;
        keyFrameSeek_.reset();
        if (std::isfinite(pictureSeconds)) {
            keyFrames_.insert(pictureSeconds);
        }
        if (!(std::abs(pictureSeconds - static_cast<double>(second)) <= SamePictureSeconds)) {
            EngineResult result = EngineResult::Failed;
            Skipping("seeking to the exact picture",
                     [&] { result = engine_->PutCurrentPosition(static_cast<double>(second)); });
            if (result == EngineResult::Ok) {
                return;
            }
        }
    }
    EndSeek();
}

void PreviewPlayer::EndSeek() {
    seeking_ = false;
    keyFrameSeek_.reset();
    if (resumeAfterSeek_) {
        resumeAfterSeek_ = false;
        // Unless the video was paused meanwhile, or played to its end.
        if (cmdPlay_->text() == PauseCaption) {
            engine_->Run();
        }
    }
}
