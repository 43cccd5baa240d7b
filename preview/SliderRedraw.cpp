#include "preview/Slider.h"

#include "preview/SliderMath.h"

#include <QAccessible>
#include <QPaintEvent>
#include <QPainter>
#include <QPen>
#include <QResizeEvent>
#include <cmath>

namespace {

// A colour of the control (red in the lowest byte) as an opaque pixel.
QRgb Pixel(qint32 lColor) {
    const auto colour = static_cast<quint32>(lColor);
    return qRgb(int(colour & 255u), int((colour >> 8) & 255u), int((colour >> 16) & 255u));
}

int Component(double value) {
    if (std::isnan(value) || value < 0.0) {
        value = 0.0;
    }
    if (value > 255.0) {
        value = 255.0;
    }
    return static_cast<int>(RoundHalfEven(value));
}

using SliderGeometry::MinimumLength;
using SliderGeometry::Thickness;

} // namespace

// Horizontal: at least 63 wide, 20 high. Vertical: at least 63 high, 20 wide.
void Slider::ApplySizeRules() {
    int w = width();
    int h = height();
    if (style_ == 0) {
        if (MinimumLength > w) {
            w = MinimumLength;
        }
        h = Thickness;
    } else {
        if (MinimumLength > h) {
            h = MinimumLength;
        }
        w = Thickness;
    }
    if (size() != QSize(w, h)) {
        resize(w, h);
    }
    freeHandle_ = false;
    Redraw();
}

double Slider::Range() const {
    return double(SliderMath::Subtract(max_, min_));
}

// The left edge the handle has at v, horizontal style, in three roundings.
int Slider::Position(qint32 v) const {
    const double range = Range();
    const double length = width() - SliderGeometry::UnusedLength;
    const double a = RoundHalfEven(double(v) / range * length);
    const double b = RoundHalfEven(SliderGeometry::HalfHandle + a + 1.0);
    return SliderMath::Position(b - double(min_) / range * length);
}

int Slider::HandleLeft() const {
    if (freeHandle_ && !snap_) {
        return SliderMath::Position(handleOffset_);
    }
    return Position(value_);
}

// Vertical style: how far the handle's top edge lies above the bottom edge.
int Slider::LevelHeight() const {
    if (freeHandle_ && !snap_) {
        return SliderMath::Position(handleOffset_);
    }
    const double range = Range();
    const double length = height() - SliderGeometry::UnusedLength;
    const double a = RoundHalfEven(double(value_) / range * length);
    const double b =
        RoundHalfEven(SliderGeometry::HalfHandle + a + 1.0 + SliderGeometry::HandleLength);
    return SliderMath::Position(b - double(min_) / range * length);
}

void Slider::Redraw() {
    if (max_ == min_) {
        return;
    }
    Range(); // an overflowing range ends the drawing before anything is touched
    canvas_.Resize(width(), height());
    if (style_ != 0) {
        TintLevelFill();
    }
    Compose(canvas_, artwork_);
    UpdateHiRes();
    update();
    // Screen readers hear of the new position.
    if (QAccessible::isActive()) {
        QAccessibleValueChangeEvent changed(this, value_);
        QAccessible::updateAccessibility(&changed);
    }
}

void Slider::Compose(SliderCanvas& canvas, const SliderArtwork& art) const {
    const int w = width();
    const int h = height();
    if (style_ == 0) {
        const int handle = HandleLeft();
        canvas.Clear();
        const int s = Position(selectStart_);
        const int e = Position(selectEnd_);
        canvas.Stretch(art.PicFullFill, s, 0, e - s, 20);
        canvas.Stretch(art.PicEmptyFill, e, 0, w - e, 20);
        canvas.Stretch(art.PicEmptyFill, 0, 0, s, 20);
        canvas.CopyCap(art.PicLeft, art.MaskLeft, 0, 0);
        canvas.CopyCap(art.PicRight, art.MaskRight, w - 14, 0);
        canvas.Overlay(art.PicHandle, handle, 4);
    } else {
        const int p = LevelHeight();
        canvas.Clear();
        canvas.Stretch(art.PicEmptyFill2, 0, 0, 20, h - p);
        canvas.Stretch(art.PicFullFill2, 0, h - p, 20, h);
        canvas.CopyCap(art.PicUp, art.MaskUp, 0, 0);
        canvas.CopyCap(art.PicDown, art.MaskDown, 0, h - 11);
        canvas.Overlay(art.PicHandle2, 4, h - p);
    }
}

// The groove rows of both unfilled strips take BackColor, whatever the style.
void Slider::TintEmptyFill() {
    const QRgb colour = Pixel(backColor_);
    for (SliderArtwork* art : {&artwork_, hiArtwork_.get()}) {
        if (art == nullptr) {
            continue;
        }
        for (int i = 6; i <= 12; ++i) {
            art->SetPixel(art->PicEmptyFill, 0, i, colour);
            art->SetPixel(art->PicEmptyFill2, i, 0, colour);
        }
    }
}

// The level colour: ForeColor and ForeColor2 mixed by where the handle is (under the pointer) or
// by Value, each component held within 0..255.
void Slider::TintLevelFill() {
    double t = 0.0;
    double weight = 0.0;
    if (freeHandle_ && !snap_) {
        t = handleOffset_ / (height() - 11.0 - 14.0);
        weight = 1.0 - t;
    } else {
        const double range = Range();
        const double offset = double(value_) - double(min_);
        t = offset / range;
        weight = (range - offset) / range;
    }
    const int red = Component(weight * foreRGB_.Red + t * fore2RGB_.Red);
    const int green = Component(weight * foreRGB_.Green + t * fore2RGB_.Green);
    const int blue = Component(weight * foreRGB_.Blue + t * fore2RGB_.Blue);
    const QRgb colour = Pixel(red + green * 256 + blue * 65536);
    for (SliderArtwork* art : {&artwork_, hiArtwork_.get()}) {
        if (art == nullptr) {
            continue;
        }
        for (int i = 6; i <= 12; ++i) {
            art->SetPixel(art->PicFullFill2, i, 0, colour);
        }
    }
}

int Slider::WantedScale() const {
    const double ratio = devicePixelRatioF();
    if (!(ratio > 1.0)) {
        return 1;
    }
    return std::min(4, int(std::ceil(ratio)));
}

// On a high-density screen the same picture is composed a second time from bitmaps drawn at the
// screen's pixel ratio, carrying over the strips' current tints.
void Slider::UpdateHiRes() {
    const int scale = WantedScale();
    if (scale <= 1) {
        hiArtwork_.reset();
        hiCanvas_.reset();
        return;
    }
    if (!hiArtwork_ || hiArtwork_->Scale() != scale) {
        hiArtwork_ = std::make_unique<SliderArtwork>(scale);
        for (int i = 6; i <= 12; ++i) {
            hiArtwork_->SetPixel(hiArtwork_->PicEmptyFill, 0, i,
                                 artwork_.Pixel(artwork_.PicEmptyFill, 0, i));
            hiArtwork_->SetPixel(hiArtwork_->PicEmptyFill2, i, 0,
                                 artwork_.Pixel(artwork_.PicEmptyFill2, i, 0));
            hiArtwork_->SetPixel(hiArtwork_->PicFullFill2, i, 0,
                                 artwork_.Pixel(artwork_.PicFullFill2, i, 0));
        }
        hiCanvas_ = std::make_unique<SliderCanvas>(scale);
    }
    hiCanvas_->Resize(width(), height());
    Compose(*hiCanvas_, *hiArtwork_);
}

QImage Slider::HiResCanvas() const {
    return hiCanvas_ ? hiCanvas_->Image() : QImage();
}

void Slider::resizeEvent(QResizeEvent* /*event*/) {
    Guarded("resize", [&] { ApplySizeRules(); });
}

void Slider::paintEvent(QPaintEvent* /*event*/) {
    Guarded("paint", [&] {
        const int scale = WantedScale();
        if (scale > 1 && max_ != min_ &&
            (!hiCanvas_ || hiCanvas_->Scale() != scale ||
             hiCanvas_->Image().size() != size() * scale)) {
            UpdateHiRes();
        }
        QPainter painter(this);
        if (scale > 1 && hiCanvas_) {
            QImage picture = hiCanvas_->Image();
            picture.setDevicePixelRatio(hiCanvas_->Scale());
            painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
            painter.drawImage(QPointF(0.0, 0.0), picture);
        } else {
            painter.drawImage(QPoint(0, 0), canvas_.Image());
        }
        // Keyboard focus shows as a ring in the accent colour around the track (not on the
        // canvas: the picture of the control's state stays the same).
        if (hasFocus()) {
            painter.setRenderHint(QPainter::Antialiasing, true);
            painter.setPen(QPen(QColor(0x3b, 0x82, 0xf6), 1.5));
            painter.setBrush(Qt::NoBrush);
            painter.drawRoundedRect(QRectF(rect()).adjusted(0.75, 0.75, -0.75, -0.75), 4.0, 4.0);
        }
    });
}
