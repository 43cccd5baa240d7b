#include "preview/SliderCanvas.h"

#include <QPainter>
#include <algorithm>

SliderCanvas::SliderCanvas(int scale) : scale_(scale < 1 ? 1 : scale) {}

void SliderCanvas::Resize(int width, int height) {
    const QSize size(std::max(width, 1) * scale_, std::max(height, 1) * scale_);
    if (image_.size() == size) {
        return;
    }
    image_ = QImage(size, QImage::Format_ARGB32_Premultiplied);
    image_.fill(Qt::transparent);
}

void SliderCanvas::Clear() {
    image_.fill(Qt::transparent);
}

bool SliderCanvas::Touches(const QImage& bitmap, int x, int y) const {
    const qint64 left = qint64(x) * scale_;
    const qint64 top = qint64(y) * scale_;
    return left < image_.width() && top < image_.height() && left + bitmap.width() > 0 &&
           top + bitmap.height() > 0;
}

void SliderCanvas::Copy(const QImage& bitmap, int x, int y) {
    if (!Touches(bitmap, x, y)) {
        return;
    }
    QPainter painter(&image_);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QPoint(x * scale_, y * scale_), bitmap);
}

void SliderCanvas::CopyCap(const QImage& picture, const QImage& mask, int x, int y) {
    if (!Touches(picture, x, y)) {
        return;
    }
    QPainter painter(&image_);
    painter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
    painter.drawImage(QPoint(x * scale_, y * scale_), mask);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.drawImage(QPoint(x * scale_, y * scale_), picture);
}

void SliderCanvas::Overlay(const QImage& bitmap, int x, int y) {
    if (!Touches(bitmap, x, y)) {
        return;
    }
    QPainter painter(&image_);
    painter.drawImage(QPoint(x * scale_, y * scale_), bitmap);
}

void SliderCanvas::Stretch(const QImage& bitmap, int x, int y, int width, int height) {
    if (bitmap.isNull() || width == 0 || height == 0) {
        return;
    }
    // The destination in image pixels, normalised; 64-bit so that no position can overflow.
    const qint64 x1 = qint64(x) * scale_;
    const qint64 x2 = (qint64(x) + width) * scale_;
    const qint64 y1 = qint64(y) * scale_;
    const qint64 y2 = (qint64(y) + height) * scale_;
    const qint64 left = std::min(x1, x2);
    const qint64 right = std::max(x1, x2);
    const qint64 top = std::min(y1, y2);
    const qint64 bottom = std::max(y1, y2);
    const bool mirrorX = width < 0;
    const bool mirrorY = height < 0;
    const qint64 spanX = right - left;
    const qint64 spanY = bottom - top;
    const qint64 fromX = std::max<qint64>(left, 0);
    const qint64 toX = std::min<qint64>(right, image_.width());
    const qint64 fromY = std::max<qint64>(top, 0);
    const qint64 toY = std::min<qint64>(bottom, image_.height());
    const QImage source = bitmap.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const qint64 sourceWidth = source.width();
    const qint64 sourceHeight = source.height();
    for (qint64 py = fromY; py < toY; ++py) {
        qint64 sy = (py - top) * sourceHeight / spanY;
        if (mirrorY) {
            sy = sourceHeight - 1 - sy;
        }
        const auto* sourceLine = reinterpret_cast<const QRgb*>(source.constScanLine(int(sy)));
        auto* line = reinterpret_cast<QRgb*>(image_.scanLine(int(py)));
        for (qint64 px = fromX; px < toX; ++px) {
            qint64 sx = (px - left) * sourceWidth / spanX;
            if (mirrorX) {
                sx = sourceWidth - 1 - sx;
            }
            line[px] = sourceLine[sx];
        }
    }
}
