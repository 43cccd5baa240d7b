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
#include <optional>

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
    const std::function<EngineResult()> steps[] = {
        // Open the file; the engine is made on first use and replaces its file afterwards.
        [&] {
            if (engine_ == nullptr || factoryChanged_) {
                engine_.reset();
                factoryChanged_ = false;
                if (factory_) {
                    engine_ = factory_();
                }
            }
            keyFrameSeek_.reset();
            if (engine_ == nullptr) {
                return EngineResult::Failed;
            }
            engine_->SetSeekShownHandler(
                [this](double pictureSeconds) { engine_SeekShown(pictureSeconds); });
            return engine_->RenderFile(path);
        },
        [&] { return engine_->PutVolume(0); },
        [&] { return engine_->PutBalance(0); },
        [&] { return engine_->PutTop(0); },
        [&] { return engine_->PutWindowStyle(VideoWindowStyle); },
        [&] { return engine_->PutLeft(0); },
        // The video area is measured in pixels already.
        [&] { return engine_->PutHeight(picVideoWindow_->height()); },
        [&] { return engine_->PutWidth(picVideoWindow_->width()); },
        [&] { return engine_->PutOwner(picVideoWindow_); },
        [&] { return engine_->HideCursor(false); },
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
        engine_->Run();
        cmdPlay_->setText(PauseCaption);
    } else {
        engine_->Pause();
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
    if (engine_ == nullptr) {
        return;
    }
    // Playback keeps its state: a playing video plays on from the new second.
    lastSought_ = slider_->Value();
    SeekTo(lastSought_);
    ShowPosition();
}

void PreviewPlayer::Slider_DblClick(qint32& Value) {
    if (engine_ == nullptr || Value == lastSought_) {
        return;
    }
    lastSought_ = Value;
    SeekTo(Value);
    ShowPosition();
}

void PreviewPlayer::SeekTo(qint32 second) {
    // The key frame first; an engine that cannot seek to key frames seeks exactly at once.
    keyFrameSeek_ = second;
    const EngineResult result = engine_->PutKeyFramePosition(static_cast<double>(second));
    if (result != EngineResult::Ok) {
        keyFrameSeek_.reset();
        if (result == EngineResult::NotImplemented) {
            engine_->PutCurrentPosition(static_cast<double>(second));
        }
    }
}

void PreviewPlayer::engine_SeekShown(double pictureSeconds) {
    // Only the key frame of the seek under way is followed by its exact picture; the engine
    // reports no seek that a later one replaced, and the exact picture ends the seek.
    if (!keyFrameSeek_ || engine_ == nullptr) {
        return;
    }
    const qint32 second = *keyFrameSeek_;
    keyFrameSeek_.reset();
    // A key frame of unknown time is taken for another picture.
    if (!(std::abs(pictureSeconds - static_cast<double>(second)) <= SamePictureSeconds)) {
        Skipping("seeking to the exact picture",
                 [&] { engine_->PutCurrentPosition(static_cast<double>(second)); });
    }
}
