#pragma once

#include <QImage>
#include <QRgb>

// The ten bitmaps the seek slider composes itself from, drawn by the slider's own code at a pixel
// scale (1 for the logical canvas, 2 or more for a sharp picture on high-density screens). At
// scale 1 every bitmap has the slider's fixed size: PicLeft 11x20, PicRight 14x20, PicHandle
// 19x10, PicEmptyFill and PicFullFill 1x20, PicUp 20x14, PicDown 20x11, PicHandle2 10x19,
// PicEmptyFill2 and PicFullFill2 20x1; at scale s each is s times as wide and high.
//
// The look: a thin rounded groove (rows 6 to 12 of the horizontal strips, columns 6 to 12 of the
// vertical ones; these take the groove and level colours) with a soft rim, an accent blue for the
// selection and a white pill-shaped handle. The bitmaps carry an alpha channel: outside the groove
// they are transparent, so the control shows its host's background there. The four end caps
// carry, besides their picture, a shape mask: inside the rounded end of the groove the cap lets
// the track beneath show through (so the rounded end takes the groove's colour, or the
// selection's), everywhere else the cap replaces what lies beneath.
class SliderArtwork {
public:
    explicit SliderArtwork(int scale = 1);

    int Scale() const { return scale_; }

    QImage PicLeft;
    QImage PicRight;
    QImage PicHandle;
    QImage PicEmptyFill;
    QImage PicFullFill;
    QImage PicUp;
    QImage PicDown;
    QImage PicHandle2;
    QImage PicEmptyFill2;
    QImage PicFullFill2;

    // The caps' shape masks (alpha: how much of the track beneath stays visible).
    QImage MaskLeft;
    QImage MaskRight;
    QImage MaskUp;
    QImage MaskDown;

    // Sets the logical pixel (x, y) of one of the bitmaps above, that is the scale x scale block
    // of image pixels it stands for, to an opaque colour.
    void SetPixel(QImage& bitmap, int x, int y, QRgb colour) const;
    // The colour of the logical pixel (x, y) (its top left image pixel).
    QRgb Pixel(const QImage& bitmap, int x, int y) const;

    // The track's colours before any tint.
    static constexpr QRgb DefaultGrooveColour = 0xff3a414d;

private:
    int scale_;
};
