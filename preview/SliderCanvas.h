#pragma once

#include <QImage>

// The slider's off-screen canvas and the few drawing operations its composition needs. Positions
// and sizes are in the slider's logical pixels; a canvas of scale s holds s x s image pixels for
// each of them and takes bitmaps drawn at the same scale (see SliderArtwork). Positions far
// outside the canvas are fine: whatever falls outside is cut off.
class SliderCanvas {
public:
    explicit SliderCanvas(int scale = 1);

    int Scale() const { return scale_; }
    const QImage& Image() const { return image_; }

    // Makes the canvas width x height logical pixels; a canvas of another size is replaced by a
    // cleared one, one of that size is kept as it is.
    void Resize(int width, int height);
    // Makes every pixel transparent.
    void Clear();
    // Copies the bitmap with its top left corner at (x, y): its pixels replace the canvas's.
    void Copy(const QImage& bitmap, int x, int y);
    // Copies an end cap to (x, y): inside the cap's mask the canvas beneath stays visible, the
    // rest is replaced; the cap's picture is then laid over.
    void CopyCap(const QImage& picture, const QImage& mask, int x, int y);
    // Lays the bitmap over the canvas at (x, y), blended by its alpha.
    void Overlay(const QImage& bitmap, int x, int y);
    // Stretches the whole bitmap into the rectangle from (x, y), width x height, its pixels
    // replacing the canvas's. A negative width (height) mirrors the bitmap sideways (upside down)
    // into the rectangle that ends at x (y).
    void Stretch(const QImage& bitmap, int x, int y, int width, int height);

private:
    // Whether a bitmap placed at logical (x, y) touches the canvas.
    bool Touches(const QImage& bitmap, int x, int y) const;

    int scale_;
    QImage image_;
};
