#pragma once

// Helpers of the preview benchmark: running the event loop, and telling which picture the
// video widget shows.

#include "preview/MpvVideoWidget.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QThread>

#include <cstdio>
#include <functional>
#include <sys/resource.h>

namespace Bench {

inline double Milliseconds(const QElapsedTimer& clock) {
    return double(clock.nsecsElapsed()) / 1e6;
}

template <typename Condition> inline bool RunUntil(Condition done, int milliseconds) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > milliseconds) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
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

// Lets the clip play for `seconds` (after one second to settle) and prints the share of one core
// the whole program used and the frames drawn a second. `play` starts playback; `stop` ends it.
inline void ReportPlaying(const char* what, MpvVideoWidget* widget, double seconds,
                          const std::function<void()>& play, const std::function<void()>& stop) {
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
    std::printf("  %s: %.0f %% of one core over %.1f s (%d cores here), %.1f frames drawn a "
                "second\n",
                what, 100.0 * processor / wallSeconds, wallSeconds, QThread::idealThreadCount(),
                drawn / wallSeconds);
}

// Runs the event loop until no frame has been drawn for `quiet` milliseconds (a paused seek is
// done), at most `limit` milliseconds.
inline void SettleUntilStill(MpvVideoWidget* widget, int quiet, int limit) {
    QElapsedTimer still;
    still.start();
    const QMetaObject::Connection connection =
        QObject::connect(widget, &MpvVideoWidget::FrameRendered, widget, [&] { still.restart(); });
    RunUntil([&] { return still.elapsed() >= quiet; }, limit);
    QObject::disconnect(connection);
}

// Milliseconds from the start of `clock` until a frame is drawn whose picture `accept` takes, or
// -1 after 10 s. The picture is read back after each new frame; its time is that of the last
// frame drawn before the read (the read itself may draw a newer one, which it then shows).
inline double FrameShowing(MpvVideoWidget* widget, const QElapsedTimer& clock,
                           const std::function<bool(const QImage&)>& accept) {
    double latest = -1;
    int frames = 0;
    const QMetaObject::Connection connection =
        QObject::connect(widget, &MpvVideoWidget::FrameRendered, widget, [&] {
            latest = Milliseconds(clock);
            ++frames;
        });
    int checked = 0;
    double found = -1;
    RunUntil(
        [&] {
            if (frames != checked) {
                const QImage picture = widget->grabFramebuffer();
                checked = frames;
                if (accept(picture)) {
                    found = latest;
                }
            }
            return found >= 0;
        },
        10000);
    QObject::disconnect(connection);
    return found;
}

// Milliseconds from the start of `clock` until the first picture that `first` takes and until
// the first that `last` takes (a picture `last` takes counts for both), each -1 after 10 s.
// Pictures are read back as in FrameShowing.
struct TwoPictures {
    double first = -1;
    double last = -1;
};
inline TwoPictures FramesShowing(MpvVideoWidget* widget, const QElapsedTimer& clock,
                                 const std::function<bool(const QImage&)>& first,
                                 const std::function<bool(const QImage&)>& last) {
    TwoPictures found;
    double latest = -1;
    int frames = 0;
    const QMetaObject::Connection connection =
        QObject::connect(widget, &MpvVideoWidget::FrameRendered, widget, [&] {
            latest = Milliseconds(clock);
            ++frames;
        });
    int checked = 0;
    RunUntil(
        [&] {
            if (frames != checked) {
                const QImage picture = widget->grabFramebuffer();
                checked = frames;
                if (last(picture)) {
                    found.last = latest;
                }
                if (found.first < 0 && (found.last >= 0 || first(picture))) {
                    found.first = latest;
                }
            }
            return found.last >= 0;
        },
        10000);
    QObject::disconnect(connection);
    return found;
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
