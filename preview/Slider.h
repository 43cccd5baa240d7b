#pragma once

#include "preview/SliderArtwork.h"
#include "preview/SliderCanvas.h"

#include <QWidget>
#include <functional>
#include <memory>

class PropertyBag;

// The red, green and blue bytes of a colour as reals in 0..255.
struct SliderRGB {
    double Red = 0.0;
    double Green = 0.0;
    double Blue = 0.0;
};

// The seek slider: a track with a draggable handle over the integer range Min..Max, the current
// Value, and a highlighted selection SelectStart..SelectEnd. Style 0 is a horizontal track (Min
// at the left, the selection highlighted); any other Style a vertical level meter (Min at the
// bottom, the fill below the handle shading from ForeColor at Min to ForeColor2 at Max).
//
// Colours are 32-bit values with red in the lowest byte, green in the second and blue in the
// third (0x00BBGGRR).
//
// Every setter but those of Enabled and Snap repaints the whole control and clears FreeHandle;
// the setters of Value, Max, Min, SelectStart, SelectEnd and the three colours then raise Change.
// No setter compares with the old value. Min < Max and Min <= Value <= Max hold after the
// control's own operations (a DblClick handler may break the second by assigning the value it is
// handed).
//
// Errors: an overflow of the 32-bit arithmetic (Max - Min, Min + Max, Min + v, Value +- 1, Min + 1,
// Max - 1) throws std::overflow_error out of the setter (and out of ReadProperties and Redraw),
// with the fields assigned until then kept and no Change raised. Inside the pointer, keyboard and
// resize handling there is no caller: the step that overflowed is abandoned there, with the fields
// assigned until then kept (so the state stays as sane as the setters leave it), and a warning
// is logged; no exception ever leaves a Qt event handler.
//
// Enabled is the control's own property, distinct from QWidget's enabled state: Enabled() false
// only keeps the pointer from changing Value (keys still work, the look does not change, the
// events are still raised). Do not confuse SetEnabled(bool) with QWidget::setEnabled(bool), which
// would stop all input to the widget.
//
// Input (Qt's pointer events mapped to the notifications the control was designed for):
// - every pointer move (mouse tracking is on) records LastPointerX/Y; with only the left button
//   held and Enabled true it first drags the value (TrackPointer, raising Scroll then Change);
// - a press is not handled itself; only the left, right and middle buttons count;
// - a release raises MouseUp (Button 1 left, 2 right, 4 middle; Shift 1 shift, 2 ctrl, 4 alt; X and
//   Y in pixels); when it ends a press of the left or right button that began on the control and
//   it happens over the control, it is then reported as a click: Click, then the click-jump
//   (TrackPointer on the last pointer position when Enabled, then DblClick);
// - a double-click (Qt's second press) runs the click-jump; the release that follows raises only
//   MouseUp. A double click thus raises MouseUp, Click, Scroll, Change, DblClick, Scroll, Change,
//   DblClick, MouseUp, as the classic MouseDown, MouseUp, Click, DblClick, MouseUp sequence does.
// - every key press (Left arrow = code 37: Value - 1, Right arrow = code 39: Value + 1, Page Up =
//   33: Value + PageStep, Page Down = 34: Value - PageStep, Home = 36: Min, End = 35: Max, any
//   other key: no change) clamps, repaints and raises Change then Scroll, whatever Enabled is;
//   a key that changed Value then raises KeyMoved (a host seeks there, as on a release of the
//   mouse). Keys without a step are passed on to the parent (the window's shortcuts).
// - keyboard focus shows as a ring around the control (drawn over the canvas, not on it).
// The click-jump starts from the last pointer move's position (0,0 before the first one), not
// from the click's. The control takes keyboard focus by click and by Tab.
//
// Size: a horizontal control is 20 pixels high and at least 63 wide, a vertical one 20 wide and
// at least 63 high; every resize that breaks this is corrected at once. The picture is composed
// on an off-screen canvas in logical pixels (Canvas()); on a high-density screen a second canvas
// is composed from sharper bitmaps and shown instead.
//
// Signals with reference arguments must be connected directly.
class Slider : public QWidget {
    Q_OBJECT

public:
    explicit Slider(QWidget* parent = nullptr);
    ~Slider() override;

    // The step of Page Up and Page Down.
    static constexpr qint32 PageStep = 10;

    qint32 Style() const { return style_; }
    // 0 turns the control horizontal (its width becomes its height first), anything else vertical
    // (its height becomes its width first); the size rules then apply. A host that wants another
    // length sets it afterwards.
    void SetStyle(qint32 eStyle);

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool BolEnabled) { enabled_ = BolEnabled; }

    bool Snap() const { return snap_; }
    void SetSnap(bool BolSnap) { snap_ = BolSnap; }

    qint32 BackColor() const { return backColor_; }
    void SetBackColor(qint32 lColor);
    qint32 ForeColor() const { return foreColor_; }
    void SetForeColor(qint32 lColor);
    qint32 ForeColor2() const { return foreColor2_; }
    void SetForeColor2(qint32 lColor);

    qint32 Value() const { return value_; }
    void SetValue(qint32 intValue);
    qint32 Max() const { return max_; }
    void SetMax(qint32 intMax);
    qint32 Min() const { return min_; }
    void SetMin(qint32 intMin);

    qint32 SelectStart() const { return selectStart_; }
    void SetSelectStart(qint32 iValue);
    qint32 SelectEnd() const { return selectEnd_; }
    void SetSelectEnd(qint32 iValue);

    // Saving and loading with the host window: "Value", "Max", "Min", "BackColor", "ForeColor",
    // "ForeColor2", "Enabled", "Snap", "Style", "StartSelect", "EndSelect", each written only when
    // it differs from its default; a missing (or unreadable) name reads as its default. Loading
    // applies the bounds before the value, so a stored value within the stored bounds comes back
    // unchanged, then the colours, Enabled, Snap and Style through their setters (raising Change
    // three times and turning and sizing the control), then the selection without an event.
    void WriteProperties(PropertyBag& PropBag) const;
    void ReadProperties(const PropertyBag& PropBag);

    // Recomposes the whole control from its state and shows it.
    void Redraw();

    // Acts as a press of the key (Qt's key code) on the control: the window's shortcuts step
    // the handle from anywhere in the main view.
    void PressKey(int qtKey);

    // The control's private state, readable for hosts and tests.
    bool FreeHandle() const { return freeHandle_; }
    double HandleOffset() const { return handleOffset_; }
    double LastPointerX() const { return lastPointerX_; }
    double LastPointerY() const { return lastPointerY_; }
    SliderRGB ForeRGB() const { return foreRGB_; }
    SliderRGB Fore2RGB() const { return fore2RGB_; }
    // The canvas in logical pixels (one image pixel per widget pixel) and the bitmaps it is
    // composed from.
    const QImage& Canvas() const { return canvas_.Image(); }
    const SliderArtwork& Artwork() const { return artwork_; }
    // The picture shown on a high-density screen: the same composition from bitmaps drawn at the
    // screen's (rounded up) pixel ratio; a null image while the ratio is 1.
    QImage HiResCanvas() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // Raised at the end of every click-jump; Value refers to the control's own value field, so a
    // handler that assigns to it changes Value directly (no clamp, repaint or Change).
    void DblClick(qint32& Value);
    void Scroll();
    void Change();
    void Click();
    void MouseUp(qint16& Button, qint16& Shift, double& X, double& Y);
    // A key moved the handle to Value (after Change and Scroll).
    void KeyMoved(qint32 Value);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // Input (SliderInput.cpp).
    void TrackPointer(double& x, double& y);
    void ClickJump();
    void KeyDown(int KeyCode);
    // Runs one step of a notification, turning an error into a warning (no exception leaves
    // Qt's handlers).
    static void Guarded(const char* what, const std::function<void()>& step);

    // Painting (SliderRedraw.cpp).
    void ApplySizeRules();
    void TintEmptyFill();
    void TintLevelFill();
    double Range() const;
    int Position(qint32 v) const;
    int HandleLeft() const;
    int LevelHeight() const;
    void Compose(SliderCanvas& canvas, const SliderArtwork& artwork) const;
    int WantedScale() const;
    void UpdateHiRes();

    void ClampValue();
    void ReadBounds(const PropertyBag& PropBag);

    // Stored properties.
    qint32 style_ = 0;
    bool enabled_ = true;
    bool snap_ = false;
    qint32 backColor_ = 0;
    qint32 foreColor_ = 51400;
    qint32 foreColor2_ = 200;
    qint32 value_ = 50;
    qint32 max_ = 100;
    qint32 min_ = -100;
    qint32 selectStart_ = 0;
    qint32 selectEnd_ = 0;

    // Private state.
    double lastPointerX_ = 0.0;
    double lastPointerY_ = 0.0;
    double handleOffset_ = 0.0;
    bool freeHandle_ = false;
    SliderRGB foreRGB_{200.0, 200.0, 0.0};
    SliderRGB fore2RGB_{200.0, 0.0, 0.0};

    // What the pointer is doing: a press whose release may become a click, or the second press
    // of a double click, whose release is no click.
    enum class PressState { None, Pressed, DoubleClicked };
    PressState pressState_ = PressState::None;
    Qt::MouseButton pressButton_ = Qt::NoButton;

    SliderArtwork artwork_;
    SliderCanvas canvas_;
    std::unique_ptr<SliderArtwork> hiArtwork_;
    std::unique_ptr<SliderCanvas> hiCanvas_;
};
