#include "app/AfterFirstPaint.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

AfterFirstPaint::AfterFirstPaint(QWidget* widget, std::function<void()> job)
    : QObject(widget), widget_(widget), job_(std::move(job)) {
    widget_->installEventFilter(this);
}

bool AfterFirstPaint::eventFilter(QObject* watched, QEvent* event) {
    if (watched == widget_ && event->type() == QEvent::Paint) {
        widget_->removeEventFilter(this);
        // After the paint and whatever else is waiting: the picture reaches the screen first.
        QTimer::singleShot(0, this, [this] {
            const std::function<void()> job = std::move(job_);
            deleteLater();
            if (job) {
                job();
            }
        });
    }
    return QObject::eventFilter(watched, event);
}
