#pragma once

#include "preview/Slider.h"

#include <QObject>
#include <QStringList>
#include <QTest>
#include <QWidget>
#include <memory>

// A shown window holding one slider at the top left, so that geometry changes and pointer events
// reach the control as they do in the program.
struct SliderHost {
    SliderHost(int width, int height, qint32 style = 0) {
        window.resize(400, 400);
        slider = new Slider(&window);
        if (style != 0) {
            slider->SetStyle(style);
        }
        slider->setGeometry(0, 0, width, height);
        window.show();
        exposed = QTest::qWaitForWindowExposed(&window);
    }
    QWidget window;
    Slider* slider = nullptr;
    bool exposed = false;
};

// Records the control's events in the order they are raised, with their arguments.
class SliderRecorder : public QObject {
public:
    explicit SliderRecorder(Slider* slider) {
        connect(slider, &Slider::DblClick, this,
                [this](qint32& Value) { events << QStringLiteral("DblClick(%1)").arg(Value); });
        connect(slider, &Slider::Scroll, this, [this] { events << QStringLiteral("Scroll"); });
        connect(slider, &Slider::Change, this, [this] { events << QStringLiteral("Change"); });
        connect(slider, &Slider::Click, this, [this] { events << QStringLiteral("Click"); });
        connect(
            slider, &Slider::MouseUp, this,
            [this](qint16& Button, qint16& Shift, double& X, double& Y) {
                events
                    << QStringLiteral("MouseUp(%1,%2,%3,%4)").arg(Button).arg(Shift).arg(X).arg(Y);
            });
    }
    QStringList events;
};

// Moves the pointer over the control without a button, as a user does before clicking (the
// offscreen platform only reports a move to a new position, so it first steps beside it).
inline bool Hover(Slider* slider, QPoint position) {
    QTest::mouseMove(slider, position + QPoint(position.x() > 1 ? -1 : 1, 0));
    QTest::mouseMove(slider, position);
    return slider->LastPointerX() == position.x() && slider->LastPointerY() == position.y();
}

// Presses the left button at `position` and makes one drag step there (the button stays held).
inline void DragTo(Slider* slider, QPoint position) {
    QTest::mousePress(slider, Qt::LeftButton, {}, position);
    QTest::mouseMove(slider, position);
}

// A double click as Qt delivers it: press, release, double-click, release.
inline void DoubleClick(Slider* slider, QPoint position, Qt::MouseButton button = Qt::LeftButton) {
    QTest::mousePress(slider, button, {}, position);
    QTest::mouseRelease(slider, button, {}, position);
    QTest::mouseDClick(slider, button, {}, position);
    QTest::mouseRelease(slider, button, {}, position);
}
