#include "SliderTestHelpers.h"

#include "preview/SliderCanvas.h"

#include <QSignalSpy>
#include <limits>

namespace {

// Whether every fully opaque pixel of the bitmap, placed at (x0, y0), is on the canvas as it is
// in the bitmap (at least one of them inside the canvas).
bool OpaqueMatch(const QImage& canvas, const QImage& bitmap, int x0, int y0) {
    int compared = 0;
    for (int y = 0; y < bitmap.height(); ++y) {
        for (int x = 0; x < bitmap.width(); ++x) {
            const QRgb pixel = bitmap.pixel(x, y);
            if (qAlpha(pixel) != 255 || !canvas.valid(x0 + x, y0 + y)) {
                continue;
            }
            if (canvas.pixel(x0 + x, y0 + y) != pixel) {
                return false;
            }
            ++compared;
        }
    }
    return compared > 0;
}

constexpr int NotFound = std::numeric_limits<int>::min();

// The one left edge at which the horizontal handle lies on the canvas, 4 pixels from the top.
int HandleX(const Slider* s) {
    int found = NotFound;
    for (int x = -19; x < s->Canvas().width(); ++x) {
        if (OpaqueMatch(s->Canvas(), s->Artwork().PicHandle, x, 4)) {
            if (found != NotFound) {
                return NotFound;
            }
            found = x;
        }
    }
    return found;
}

// The one top edge at which the vertical handle lies on the canvas, 4 pixels from the left.
int HandleY(const Slider* s) {
    int found = NotFound;
    for (int y = -19; y < s->Canvas().height(); ++y) {
        if (OpaqueMatch(s->Canvas(), s->Artwork().PicHandle2, 4, y)) {
            if (found != NotFound) {
                return NotFound;
            }
            found = y;
        }
    }
    return found;
}

// Whether an end cap lies at (x0, y0): wherever its mask lets nothing beneath show, the canvas
// holds the cap's own pixel.
bool CapAt(const QImage& canvas, const QImage& picture, const QImage& mask, int x0, int y0) {
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            if (qAlpha(mask.pixel(x, y)) == 0 &&
                canvas.pixel(x0 + x, y0 + y) != picture.pixel(x, y)) {
                return false;
            }
        }
    }
    return true;
}

QRgb Highlight(const Slider* s) {
    return s->Artwork().PicFullFill.pixel(0, 9);
}
QRgb Groove(const Slider* s) {
    return s->Artwork().PicEmptyFill.pixel(0, 9);
}
QRgb Level(const Slider* s) {
    return s->Artwork().PicFullFill2.pixel(9, 0);
}

} // namespace

class tst_SliderRendering : public QObject {
    Q_OBJECT

private slots:
    void handleSitsAtTheValuesPosition_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("max");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("left");
        QTest::newRow("314: 0") << 314 << 100 << 0 << 10;
        QTest::newRow("314: 1") << 314 << 100 << 1 << 14;
        QTest::newRow("314: 50") << 314 << 100 << 50 << 146;
        QTest::newRow("314: 100") << 314 << 100 << 100 << 280;
        // Range equal to the track length: the handle moves by 0 or 2 pixels in turn.
        QTest::newRow("300: 0") << 300 << 256 << 0 << 10;
        QTest::newRow("300: 1") << 300 << 256 << 1 << 12;
        QTest::newRow("300: 2") << 300 << 256 << 2 << 12;
        QTest::newRow("300: 3") << 300 << 256 << 3 << 14;
    }
    void handleSitsAtTheValuesPosition() {
        QFETCH(int, width);
        QFETCH(int, max);
        QFETCH(int, value);
        QFETCH(int, left);
        SliderHost host(width, 20);
        Slider* s = host.slider;
        s->SetMin(0);
        s->SetMax(max);
        s->SetValue(value);
        QCOMPARE(s->Canvas().size(), QSize(width, 20));
        QCOMPARE(HandleX(s), left);
        QVERIFY(CapAt(s->Canvas(), s->Artwork().PicLeft, s->Artwork().MaskLeft, 0, 0));
        QVERIFY(CapAt(s->Canvas(), s->Artwork().PicRight, s->Artwork().MaskRight, width - 14, 0));
    }

    void handleFollowsThePointerUnlessSnapped() {
        SliderHost host(300, 20);
        Slider* s = host.slider;
        s->SetMin(0);
        s->SetMax(10);
        DragTo(s, QPoint(103, 10));
        QTest::mouseRelease(s, Qt::LeftButton, {}, QPoint(103, 40));
        QCOMPARE(s->Value(), 3);
        QCOMPARE(HandleX(s), 94); // HandleOffset 93.5, half to even
        s->SetSnap(true);
        s->Redraw();
        QCOMPARE(HandleX(s), 88); // P(3)
        s->SetSnap(false);
        DragTo(s, QPoint(103, 10));
        QTest::mouseRelease(s, Qt::LeftButton, {}, QPoint(103, 40));
        QTest::keyClick(s, Qt::Key_Up);
        QCOMPARE(HandleX(s), 88);
        // Beyond the ends the handle stops at 10 and at W - 33.
        DragTo(s, QPoint(5, 10));
        QCOMPARE(HandleX(s), 10);
        QTest::mouseMove(s, QPoint(296, 10));
        QCOMPARE(HandleX(s), 267);
        QTest::mouseRelease(s, Qt::LeftButton, {}, QPoint(296, 40));
    }

    void selectionIsHighlightedBetweenItsHandlePositions() {
        SliderHost host(314, 20);
        Slider* s = host.slider;
        s->SetMin(0);
        s->SetMax(100);
        s->SetValue(0);
        QVERIFY(Highlight(s) != Groove(s));
        s->SetSelectStart(40); // P = 118
        s->SetSelectEnd(70);   // P = 200
        const QImage& canvas = s->Canvas();
        for (int x = 118; x < 200; ++x) {
            QCOMPARE(canvas.pixel(x, 9), Highlight(s));
        }
        QCOMPARE(canvas.pixel(117, 9), Groove(s));
        QCOMPARE(canvas.pixel(200, 9), Groove(s));
        QCOMPARE(HandleX(s), 10);

        // Reversed, or empty: nothing highlighted.
        s->SetSelectStart(70);
        s->SetSelectEnd(40);
        for (int x = 0; x < 314; ++x) {
            QVERIFY(canvas.pixel(x, 9) != Highlight(s));
        }
        s->SetSelectStart(0);
        s->SetSelectEnd(0);
        for (int x = 0; x < 314; ++x) {
            QVERIFY(canvas.pixel(x, 9) != Highlight(s));
        }

        // Past Max the highlight runs under the right cap, which is drawn over it.
        s->SetSelectStart(50);
        s->SetSelectEnd(1000);
        QCOMPARE(canvas.pixel(314 - 15, 9), Highlight(s));
        QVERIFY(CapAt(canvas, s->Artwork().PicRight, s->Artwork().MaskRight, 300, 0));
    }

    void backColorTintsTheGrooveOfBothStrips() {
        SliderHost host(300, 20);
        Slider* s = host.slider;
        const QRgb rim = s->Artwork().PicEmptyFill.pixel(0, 5);
        s->SetBackColor(0x0000ff); // red
        for (int i = 6; i <= 12; ++i) {
            QCOMPARE(s->Artwork().PicEmptyFill.pixel(0, i), qRgb(255, 0, 0));
            QCOMPARE(s->Artwork().PicEmptyFill2.pixel(i, 0), qRgb(255, 0, 0));
        }
        QCOMPARE(s->Artwork().PicEmptyFill.pixel(0, 5), rim);
        QCOMPARE(s->Canvas().pixel(40, 9), qRgb(255, 0, 0));
        QCOMPARE(s->Canvas().pixel(40, 12), qRgb(255, 0, 0));
        QCOMPARE(s->Canvas().pixel(40, 13), rim);

        // ForeColor plays no part in the horizontal picture.
        const QImage before = s->Canvas().copy();
        QSignalSpy changes(s, &Slider::Change);
        s->SetForeColor(0xff00ff);
        s->SetForeColor2(0x00ff00);
        QCOMPARE(changes.count(), 2);
        QCOMPARE(s->Canvas(), before);

        SliderHost tall(20, 200, 1);
        tall.slider->SetBackColor(0x00ff00);
        QCOMPARE(tall.slider->Artwork().PicEmptyFill.pixel(0, 9), qRgb(0, 255, 0));
        QCOMPARE(tall.slider->Canvas().pixel(9, 40), qRgb(0, 255, 0));
    }

    void verticalHandleAndLevelColour() {
        SliderHost host(20, 200, 1);
        Slider* s = host.slider;
        s->SetMin(0);
        s->SetMax(100);
        s->SetValue(0);
        QCOMPARE(HandleY(s), 170);
        QCOMPARE(Level(s), qRgb(200, 200, 0));
        QVERIFY(CapAt(s->Canvas(), s->Artwork().PicUp, s->Artwork().MaskUp, 0, 0));
        QVERIFY(CapAt(s->Canvas(), s->Artwork().PicDown, s->Artwork().MaskDown, 0, 189));
        s->SetValue(50);
        const int top = HandleY(s);
        QCOMPARE(top, 200 - 108); // a = 78, b = 107.5 to even
        QCOMPARE(Level(s), qRgb(200, 100, 0));
        QCOMPARE(s->Canvas().pixel(9, top + 20), qRgb(200, 100, 0)); // filled below the handle
        QCOMPARE(s->Canvas().pixel(9, top - 2), s->Artwork().PicEmptyFill2.pixel(9, 0));
        s->SetValue(100);
        QCOMPARE(HandleY(s), 14);
        QCOMPARE(Level(s), qRgb(200, 0, 0));

        // Halves of a component go to the even neighbour: green 199.5 -> 200, 198.5 -> 198.
        s->SetMax(400);
        s->SetValue(1);
        QCOMPARE(Level(s), qRgb(200, 200, 0));
        s->SetValue(3);
        QCOMPARE(Level(s), qRgb(200, 198, 0));
    }

    void levelFollowsTheHandleAndIsHeldWithinTheColourRange() {
        SliderHost host(20, 200, 1);
        Slider* s = host.slider;
        s->SetMin(0);
        s->SetMax(100);
        // Under the pointer the level mixes by the handle's height: t = 105.5 / (200 - 25).
        DragTo(s, QPoint(10, 100));
        QTest::mouseRelease(s, Qt::LeftButton, {}, QPoint(10, 300));
        QCOMPARE(s->Value(), 48);
        QCOMPARE(s->HandleOffset(), 105.5);
        QCOMPARE(Level(s), qRgb(200, 79, 0));
        s->SetSnap(true);
        s->Redraw();
        QCOMPARE(Level(s), qRgb(200, 104, 0)); // by Value: t = 0.48
        s->SetSnap(false);

        // Near the top t exceeds 1: each component is held within 0..255.
        s->SetForeColor(0x0000ff);  // red 255 at Min
        s->SetForeColor2(0xff0000); // blue 255 at Max
        DragTo(s, QPoint(10, 5));
        QTest::mouseRelease(s, Qt::LeftButton, {}, QPoint(10, 300));
        QCOMPARE(s->HandleOffset(), 186.0); // t = 186 / 175
        QCOMPARE(HandleY(s), 14);
        QCOMPARE(Level(s), qRgb(0, 0, 255));
        QCOMPARE(s->Canvas().pixel(9, 40), qRgb(0, 0, 255));
        // With Snap the level follows Value (= Max) instead.
        s->SetSnap(true);
        s->SetForeColor(0x00c8c8);
        QCOMPARE(Level(s), qRgb(0, 0, 255));
    }

    void sizeRulesAndTheStyleTurn() {
        SliderHost host(300, 50);
        Slider* s = host.slider;
        QCOMPARE(s->size(), QSize(300, 20));
        s->resize(30, 40);
        QCOMPARE(s->size(), QSize(63, 20));
        s->SetStyle(0); // width becomes the height (20), then the minimum length
        QCOMPARE(s->size(), QSize(63, 20));
        s->SetStyle(1);
        QCOMPARE(s->size(), QSize(20, 63));
        QCOMPARE(s->Canvas().size(), QSize(20, 63));
        s->resize(50, 40);
        QCOMPARE(s->size(), QSize(20, 63));
        s->resize(50, 240);
        QCOMPARE(s->size(), QSize(20, 240));
        s->SetStyle(0);
        QCOMPARE(s->size(), QSize(240, 20));
        QCOMPARE(s->Canvas().size(), QSize(240, 20));
        QVERIFY(s->HiResCanvas().isNull());
    }

    void stretchMirrorsANegativeRectangle() {
        QImage bitmap(2, 1, QImage::Format_ARGB32_Premultiplied);
        bitmap.setPixel(0, 0, qRgb(255, 0, 0));
        bitmap.setPixel(1, 0, qRgb(0, 0, 255));
        SliderCanvas canvas;
        canvas.Resize(10, 1);
        canvas.Stretch(bitmap, 6, 0, -4, 1); // covers 2..5, blue first
        QCOMPARE(canvas.Image().pixel(1, 0), 0u);
        QCOMPARE(canvas.Image().pixel(2, 0), qRgb(0, 0, 255));
        QCOMPARE(canvas.Image().pixel(5, 0), qRgb(255, 0, 0));
        QCOMPARE(canvas.Image().pixel(6, 0), 0u);
        canvas.Stretch(bitmap, -1000000, 0, 2000000, 1); // far outside: cut off, no overflow
        QCOMPARE(canvas.Image().pixel(9, 0), qRgb(0, 0, 255));
    }
};

QTEST_MAIN(tst_SliderRendering)
#include "tst_SliderRendering.moc"
