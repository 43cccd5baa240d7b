#include "app/CloserLook.h"

#include "app/MainPanel.h"
#include "preview/Slider.h"

#include <QEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QWidget>
#include <utility>

CloserLook::CloserLook(QWidget* window, MainPanel* frMain, std::function<bool()> canEnter,
                       QObject* parent)
    : QObject(parent), window_(window), frMain_(frMain), picture_(frMain->picVideoWindow),
      canEnter_(std::move(canEnter)) {
    picture_->installEventFilter(this);
    window_->installEventFilter(this);
}

void CloserLook::Enter() {
    if (active_ || (canEnter_ && !canEnter_())) {
        return;
    }
    active_ = true;
    normalGeometry_ = window_->geometry();
    frMain_->SetCloserLook(true);
    window_->setMinimumSize(0, 0);
    window_->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    window_->showFullScreen();
    // Where no window manager carries out the full-screen state, the window takes the screen
    // itself.
    if (QScreen* screen = window_->screen(); screen != nullptr) {
        window_->setGeometry(screen->geometry());
    }
    frMain_->setGeometry(0, 0, window_->width(), window_->height());
    frMain_->Slider->setFocus(Qt::OtherFocusReason);
    Q_EMIT ActiveChanged(true);
}

void CloserLook::Leave() {
    if (!active_) {
        return;
    }
    active_ = false;
    window_->showNormal();
    frMain_->SetCloserLook(false);
    frMain_->move(0, 0);
    window_->setFixedSize(frMain_->size());
    if (normalGeometry_.isValid()) {
        window_->move(normalGeometry_.topLeft());
    }
    Q_EMIT ActiveChanged(false);
}

void CloserLook::Toggle() {
    if (active_) {
        Leave();
    } else {
        Enter();
    }
}

bool CloserLook::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window_) {
        if (event->type() == QEvent::Resize && active_) {
            frMain_->setGeometry(0, 0, window_->width(), window_->height());
        }
        return false;
    }
    if (watched != picture_) {
        return false;
    }
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
        // No move of the window from the picture.
        return static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
    case QEvent::MouseButtonDblClick:
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            Toggle();
            return true;
        }
        return false;
    default:
        return false;
    }
}
