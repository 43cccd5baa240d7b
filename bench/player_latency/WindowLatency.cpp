// The same figures through the program itself: the main window with its preview player, from
// LoadVideo until the file's first frame is drawn, and from the release of the mouse on the
// slider until the frame of the new second is drawn.

#include "bench/player_latency/WindowLatency.h"

#include "bench/player_latency/Pictures.h"

#include "app/MainPanel.h"
#include "app/frmMain.h"
#include "engine/Platform.h"
#include "preview/MpvEngine.h"
#include "preview/MpvVideoWidget.h"
#include "preview/PreviewPlayer.h"
#include "preview/Slider.h"
#include "tests/support/TestSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

namespace {

using Bench::Difference;
using Bench::FrameShowing;
using Bench::Milliseconds;
using Bench::MostlyBlue;
using Bench::Settle;

// Seeks go to the whole seconds 1 to Seconds of the 10 s clips.
constexpr int Seconds = 8;

MpvVideoWidget* Picture(const frmMain& window) {
    auto* engine = dynamic_cast<MpvEngine*>(window.player->Engine());
    return engine == nullptr ? nullptr : engine->VideoWidget();
}

// A release of the left button over the slider, as at the end of a drag.
void ReleaseMouseOn(Slider* slider) {
    const QPointF position(slider->width() / 2.0, slider->height() / 2.0);
    QMouseEvent release(QEvent::MouseButtonRelease, position, slider->mapToGlobal(position),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(slider, &release);
}

} // namespace

int MeasureWindow(const WindowOptions& options, const QList<WindowClip>& clips,
                  const ReportFunction& report) {
    Platform::SetApplicationFolder(TestSupport::BuildFolder());
    Platform::SetMessageFunction([](const QString& text, Platform::MessageIcon) {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    });
    frmMain window;
    // As the program starts (app/main.cpp); a user takes longer than the half second here to
    // pick a file.
    window.player->PrepareEngine();
    window.show();
    Settle(500);
    MainPanel* panel = window.frMain;
    std::printf("main window, video area %dx%d\n", panel->picVideoWindow->width(),
                panel->picVideoWindow->height());

    // The first load of the program: the engine and the picture's widget were made with the
    // window.
    {
        std::unique_ptr<Bench::FrameRecorder> frames;
        if (MpvVideoWidget* widget = Picture(window)) {
            frames = std::make_unique<Bench::FrameRecorder>(widget);
        }
        QElapsedTimer clock;
        clock.start();
        window.player->LoadVideo(clips.first().path);
        const double back = Milliseconds(clock);
        MpvVideoWidget* widget = Picture(window);
        if (frames == nullptr && widget != nullptr) {
            frames = std::make_unique<Bench::FrameRecorder>(widget);
        }
        const double drawn = frames == nullptr
                                 ? -1
                                 : FrameShowing(*frames, clock, [](const QImage&) { return true; });
        std::printf("first load of the program, %s: LoadVideo %.1f ms, "
                    "first frame drawn %.1f ms (target <= 250 ms)\n",
                    qPrintable(clips.first().name), back, drawn);
    }
    QTemporaryDir folder;
    const QString spacer = folder.filePath(QStringLiteral("spacer.mp4"));
    if (!TestSupport::RunFfmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"),
                                 QStringLiteral("-i"),
                                 QStringLiteral("color=c=blue:size=1920x1080:rate=25:duration=2"),
                                 QStringLiteral("-c:v"), QStringLiteral("libx264"),
                                 QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"), spacer})) {
        std::fprintf(stderr, "ffmpeg failed\n");
        return 1;
    }
    MpvVideoWidget* widget = Picture(window);
    if (widget == nullptr) {
        std::fprintf(stderr, "no picture\n");
        return 1;
    }
    Bench::FrameRecorder frames(widget);

    for (const WindowClip& clip : clips) {
        std::printf("%s, through the main window\n", qPrintable(clip.name));
        std::vector<double> returned;
        std::vector<double> firstFrame;
        for (int i = 0; i < options.loads; ++i) {
            // Another file shows first (a blue one), so the clip's first picture can be told from
            // pictures of the file it replaces. As the intake does before a load: unload.
            window.player->UnloadVideo();
            frames.Take();
            QElapsedTimer spacerClock;
            spacerClock.start();
            window.player->LoadVideo(spacer);
            if (FrameShowing(frames, spacerClock, MostlyBlue) < 0) {
                std::fprintf(stderr, "the spacer clip did not show\n");
                return 1;
            }
            window.player->UnloadVideo();
            Settle(300);
            frames.Take();
            QElapsedTimer clock;
            clock.start();
            window.player->LoadVideo(clip.path);
            const double back = Milliseconds(clock);
            if (window.player->NoMedia()) {
                std::fprintf(stderr, "the load failed\n");
                return 1;
            }
            const double drawn = FrameShowing(
                frames, clock, [](const QImage& picture) { return !MostlyBlue(picture); });
            if (drawn < 0) {
                std::fprintf(stderr, "the clip's first frame was not drawn\n");
                return 1;
            }
            returned.push_back(back);
            firstFrame.push_back(drawn);
        }
        report("LoadVideo returns", returned, "-");
        report("LoadVideo to first frame drawn", firstFrame, "<= 150 ms");

        // Seeks on the slider's mouse release. The player shows the key frame at or before
        // the second first, then that second's exact picture. mpv may draw the picture it
        // shows again before the sought one is ready, so the pictures are told by their
        // content: each second's exact picture and its key frame's picture are taken first,
        // paused, long after a seek to them.
        window.player->cmdStop_Click();
        QList<QImage> exact(Seconds + 1);
        QList<QImage> keyFrame(Seconds + 1);
        for (int second = 1; second <= Seconds; ++second) {
            window.player->Engine()->PutKeyFramePosition(second);
            Settle(300);
            Bench::SettleUntilStill(frames, 2500, 10000);
            keyFrame[second] = frames.Last();
            // Decoding up to a second far from its key frame may take seconds on a busy
            // machine, longer than any quiet time: the exact picture is the first one that
            // is not the key frame's (where the key frame is the second's own picture, none
            // comes, and the key frame is taken after 10 s).
            panel->Slider->SetValue(second);
            ReleaseMouseOn(panel->Slider);
            QElapsedTimer exactClock;
            exactClock.start();
            const double exactDrawn = FrameShowing(frames, exactClock, [&](const QImage& picture) {
                return Difference(picture, keyFrame.at(second)) >= 0.5;
            });
            Bench::SettleUntilStill(frames, 1000, 10000);
            exact[second] = frames.Last();
            if (exactDrawn < 0) {
                std::printf("  the exact picture of %d s is the key frame's\n", second);
            }
        }
        // The player's seeks, then for comparison the seek the player made before it went in
        // two steps: one exact seek, whatever the state.
        for (const bool playing : {false, true}) {
            for (const bool oneStep : {false, true}) {
                window.player->cmdStop_Click();
                if (playing) {
                    window.player->cmdPlay_Click();
                }
                Settle(500);
                std::vector<double> firstPictures;
                std::vector<double> exactPictures;
                QList<int> missed;
                QList<double> closestMissed;
                for (int i = 0; i < options.seeks; ++i) {
                    const int second = 1 + (i * 7) % Seconds;
                    panel->Slider->SetValue(second);
                    frames.Take();
                    double closest = 255;
                    QElapsedTimer clock;
                    clock.start();
                    if (oneStep) {
                        window.player->Engine()->PutCurrentPosition(second);
                    } else {
                        ReleaseMouseOn(panel->Slider);
                    }
                    const Bench::TwoPictures drawn = Bench::FramesShowing(
                        frames, clock,
                        [&](const QImage& picture) {
                            return Difference(picture, keyFrame.at(second)) < 0.5;
                        },
                        [&](const QImage& picture) {
                            const double difference = Difference(picture, exact.at(second));
                            closest = std::min(closest, difference);
                            return difference < 0.5;
                        });
                    if (drawn.last < 0) {
                        missed.append(second);
                        closestMissed.append(closest);
                    } else {
                        firstPictures.push_back(drawn.first);
                        exactPictures.push_back(drawn.last);
                    }
                    Settle(playing ? 400 : 100);
                }
                const char* state = playing ? "playing" : "paused";
                if (oneStep) {
                    report(qPrintable(QStringLiteral("one exact seek, as before (%1)").arg(state)),
                           exactPictures, "-");
                } else {
                    report(
                        qPrintable(
                            QStringLiteral("seek on MouseUp (%1) to first new picture").arg(state)),
                        firstPictures, "<= 100 ms, max <= 250 ms");
                    report(qPrintable(
                               QStringLiteral("seek on MouseUp (%1) to exact picture").arg(state)),
                           exactPictures, "no slower than one exact seek");
                }
                for (int k = 0; k < missed.size(); ++k) {
                    std::printf("  a seek to %d s never showed that second's picture (closest "
                                "picture drawn %.2f from it, the key frame's %.2f from it)\n",
                                missed.at(k), closestMissed.at(k),
                                Difference(keyFrame.at(missed.at(k)), exact.at(missed.at(k))));
                }
            }
        }

        // Processor use of the whole program while the clip plays.
        Bench::ReportPlaying(
            "playing in the window", widget, frames, options.playSeconds,
            [&] {
                window.player->cmdStop_Click();
                window.player->cmdPlay_Click();
            },
            [&] { window.player->cmdStop_Click(); });
    }
    return 0;
}
