#include "SliderTestHelpers.h"

#include <QApplication>

// On a screen of pixel ratio 2 the control composes a second, sharp picture with the same
// geometry from bitmaps drawn at twice the size; the logical canvas stays as it is.
class tst_SliderHiDpi : public QObject {
    Q_OBJECT

private slots:
    void highDensityPictureMatchesTheLogicalOne() {
        SliderHost host(300, 20);
        Slider* s = host.slider;
        QCOMPARE(s->devicePixelRatioF(), 2.0);
        s->SetMin(0);
        s->SetMax(128);
        s->SetBackColor(0x0000ff);
        s->SetValue(64); // handle left edge 138
        const QImage hi = s->HiResCanvas();
        QCOMPARE(s->Canvas().size(), QSize(300, 20));
        QCOMPARE(hi.size(), QSize(600, 40));
        QCOMPARE(hi.pixel(2 * 40, 2 * 9), qRgb(255, 0, 0));
        QCOMPARE(hi.pixel(2 * 40 + 1, 2 * 12 + 1), qRgb(255, 0, 0));
        const SliderArtwork art(2);
        const QImage handle =
            hi.copy(2 * 138, 2 * 4, art.PicHandle.width(), art.PicHandle.height());
        for (int y = 0; y < handle.height(); ++y) {
            for (int x = 0; x < handle.width(); ++x) {
                if (qAlpha(art.PicHandle.pixel(x, y)) == 255) {
                    QCOMPARE(handle.pixel(x, y), art.PicHandle.pixel(x, y));
                }
            }
        }
        // What the screen shows is that picture.
        const QImage shown = s->grab().toImage();
        QCOMPARE(shown.size(), QSize(600, 40));
        QCOMPARE(shown.pixel(2 * 40, 2 * 9), qRgb(255, 0, 0));
        QCOMPARE(shown.pixel(2 * 138 + 19, 2 * 4 + 10), handle.pixel(19, 10));
    }
};

int main(int argc, char** argv) {
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication application(argc, argv);
    tst_SliderHiDpi test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_SliderHiDpi.moc"
