// Preview latency and load: how long from RenderFile until the first frame of the file is drawn,
// how long a seek to a whole second takes until its frame is drawn, and how much processor time
// the whole program uses while a 1080p clip plays; first through the main window's preview
// player (LoadVideo, seek on the slider's mouse release: the first new picture and the exact
// one), then on the bare engine. Makes its own
// clips with ffmpeg (libx264).
//
//   bench_player_latency [--loads N] [--seeks N] [--play S] [--area WxH] [--keep]
//                        [--engine-only | --window-only]
//
// Needs an X display with OpenGL (Xvfb with Mesa will do; bench/player_latency/run starts one).

#include "bench/player_latency/Pictures.h"
#include "bench/player_latency/WindowLatency.h"
#include "preview/MpvEngine.h"
#include "preview/MpvVideoWidget.h"
#include "tests/support/TestSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QWidget>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <vector>

namespace {

struct Options {
    int loads = 9;
    int seeks = 18;
    double playSeconds = 6.0;
    QSize area{704, 396};
    bool keep = false;
    bool engine = true;
    bool window = true;
};

double Median(std::vector<double> values) {
    if (values.empty()) {
        return -1;
    }
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

double Max(const std::vector<double>& values) {
    return values.empty() ? -1 : *std::max_element(values.begin(), values.end());
}

using Bench::RunUntil;
using Bench::Settle;

// Times from the start of an operation to the next new video frame drawn after Arm(), and
// remembers the last frame drawn, so that a later frame (the first was a redraw of the previous
// picture) shows up.
class FrameClock {
public:
    explicit FrameClock(MpvVideoWidget* widget) {
        QObject::connect(widget, &MpvVideoWidget::FrameRendered, widget, [this] {
            const double now = double(clock_.nsecsElapsed()) / 1e6;
            if (armed_) {
                if (first_ < 0) {
                    first_ = now;
                }
                last_ = now;
            }
        });
    }
    void Start() {
        armed_ = false;
        first_ = -1;
        last_ = -1;
        clock_.start();
    }
    void Arm() { armed_ = true; }
    double SinceStart() const { return double(clock_.nsecsElapsed()) / 1e6; }
    // Milliseconds from Start to the first frame after Arm, or -1.
    double WaitForFrame() {
        RunUntil([this] { return first_ >= 0; }, 10000);
        return first_;
    }
    double Last() const { return last_; }

private:
    QElapsedTimer clock_;
    bool armed_ = false;
    double first_ = -1;
    double last_ = -1;
};

struct Clip {
    QString name;
    QString path;
};

bool MakeClip(const QString& path, const QStringList& videoOptions) {
    QStringList arguments{QStringLiteral("-f"),
                          QStringLiteral("lavfi"),
                          QStringLiteral("-i"),
                          QStringLiteral("testsrc2=size=1920x1080:rate=25:duration=10"),
                          QStringLiteral("-f"),
                          QStringLiteral("lavfi"),
                          QStringLiteral("-i"),
                          QStringLiteral("sine=frequency=440:sample_rate=48000:duration=10"),
                          QStringLiteral("-c:v"),
                          QStringLiteral("libx264"),
                          QStringLiteral("-pix_fmt"),
                          QStringLiteral("yuv420p")};
    arguments += videoOptions;
    arguments += {QStringLiteral("-c:a"), QStringLiteral("aac"), QStringLiteral("-shortest"), path};
    QString error;
    if (!TestSupport::RunFfmpeg(arguments, &error)) {
        std::fprintf(stderr, "ffmpeg failed: %s\n", qPrintable(error));
        return false;
    }
    return true;
}

void Report(const char* what, const std::vector<double>& values, const char* target) {
    std::printf("  %-46s median %7.1f ms  max %7.1f ms  (n=%zu)  target %s\n", what, Median(values),
                Max(values), values.size(), target);
}

int Measure(const Options& options, const QList<Clip>& clips) {
    QWidget window;
    window.setWindowTitle(QStringLiteral("player latency"));
    window.resize(options.area + QSize(24, 24));
    auto* area = new QWidget(&window);
    area->setGeometry(QRect(QPoint(12, 12), options.area));
    MpvEngine engine;
    if (!engine.IsValid() || engine.PutOwner(area) != EngineResult::Ok) {
        std::fprintf(stderr, "libmpv did not start\n");
        return 1;
    }
    window.show();
    MpvVideoWidget* widget = engine.VideoWidget();
    if (!RunUntil([widget] { return widget->HasRenderContext(); }, 10000)) {
        std::fprintf(stderr, "no OpenGL render context\n");
        return 1;
    }
    FrameClock frames(widget);
    Bench::FrameRecorder recorder(widget);

    for (const Clip& clip : clips) {
        std::printf("%s (%s)\n", qPrintable(clip.name), qPrintable(clip.path));
        std::vector<double> renderFile;
        std::vector<double> firstFrame;
        int redrawn = 0;
        for (int i = 0; i < options.loads; ++i) {
            engine.Stop();
            Settle(300);
            frames.Start();
            // The engine waits for the file's duration and sound track, and draws meanwhile:
            // the first frame may come before RenderFile returns. The old file is paused, so
            // what is drawn is the new file's (the last frame drawn is counted below).
            frames.Arm();
            if (engine.RenderFile(clip.path) != EngineResult::Ok) {
                std::fprintf(stderr, "RenderFile failed\n");
                return 1;
            }
            renderFile.push_back(frames.SinceStart());
            const double drawn = frames.WaitForFrame();
            if (drawn < 0) {
                std::fprintf(stderr, "no frame drawn after loading\n");
                return 1;
            }
            // Paused: nothing more is drawn unless the first frame was not the file's own.
            Settle(300);
            if (frames.Last() > drawn) {
                ++redrawn;
            }
            firstFrame.push_back(frames.Last());
        }
        Report("RenderFile returns", renderFile, "-");
        Report("RenderFile to first frame drawn", firstFrame, "<= 200 ms");
        if (redrawn > 0) {
            std::printf("  %d loads drew more than one frame; the last one is counted\n", redrawn);
        }

        // Seeks while paused, to whole seconds in a scattered order. mpv may draw the picture
        // it shows again before the sought frame is ready: a seek is done when the picture is
        // that of its second, taken first long after a seek to it.
        QList<QImage> reference(10);
        for (int second = 1; second <= 9; ++second) {
            engine.PutCurrentPosition(second);
            Settle(300);
            Bench::SettleUntilStill(recorder, 2000, 10000);
            reference[second] = recorder.Last();
        }
        std::vector<double> seeks;
        int missed = 0;
        for (int i = 0; i < options.seeks; ++i) {
            const int second = 1 + (i * 7) % 9;
            recorder.Take();
            QElapsedTimer clock;
            clock.start();
            engine.PutCurrentPosition(second);
            const double drawn = Bench::FrameShowing(recorder, clock, [&](const QImage& picture) {
                return Bench::Difference(picture, reference.at(second)) < 0.5;
            });
            if (drawn < 0) {
                ++missed;
            } else {
                seeks.push_back(drawn);
            }
            Settle(50);
        }
        Report("seek (paused) to its frame drawn", seeks, "<= 100 ms");
        if (missed > 0) {
            std::printf("  %d seeks never showed their second's picture\n", missed);
        }

        // Processor use of the whole program while the clip plays.
        Bench::ReportPlaying(
            "playing", widget, recorder, options.playSeconds,
            [&] {
                engine.PutCurrentPosition(0);
                engine.Run();
            },
            [&] { engine.Pause(); });
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    Options options;
    const QStringList arguments = QCoreApplication::arguments();
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        const QString value = i + 1 < arguments.size() ? arguments.at(i + 1) : QString();
        if (argument == QLatin1String("--loads")) {
            options.loads = value.toInt();
            ++i;
        } else if (argument == QLatin1String("--seeks")) {
            options.seeks = value.toInt();
            ++i;
        } else if (argument == QLatin1String("--play")) {
            options.playSeconds = value.toDouble();
            ++i;
        } else if (argument == QLatin1String("--area")) {
            const QStringList size = value.split(QLatin1Char('x'));
            if (size.size() == 2) {
                options.area = QSize(size.at(0).toInt(), size.at(1).toInt());
            }
            ++i;
        } else if (argument == QLatin1String("--keep")) {
            options.keep = true;
        } else if (argument == QLatin1String("--engine-only")) {
            options.window = false;
        } else if (argument == QLatin1String("--window-only")) {
            options.engine = false;
        } else {
            std::fprintf(stderr, "usage: bench_player_latency [--loads N] [--seeks N] [--play S] "
                                 "[--area WxH] [--keep] [--engine-only | --window-only]\n");
            return 2;
        }
    }

    QTemporaryDir folder;
    folder.setAutoRemove(!options.keep);
    // The encoder's usual keyframe distance (250 frames: one keyframe in 10 s) and one
    // keyframe a second.
    const QList<Clip> clips{
        {QStringLiteral("1080p H.264, keyframe every 250 frames"),
         folder.filePath(QStringLiteral("gop250.mp4"))},
        {QStringLiteral("1080p H.264, keyframe every 25 frames"),
         folder.filePath(QStringLiteral("gop25.mp4"))},
    };
    std::printf("making clips...\n");
    std::fflush(stdout);
    if (!MakeClip(clips.at(0).path, {}) ||
        !MakeClip(clips.at(1).path, {QStringLiteral("-g"), QStringLiteral("25")})) {
        return 1;
    }
    std::printf("video area %dx%d, %d loads, %d seeks, %.0f s of playback per clip\n",
                options.area.width(), options.area.height(), options.loads, options.seeks,
                options.playSeconds);
    // The window first: its first load is the program's first, before any engine has chosen
    // its sound output or drawn a picture.
    if (options.window) {
        QList<WindowClip> windowClips;
        for (const Clip& clip : clips) {
            windowClips.append({clip.name, clip.path});
        }
        if (MeasureWindow({options.loads, options.seeks, options.playSeconds}, windowClips,
                          &Report) != 0) {
            return 1;
        }
    }
    return options.engine ? Measure(options, clips) : 0;
}
