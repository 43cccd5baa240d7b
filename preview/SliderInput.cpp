#include "preview/Slider.h"

#include "engine/HandlerGuard.h"
#include "preview/SliderMath.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <exception>

namespace {

// Buttons and shift state as the host reports them: 1 left, 2 right, 4 middle; 1 shift, 2 ctrl,
// 4 alt. Other buttons are not reported (0).
qint16 ButtonCode(Qt::MouseButton button) {
    switch (button) {
    case Qt::LeftButton:
        return 1;
    case Qt::RightButton:
        return 2;
    case Qt::MiddleButton:
        return 4;
    default:
        return 0;
    }
}

qint16 ShiftCode(Qt::KeyboardModifiers modifiers) {
    qint16 code = 0;
    if (modifiers & Qt::ShiftModifier) {
        code |= 1;
    }
    if (modifiers & Qt::ControlModifier) {
        code |= 2;
    }
    if (modifiers & Qt::AltModifier) {
        code |= 4;
    }
    return code;
}

// The key codes the control knows: 37 left arrow, 39 right arrow (one step), 33 page up and
// 34 page down (ten steps), 36 home and 35 end (Min and Max).
int KeyCode(int qtKey) {
    switch (qtKey) {
    case Qt::Key_Left:
        return 37;
    case Qt::Key_Right:
        return 39;
    case Qt::Key_PageUp:
        return 33;
    case Qt::Key_PageDown:
        return 34;
    case Qt::Key_Home:
        return 36;
    case Qt::Key_End:
        return 35;
    default:
        return 0;
    }
}

bool CountsAsClick(Qt::MouseButton button) {
    return button == Qt::LeftButton || button == Qt::RightButton;
}

} // namespace

void Slider::Guarded(const char* what, const std::function<void()>& step) {
    RunGuarded(step, [what](const std::exception* error) {
        if (error != nullptr) {
            qWarning("Slider: %s abandoned: %s", what, error->what());
        } else {
            qWarning("Slider: %s abandoned after an unknown error", what);
        }
    });
}

// One pointer step: the value from the position, then the position held within the track and the
// handle centred on it. The corrected position is written back.
void Slider::TrackPointer(double& x, double& y) {
    const qint32 range = SliderMath::Subtract(max_, min_);
    if (style_ == 0) {
        const double length = width() - SliderGeometry::UnusedLength;
        const double f = (x - SliderGeometry::PointerOrigin) / length * range;
        // Min + v taken exactly (no 32-bit step here), so a pointer far beyond either end simply
        // gives that end after the clamp below.
        value_ = SliderMath::Saturate(double(min_) + RoundHalfEven(f), min_);
        if (x < SliderGeometry::PointerFirst) {
            x = SliderGeometry::PointerFirst;
        }
        if (x > width() - SliderGeometry::PointerEndMargin) {
            x = width() - SliderGeometry::PointerEndMargin;
        }
        handleOffset_ = x - SliderGeometry::HalfHandle;
    } else {
        const double length = height() - SliderGeometry::UnusedLength;
        const double f = (y - SliderGeometry::PointerOrigin) / length * range;
        const qint32 v = SliderMath::Round(f);
        value_ = SliderMath::Subtract(SliderMath::Add(min_, max_), SliderMath::Add(min_, v));
        if (y < SliderGeometry::PointerFirst) {
            y = SliderGeometry::PointerFirst;
        }
        if (y > height() - SliderGeometry::PointerEndMargin) {
            y = height() - SliderGeometry::PointerEndMargin;
        }
        handleOffset_ = height() - (y - SliderGeometry::HalfHandle) - 4.0;
    }
    freeHandle_ = true;
    ClampValue();
    Redraw();
    emit Scroll();
    emit Change();
}

void Slider::ClickJump() {
    if (enabled_) {
        TrackPointer(lastPointerX_, lastPointerY_);
    }
    emit DblClick(value_);
}

void Slider::KeyDown(int KeyCode) {
    const qint32 before = value_;
    if (KeyCode == 37) {
        value_ = SliderMath::Subtract(value_, 1);
    } else if (KeyCode == 39) {
        value_ = SliderMath::Add(value_, 1);
    } else if (KeyCode == 33) {
        value_ = SliderMath::Saturate(double(value_) + PageStep, value_);
    } else if (KeyCode == 34) {
        value_ = SliderMath::Saturate(double(value_) - PageStep, value_);
    } else if (KeyCode == 36) {
        value_ = min_;
    } else if (KeyCode == 35) {
        value_ = max_;
    }
    ClampValue();
    freeHandle_ = false;
    Redraw();
    emit Change();
    emit Scroll();
    if (value_ != before) {
        emit KeyMoved(value_);
    }
}

void Slider::mouseMoveEvent(QMouseEvent* event) {
    double x = event->position().x();
    double y = event->position().y();
    const Qt::MouseButtons held =
        event->buttons() & (Qt::LeftButton | Qt::RightButton | Qt::MiddleButton);
    if (held == Qt::LeftButton && enabled_) {
        Guarded("pointer move", [&] { TrackPointer(x, y); });
    }
    lastPointerX_ = x;
    lastPointerY_ = y;
}

// A press changes nothing; it only marks the start of what may become a click. A press while no
// other button is held starts afresh, so a release lost to another window cannot stop clicks.
void Slider::mousePressEvent(QMouseEvent* event) {
    const Qt::MouseButton button = event->button();
    if (ButtonCode(button) == 0) {
        return;
    }
    if (pressState_ == PressState::None || event->buttons() == button) {
        pressState_ = PressState::Pressed;
        pressButton_ = button;
    }
}

void Slider::mouseReleaseEvent(QMouseEvent* event) {
    const Qt::MouseButton button = event->button();
    qint16 Button = ButtonCode(button);
    if (Button == 0) {
        return;
    }
    qint16 Shift = ShiftCode(event->modifiers());
    double X = event->position().x();
    double Y = event->position().y();
    const bool over = X >= 0.0 && X < width() && Y >= 0.0 && Y < height();
    const bool click = pressState_ == PressState::Pressed && button == pressButton_ &&
                       CountsAsClick(button) && over;
    if (button == pressButton_) {
        pressState_ = PressState::None;
        pressButton_ = Qt::NoButton;
    }
    Guarded("pointer release", [&] { emit MouseUp(Button, Shift, X, Y); });
    if (click) {
        Guarded("click", [&] {
            emit Click();
            ClickJump();
        });
    }
}

// Qt reports the second press of a double click as a double-click; the release after it is no
// click of its own.
void Slider::mouseDoubleClickEvent(QMouseEvent* event) {
    const Qt::MouseButton button = event->button();
    if (!CountsAsClick(button)) {
        mousePressEvent(event);
        return;
    }
    pressState_ = PressState::DoubleClicked;
    pressButton_ = button;
    Guarded("double-click", [&] { ClickJump(); });
}

void Slider::PressKey(int qtKey) {
    const int code = KeyCode(qtKey);
    Guarded("key press", [&] { KeyDown(code); });
}

void Slider::keyPressEvent(QKeyEvent* event) {
    const int code = KeyCode(event->key());
    Guarded("key press", [&] { KeyDown(code); });
    // A key the control does not move by goes on to the window (its shortcuts).
    if (code != 0) {
        event->accept();
    } else {
        event->ignore();
    }
}
