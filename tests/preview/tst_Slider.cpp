#include "SliderTestHelpers.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QWindow>
#include <limits>
#include <stdexcept>

namespace {
constexpr qint32 Int32Max = std::numeric_limits<qint32>::max();
constexpr qint32 Int32Min = std::numeric_limits<qint32>::min();
} // namespace

class tst_Slider : public QObject {
    Q_OBJECT

private slots:
    void newControlHasItsInitialState() {
        SliderHost host(300, 20);
        Slider* s = host.slider;
        QCOMPARE(s->Value(), 50);
        QCOMPARE(s->Max(), 100);
        QCOMPARE(s->Min(), -100);
        QCOMPARE(s->Style(), 0);
        QCOMPARE(s->BackColor(), 0);
        QCOMPARE(s->ForeColor(), 51400);
        QCOMPARE(s->ForeColor2(), 200);
        QVERIFY(s->Enabled());
        QVERIFY(!s->Snap());
        QCOMPARE(s->SelectStart(), 0);
        QCOMPARE(s->SelectEnd(), 0);
        QVERIFY(!s->FreeHandle());
        QCOMPARE(s->ForeRGB().Green, 200.0);
        QCOMPARE(s->Fore2RGB().Red, 200.0);
        QCOMPARE(s->LastPointerX(), 0.0);
        QVERIFY(s->hasMouseTracking());
        QVERIFY(s->focusPolicy() & Qt::TabFocus);
        QVERIFY(s->focusPolicy() & Qt::ClickFocus);
    }

    void settersAdjustTheBoundsAndTheValue() {
        SliderHost host(300, 20);
        Slider* s = host.slider;
        s->SetMin(0);
        s->SetMax(0);
        QCOMPARE(s->Max(), 1);
        QCOMPARE(s->Value(), 1);
        s->SetMax(10);
        s->SetValue(5);
        s->SetMin(10);
        QCOMPARE(s->Min(), 9);
        QCOMPARE(s->Value(), 9);
        s->SetValue(-3);
        QCOMPARE(s->Value(), 9);
        s->SetValue(1000);
        QCOMPARE(s->Value(), 10);
        // The selection is kept as assigned, reversed and outside the range alike.
        s->SetSelectStart(40);
        s->SetSelectEnd(-10);
        QCOMPARE(s->SelectStart(), 40);
        QCOMPARE(s->SelectEnd(), -10);
        s->SetForeColor(0x123456);
        QCOMPARE(s->ForeRGB().Red, double(0x56));
        QCOMPARE(s->ForeRGB().Green, double(0x34));
        QCOMPARE(s->ForeRGB().Blue, double(0x12));
    }

    void everyValueSetterRaisesChangeOnceAndPinsTheHandle() {
        SliderHost host(300, 20);
        Slider* s = host.slider;
        SliderRecorder recorder(s);
        DragTo(s, QPoint(100, 10));
        QTest::mouseRelease(s, Qt::LeftButton, {}, QPoint(100, 10));
        QVERIFY(s->FreeHandle());
        recorder.events.clear();

        const std::function<void()> setters[] = {
            [&] { s->SetValue(s->Value()); }, [&] { s->SetMax(100); },
            [&] { s->SetMin(-100); },         [&] { s->SetSelectStart(3); },
            [&] { s->SetSelectEnd(4); },      [&] { s->SetBackColor(0); },
            [&] { s->SetForeColor(1); },      [&] { s->SetForeColor2(2); }};
        for (const auto& setter : setters) {
            DragTo(s, QPoint(120, 10));
            QTest::mouseRelease(s, Qt::LeftButton, {}, QPoint(500, 10)); // outside: no click
            recorder.events.clear();
            setter();
            QCOMPARE(recorder.events, QStringList{QStringLiteral("Change")});
            QVERIFY(!s->FreeHandle());
        }
        // Enabled and Snap only store; Style repaints without an event.
        DragTo(s, QPoint(120, 10));
        QTest::mouseRelease(s, Qt::LeftButton, {}, QPoint(500, 10));
        recorder.events.clear();
        s->SetSnap(true);
        s->SetEnabled(false);
        QVERIFY(s->FreeHandle());
        QVERIFY(s->isEnabled()); // the widget itself stays enabled
        s->SetStyle(0);
        QVERIFY(!s->FreeHandle());
        QVERIFY(recorder.events.isEmpty());
    }

    void overflowInASetterIsThrownWithTheFieldsKept() {
        SliderHost host(300, 20);
        Slider* s = host.slider;
        SliderRecorder recorder(s);
        // Max - Min no longer fits: the setter stores, then its repaint fails.
        QVERIFY_THROWS_EXCEPTION(std::overflow_error, s->SetMax(Int32Max));
        QCOMPARE(s->Max(), Int32Max);
        QCOMPARE(s->Min(), -100);
        QVERIFY(recorder.events.isEmpty());
        s->SetMin(0);
        QCOMPARE(s->Min(), 0);
        QCOMPARE(recorder.events, QStringList{QStringLiteral("Change")});
        QVERIFY_THROWS_EXCEPTION(std::overflow_error, s->SetMin(Int32Min));
        QCOMPARE(s->Min(), Int32Min);
    }

    void overflowInInputAbandonsTheStep() {
        SliderHost host(300, 20);
        Slider* s = host.slider;
        s->SetMin(0);
        s->SetMax(Int32Max);
        s->SetMin(Int32Max - 10);
        s->SetValue(Int32Max);
        SliderRecorder recorder(s);
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral("key press abandoned")));
        QTest::keyClick(s, Qt::Key_Right);
        QCOMPARE(s->Value(), Int32Max);
        QVERIFY(recorder.events.isEmpty());
        QTest::keyClick(s, Qt::Key_Left);
        QCOMPARE(s->Value(), Int32Max - 1);

        // Horizontal: a pointer far beyond the ends of a huge range gives that end.
        s->SetMin(0);
        s->SetValue(1000);
        DragTo(s, QPoint(-100000, 10));
        QCOMPARE(s->Value(), 0);
        QTest::mouseMove(s, QPoint(1000000, 10));
        QCOMPARE(s->Value(), Int32Max);
        QTest::mouseRelease(s, Qt::LeftButton, {}, QPoint(1000000, 10));

        // Vertical: Min + Max does not fit, so a drag step cannot place the value.
        SliderHost tall(20, 300, 1);
        Slider* v = tall.slider;
        v->SetMin(0);
        v->SetMax(Int32Max);
        v->SetMin(1 << 30);
        v->SetValue(Int32Max - 5);
        SliderRecorder verticalRecorder(v);
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral("pointer move abandoned")));
        DragTo(v, QPoint(10, 150));
        QTest::mouseRelease(v, Qt::LeftButton, {}, QPoint(500, 150));
        QCOMPARE(v->Value(), Int32Max - 5);
        QCOMPARE(v->LastPointerY(), 150.0);
        QCOMPARE(verticalRecorder.events, QStringList{QStringLiteral("MouseUp(1,0,500,150)")});
    }

    void clickRaisesMouseUpClickScrollChangeDblClick() {
        SliderHost host(300, 20);
        Slider* s = host.slider;
        s->SetMin(0);
        s->SetMax(128);
        SliderRecorder recorder(s);
        QVERIFY(Hover(s, QPoint(147, 10)));
        QTest::mouseClick(s, Qt::LeftButton, Qt::ShiftModifier | Qt::AltModifier, QPoint(147, 10));
        QCOMPARE(recorder.events,
                 (QStringList{"MouseUp(1,5,147,10)", "Click", "Scroll", "Change", "DblClick(64)"}));
        QCOMPARE(s->Value(), 64);
        QVERIFY(s->FreeHandle());
        QCOMPARE(s->HandleOffset(), 137.5);
    }

    void dragRaisesScrollAndChangeForEachMove() {
        SliderHost host(300, 20);
        Slider* s = host.slider;
        s->SetMin(0);
        s->SetMax(128);
        SliderRecorder recorder(s);
        QTest::mousePress(s, Qt::LeftButton, {}, QPoint(100, 10));
        QVERIFY(recorder.events.isEmpty()); // a press is not handled
        QTest::mouseMove(s, QPoint(147, 10));
        QCOMPARE(s->Value(), 64);
        QTest::mouseMove(s, QPoint(5, 10));
        QCOMPARE(s->Value(), 0);
        QCOMPARE(s->LastPointerX(), 19.5); // the corrected position is kept
        QTest::mouseRelease(s, Qt::LeftButton, Qt::ControlModifier, QPoint(5, 10));
        // The click-jump after the release starts from the corrected 19.5 (f = 0.25).
        QCOMPARE(recorder.events,
                 (QStringList{"Scroll", "Change", "Scroll", "Change", "MouseUp(1,2,5,10)", "Click",
                              "Scroll", "Change", "DblClick(0)"}));

        // A drag that ends outside the control is no click.
        recorder.events.clear();
        DragTo(s, QPoint(147, 10));
        QTest::mouseRelease(s, Qt::LeftButton, {}, QPoint(147, 40));
        QCOMPARE(recorder.events, (QStringList{"Scroll", "Change", "MouseUp(1,0,147,40)"}));
    }

    void doubleClickRaisesTheClassicSequence() {
        SliderHost host(300, 20);
        Slider* s = host.slider;
        s->SetMin(0);
        s->SetMax(128);
        QVERIFY(Hover(s, QPoint(275, 10)));
        SliderRecorder recorder(s);
        DoubleClick(s, QPoint(275, 10));
        // The second jump starts from the position the first one corrected (276.5 -> W - 23.5).
        QCOMPARE(recorder.events,
                 (QStringList{"MouseUp(1,0,275,10)", "Click", "Scroll", "Change", "DblClick(128)",
                              "Scroll", "Change", "DblClick(128)", "MouseUp(1,0,275,10)"}));
    }

    // The same through the window system, where Qt itself turns the second press into the
    // double-click: the sequence must not depend on how the toolkit delivers it.
    void doubleClickThroughTheWindowSystem() {
        SliderHost host(300, 20);
        Slider* s = host.slider;
        s->SetMin(0);
        s->SetMax(128);
        QWindow* window = host.window.windowHandle();
        QTest::mouseMove(window, QPoint(147, 10));
        QCOMPARE(s->LastPointerX(), 147.0);
        SliderRecorder recorder(s);
        QTest::mouseDClick(window, Qt::LeftButton, {}, QPoint(147, 10));
        QCOMPARE(recorder.events,
                 (QStringList{"MouseUp(1,0,147,10)", "Click", "Scroll", "Change", "DblClick(64)",
                              "Scroll", "Change", "DblClick(64)", "MouseUp(1,0,147,10)"}));
    }

    void keysStepByOneAndAlwaysRaiseChangeThenScroll() {
        SliderHost host(300, 20);
        Slider* s = host.slider;
        SliderRecorder recorder(s);
        DragTo(s, QPoint(100, 10));
        QTest::mouseRelease(s, Qt::LeftButton, {}, QPoint(500, 10));
        const qint32 start = s->Value();
        recorder.events.clear();
        QTest::keyClick(s, Qt::Key_Right);
        QCOMPARE(s->Value(), start + 1);
        QVERIFY(!s->FreeHandle());
        QTest::keyClick(s, Qt::Key_Left, Qt::ShiftModifier);
        QTest::keyClick(s, Qt::Key_Left);
        QCOMPARE(s->Value(), start - 1);
        QTest::keyClick(s, Qt::Key_Up);
        QTest::keyClick(s, Qt::Key_A);
        QCOMPARE(s->Value(), start - 1);
        // Six key presses: the Shift key itself is one too.
        QCOMPARE(recorder.events.size(), 12);
        for (int i = 0; i < 12; i += 2) {
            QCOMPARE(recorder.events.mid(i, 2), (QStringList{"Change", "Scroll"}));
        }
        s->SetValue(100);
        recorder.events.clear();
        QTest::keyClick(s, Qt::Key_Right);
        QCOMPARE(s->Value(), 100);
        QCOMPARE(recorder.events, (QStringList{"Change", "Scroll"}));
    }

    void disabledControlIgnoresThePointerButNotKeysOrEvents() {
        SliderHost host(300, 20);
        Slider* s = host.slider;
        s->SetEnabled(false);
        SliderRecorder recorder(s);
        DragTo(s, QPoint(250, 10));
        QTest::mouseRelease(s, Qt::LeftButton, {}, QPoint(250, 10));
        QCOMPARE(s->Value(), 50);
        QCOMPARE(recorder.events, (QStringList{"MouseUp(1,0,250,10)", "Click", "DblClick(50)"}));
        recorder.events.clear();
        DoubleClick(s, QPoint(30, 10));
        QCOMPARE(recorder.events, (QStringList{"MouseUp(1,0,30,10)", "Click", "DblClick(50)",
                                               "DblClick(50)", "MouseUp(1,0,30,10)"}));
        QTest::keyClick(s, Qt::Key_Right);
        QCOMPARE(s->Value(), 51);
        QCOMPARE(s->LastPointerX(), 250.0);
    }

    void otherButtonsDoNotDrag() {
        SliderHost host(300, 20);
        Slider* s = host.slider;
        SliderRecorder recorder(s);
        QTest::mousePress(s, Qt::RightButton, {}, QPoint(30, 10));
        QTest::mouseMove(s, QPoint(250, 10));
        QCOMPARE(s->Value(), 50);
        QCOMPARE(s->LastPointerX(), 250.0);
        // Left and right together do not drag either.
        QTest::mousePress(s, Qt::LeftButton, {}, QPoint(250, 10));
        QTest::mouseMove(s, QPoint(260, 10));
        QCOMPARE(s->Value(), 50);
        QTest::mouseRelease(s, Qt::LeftButton, {}, QPoint(260, 10));
        QTest::mouseRelease(s, Qt::RightButton, {}, QPoint(260, 10));
        QCOMPARE(recorder.events.first(), QStringLiteral("MouseUp(1,0,260,10)"));
        // The right button's release over the control counts as a click, which jumps.
        QCOMPARE(recorder.events.mid(1),
                 (QStringList{"MouseUp(2,0,260,10)", "Click", "Scroll", "Change",
                              QStringLiteral("DblClick(%1)").arg(s->Value())}));
        QVERIFY(s->Value() > 50);
        // The middle button is reported but is no click.
        recorder.events.clear();
        QTest::mouseClick(s, Qt::MiddleButton, {}, QPoint(40, 10));
        QCOMPARE(recorder.events, QStringList{"MouseUp(4,0,40,10)"});
    }

    void clickBeforeAnyPointerMoveJumpsFromTheOrigin() {
        SliderHost wide(300, 20);
        QCOMPARE(wide.slider->LastPointerX(), 0.0);
        QTest::mouseClick(wide.slider, Qt::LeftButton, {}, QPoint(200, 10));
        QCOMPARE(wide.slider->Value(), -100);
        QCOMPARE(wide.slider->LastPointerX(), 19.5);

        SliderHost tall(20, 300, 1);
        QCOMPARE(tall.slider->LastPointerY(), 0.0);
        QTest::mouseClick(tall.slider, Qt::LeftButton, {}, QPoint(10, 200));
        QCOMPARE(tall.slider->Value(), 100);
    }

    void horizontalPointerPositions_data() {
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("value");
        QTest::addColumn<double>("handleOffset");
        QTest::newRow("19") << 19 << 0 << 10.0;
        QTest::newRow("147") << 147 << 64 << 137.5;
        QTest::newRow("275") << 275 << 128 << 265.5;
        QTest::newRow("20 half to even") << 20 << 0 << 10.5;
        QTest::newRow("21") << 21 << 1 << 11.5;
        QTest::newRow("22 half to even") << 22 << 2 << 12.5;
        QTest::newRow("5 before the track") << 5 << 0 << 10.0;
        QTest::newRow("296 after the track") << 296 << 128 << 267.0;
    }
    void horizontalPointerPositions() {
        QFETCH(int, x);
        QFETCH(int, value);
        QFETCH(double, handleOffset);
        SliderHost host(300, 20);
        Slider* s = host.slider;
        s->SetMin(0);
        s->SetMax(128);
        s->SetValue(77);
        DragTo(s, QPoint(x, 10));
        QCOMPARE(s->Value(), value);
        QCOMPARE(s->HandleOffset(), handleOffset);
        QTest::mouseRelease(s, Qt::LeftButton, {}, QPoint(x, 30));
    }

    void verticalPointerPositions() {
        SliderHost host(20, 300, 1);
        Slider* s = host.slider;
        QCOMPARE(s->size(), QSize(20, 300));
        s->SetMin(0);
        s->SetMax(128);
        DragTo(s, QPoint(10, 19));
        QCOMPARE(s->Value(), 128);
        QCOMPARE(s->HandleOffset(), 300 - (19.5 - 9.5) - 4);
        QTest::mouseMove(s, QPoint(10, 275));
        QCOMPARE(s->Value(), 0);
        QTest::mouseMove(s, QPoint(10, 147));
        QCOMPARE(s->Value(), 64);
        QTest::mouseRelease(s, Qt::LeftButton, {}, QPoint(10, 147));
    }

    void dblClickHandlerAssignsTheValueDirectly() {
        SliderHost host(300, 20);
        Slider* s = host.slider;
        QSignalSpy changes(s, &Slider::Change);
        connect(s, &Slider::DblClick, this, [](qint32& Value) { Value = 9999; });
        QVERIFY(Hover(s, QPoint(150, 10)));
        QTest::mouseClick(s, Qt::LeftButton, {}, QPoint(150, 10));
        QCOMPARE(s->Value(), 9999);   // beyond Max: no clamp
        QCOMPARE(changes.count(), 1); // only the jump's own
    }
};

QTEST_MAIN(tst_Slider)
#include "tst_Slider.moc"
