#include "preview/SliderArtwork.h"

#include "preview/SliderMath.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {

// Groove geometry of the horizontal bitmaps, in logical pixels: the rim spans rows 5 to 13, the
// groove proper rows 6 to 12.
constexpr double RimTop = 5.0;
constexpr double RimBottom = 14.0;
constexpr double GrooveTop = 6.0;
constexpr double GrooveBottom = 13.0;

const QColor RimColour(0, 0, 0, 48);
// The level strip's own colour until its first tint.
const QColor LevelColour(200, 200, 0);
const QColor SelectionRim(22, 86, 196, 150);
const QColor SelectionTop(104, 168, 255);
const QColor SelectionBottom(44, 118, 230);

QImage NewImage(int width, int height, int scale) {
    QImage image(width * scale, height * scale, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// A painter in logical pixels on an image drawn at `scale`.
void Begin(QPainter& painter, QImage& image, int scale) {
    painter.begin(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.scale(scale, scale);
    painter.setPen(Qt::NoPen);
}

QPainterPath RoundedBar(double left, double top, double right, double bottom) {
    const double radius = (bottom - top) / 2.0;
    QPainterPath path;
    path.addRoundedRect(QRectF(left, top, right - left, bottom - top), radius, radius);
    return path;
}

// One column of track: the rim rows and the groove rows between them.
QImage Strip(int scale, const QColor& rim, const QBrush& groove) {
    QImage image = NewImage(1, SliderGeometry::Thickness, scale);
    QPainter painter;
    Begin(painter, image, scale);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(QRectF(0, RimTop, 1, GrooveTop - RimTop), rim);
    painter.fillRect(QRectF(0, GrooveBottom, 1, RimBottom - GrooveBottom), rim);
    painter.fillRect(QRectF(0, GrooveTop, 1, GrooveBottom - GrooveTop), groove);
    return image;
}

// An end cap `width` wide whose groove runs from `left` to `right` (one of them far outside the
// cap, so that only the rounded end falls inside). The picture holds the rim; the mask the
// groove's inside, where the track beneath stays visible.
void Cap(int width, double left, double right, int scale, QImage& picture, QImage& mask) {
    picture = NewImage(width, SliderGeometry::Thickness, scale);
    mask = NewImage(width, SliderGeometry::Thickness, scale);
    QPainter painter;
    Begin(painter, picture, scale);
    const QPainterPath outer = RoundedBar(left, RimTop, right, RimBottom);
    const QPainterPath inner = RoundedBar(left + 1.0, GrooveTop, right - 1.0, GrooveBottom);
    painter.fillPath(outer.subtracted(inner), RimColour);
    painter.end();
    Begin(painter, mask, scale);
    painter.fillPath(inner, Qt::white);
}

QImage Handle(int scale) {
    QImage image = NewImage(SliderGeometry::HandleLength, 10, scale);
    QPainter painter;
    Begin(painter, image, scale);
    const QRectF body(0.5, 0.5, 18.0, 9.0);
    QLinearGradient fill(0, 0.5, 0, 9.5);
    fill.setColorAt(0.0, QColor(255, 255, 255));
    fill.setColorAt(1.0, QColor(226, 231, 238));
    painter.setPen(QPen(QColor(40, 48, 60, 170), 1.0));
    painter.setBrush(fill);
    painter.drawRoundedRect(body, 4.5, 4.5);
    // A small accent grip in the middle.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(44, 118, 230));
    painter.drawRoundedRect(QRectF(7.5, 3.0, 4.0, 4.0), 2.0, 2.0);
    return image;
}

// The vertical bitmaps are the horizontal ones turned: column c, row r of the result is the
// source's column (width - 1 - r), row c, so the source's right end comes out on top.
QImage Turned(const QImage& source) {
    QImage result(source.height(), source.width(), source.format());
    for (int r = 0; r < result.height(); ++r) {
        for (int c = 0; c < result.width(); ++c) {
            result.setPixel(c, r, source.pixel(source.width() - 1 - r, c));
        }
    }
    return result;
}

} // namespace

SliderArtwork::SliderArtwork(int scale) : scale_(scale < 1 ? 1 : scale) {
    const int s = scale_;
    PicEmptyFill = Strip(s, RimColour, QColor::fromRgb(DefaultGrooveColour));
    QLinearGradient selection(0, GrooveTop, 0, GrooveBottom);
    selection.setColorAt(0.0, SelectionTop);
    selection.setColorAt(1.0, SelectionBottom);
    PicFullFill = Strip(s, SelectionRim, selection);
    // The groove starts one pixel into the left cap and ends four pixels short of the right
    // edge; the other end of each lies far beyond its cap.
    Cap(SliderGeometry::LeftCapLength, 1.0, 40.0, s, PicLeft, MaskLeft);
    Cap(SliderGeometry::RightCapLength, -30.0, 10.0, s, PicRight, MaskRight);
    PicHandle = Handle(s);

    PicDown = Turned(PicLeft);
    MaskDown = Turned(MaskLeft);
    PicUp = Turned(PicRight);
    MaskUp = Turned(MaskRight);
    PicHandle2 = Turned(PicHandle);
    PicEmptyFill2 = Turned(PicEmptyFill);
    PicFullFill2 = Turned(Strip(s, RimColour, LevelColour));
}

void SliderArtwork::SetPixel(QImage& bitmap, int x, int y, QRgb colour) const {
    const QRgb opaque = colour | 0xff000000u;
    for (int dy = 0; dy < scale_; ++dy) {
        for (int dx = 0; dx < scale_; ++dx) {
            const int px = x * scale_ + dx;
            const int py = y * scale_ + dy;
            if (bitmap.valid(px, py)) {
                bitmap.setPixel(px, py, opaque);
            }
        }
    }
}

QRgb SliderArtwork::Pixel(const QImage& bitmap, int x, int y) const {
    return bitmap.pixel(x * scale_, y * scale_);
}
