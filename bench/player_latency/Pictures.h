#pragma once

// Helpers of the preview benchmark: running the event loop, and telling which picture the
// video widget shows.

#include "preview/MpvVideoWidget.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <deque>
#include <functional>
#include <sys/resource.h>

namespace Bench {

inline double Milliseconds(const QElapsedTimer& clock) {
    return double(clock.nsecsElapsed()) / 1e6;
}

// Runs the event loop until `done` holds, at most `milliseconds`. The loop sleeps between
// events as the program's own loop does (a tick every millisecond looks at `done`): a loop
// that spun would take a core from mpv's decoding and make every figure worse than the
// user's.
template <typename Condition> inline bool RunUntil(Condition done, int milliseconds) {
    QElapsedTimer clock;
    clock.start();
    QTimer tick;
    tick.start(1);
    while (!done()) {
        if (clock.elapsed() > milliseconds) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Processor time of this whole program so far, user and system, in seconds.
inline double ProcessorSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec) + double(usage.ru_utime.tv_usec) / 1e6 +
           double(usage.ru_stime.tv_sec) + double(usage.ru_stime.tv_usec) / 1e6;
}

inline void Settle(int milliseconds) {
    RunUntil([] { return false; }, milliseconds);
}

// Keeps a copy of every frame the widget draws, read back from its framebuffer at the moment it
// is drawn (in the frame-drawn signal, while that framebuffer is bound), with the time it was
// drawn. A picture read back later may be another one: while the video plays, mpv hands out
// its next frame whenever the widget draws again, so a frame shown for one frame's time could
// be missed.
class FrameRecorder {
public:
    struct Frame {
        qint64 nanoseconds = 0; // on the recorder's clock
        QImage picture;
    };

    explicit FrameRecorder(MpvVideoWidget* widget) : widget_(widget) {
        clock_.start();
        connection_ = QObject::connect(
            widget, &MpvVideoWidget::FrameRendered, widget, [this] { Record(); },
            Qt::DirectConnection);
    }
    ~FrameRecorder() { QObject::disconnect(connection_); }
    FrameRecorder(const FrameRecorder&) = delete;
    FrameRecorder& operator=(const FrameRecorder&) = delete;

    // While off, nothing is read back (the processor use of playback is measured then).
    void SetRecording(bool on) { recording_ = on; }
    // The frames drawn since the last call, oldest first (at most the last 256).
    std::vector<Frame> Take() {
        std::vector<Frame> frames(pending_.begin(), pending_.end());
        pending_.clear();
        return frames;
    }
    // The last frame drawn while recording.
    QImage Last() const { return last_; }
    int Count() const { return count_; }
    // The time of a recorded frame in milliseconds on `clock`, which runs beside this one.
    double OnClock(const Frame& frame, const QElapsedTimer& clock) const {
        const qint64 offset = clock_.nsecsElapsed() - clock.nsecsElapsed();
        return double(frame.nanoseconds - offset) / 1e6;
    }

private:
    void Record() {
        ++count_;
        QOpenGLContext* context = QOpenGLContext::currentContext();
        if (!recording_ || context == nullptr) {
            return;
        }
        const qreal ratio = widget_->devicePixelRatioF();
        const int width = qRound(widget_->width() * ratio);
        const int height = qRound(widget_->height() * ratio);
        QImage picture(width, height, QImage::Format_RGBA8888);
        QOpenGLFunctions* gl = context->functions();
        gl->glBindFramebuffer(GL_FRAMEBUFFER, widget_->defaultFramebufferObject());
        gl->glPixelStorei(GL_PACK_ALIGNMENT, 4);
        gl->glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, picture.bits());
        // OpenGL counts rows from the bottom.
        last_ = picture.mirrored();
        pending_.push_back({clock_.nsecsElapsed(), last_});
        if (pending_.size() > 256) {
            pending_.pop_front();
        }
    }

    MpvVideoWidget* widget_;
    QMetaObject::Connection connection_;
    QElapsedTimer clock_;
    bool recording_ = true;
    int count_ = 0;
    QImage last_;
    std::deque<Frame> pending_;
};

// Lets the clip play for `seconds` (after one second to settle) and prints the share of one core
// the whole program used and the frames drawn a second. `play` starts playback; `stop` ends it.
// Nothing is recorded meanwhile.
inline void ReportPlaying(const char* what, MpvVideoWidget* widget, FrameRecorder& recorder,
                          double seconds, const std::function<void()>& play,
                          const std::function<void()>& stop) {
    recorder.SetRecording(false);
    play();
    Settle(1000);
    const int framesBefore = widget->FramesRendered();
    const double processorBefore = ProcessorSeconds();
    QElapsedTimer wall;
    wall.start();
    Settle(int(seconds * 1000));
    const double wallSeconds = double(wall.nsecsElapsed()) / 1e9;
    const double processor = ProcessorSeconds() - processorBefore;
    const int drawn = widget->FramesRendered() - framesBefore;
    stop();
    recorder.SetRecording(true);
    std::printf("  %s: %.0f %% of one core over %.1f s (%d cores here), %.1f frames drawn a "
                "second\n",
                what, 100.0 * processor / wallSeconds, wallSeconds, QThread::idealThreadCount(),
                drawn / wallSeconds);
}

// Runs the event loop until no frame has been drawn for `quiet` milliseconds (a paused seek is
// done), at most `limit` milliseconds.
inline void SettleUntilStill(FrameRecorder& frames, int quiet, int limit) {
    QElapsedTimer still;
    still.start();
    int seen = frames.Count();
    RunUntil(
        [&] {
            if (frames.Count() != seen) {
                seen = frames.Count();
                still.restart();
            }
            return still.elapsed() >= quiet;
        },
        limit);
    frames.Take();
}

// Milliseconds from the start of `clock` until the first picture that `first` takes and until
// the first that `last` takes (a picture `last` takes counts for both), each -1 after 10 s.
// Frames recorded before the call count too: take them before the clock starts.
struct TwoPictures {
    double first = -1;
    double last = -1;
};
inline TwoPictures FramesShowing(FrameRecorder& frames, const QElapsedTimer& clock,
                                 const std::function<bool(const QImage&)>& first,
                                 const std::function<bool(const QImage&)>& last) {
    TwoPictures found;
    RunUntil(
        [&] {
            for (const FrameRecorder::Frame& frame : frames.Take()) {
                if (found.last >= 0) {
                    break;
                }
                if (last(frame.picture)) {
                    found.last = frames.OnClock(frame, clock);
                }
                if (found.first < 0 && (found.last >= 0 || first(frame.picture))) {
                    found.first = frames.OnClock(frame, clock);
                }
            }
            return found.last >= 0;
        },
        10000);
    return found;
}

// Milliseconds from the start of `clock` until a frame is drawn whose picture `accept` takes, or
// -1 after 10 s, as FramesShowing.
inline double FrameShowing(FrameRecorder& frames, const QElapsedTimer& clock,
                           const std::function<bool(const QImage&)>& accept) {
    return FramesShowing(frames, clock, accept, accept).last;
}

// Mean difference of the colour channels of two pictures of the same size (0..255).
inline double Difference(const QImage& a, const QImage& b) {
    if (a.size() != b.size() || a.isNull()) {
        return 255;
    }
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    qint64 sum = 0;
    for (int row = 0; row < x.height(); row += 2) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int column = 0; column < x.width(); column += 2) {
            sum += qAbs(qRed(p[column]) - qRed(q[column])) +
                   qAbs(qGreen(p[column]) - qGreen(q[column])) +
                   qAbs(qBlue(p[column]) - qBlue(q[column]));
        }
    }
    return double(sum) / (3.0 * ((x.height() + 1) / 2) * ((x.width() + 1) / 2));
}

// Whether the middle of a picture is mostly the blue of the spacer clip.
inline bool MostlyBlue(const QImage& picture) {
    const QImage image = picture.convertToFormat(QImage::Format_RGB32);
    const QRect middle(image.width() / 3, 0, image.width() / 3, image.height());
    qint64 blue = 0;
    qint64 all = 0;
    for (int y = middle.top(); y <= middle.bottom(); y += 2) {
        for (int x = middle.left(); x <= middle.right(); x += 2) {
            const QRgb pixel = image.pixel(x, y);
            blue += qBlue(pixel) > 180 && qRed(pixel) < 60 && qGreen(pixel) < 60 ? 1 : 0;
            ++all;
        }
    }
    return blue * 2 > all;
}

} // namespace Bench
