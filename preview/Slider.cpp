#include "preview/Slider.h"

#include "preview/PropertyBag.h"
#include "preview/SliderAccessible.h"
#include "preview/SliderMath.h"

#include <limits>

namespace {

// The stored properties' defaults, which are also the values of a new control.
constexpr qint32 DefaultValue = 50;
constexpr qint32 DefaultMax = 100;
constexpr qint32 DefaultMin = -100;
constexpr qint32 DefaultBackColor = 0;
constexpr qint32 DefaultForeColor = 51400; // red 200, green 200, blue 0
constexpr qint32 DefaultForeColor2 = 200;  // red 200
constexpr bool DefaultEnabled = true;
constexpr bool DefaultSnap = false;
constexpr qint32 DefaultStyle = 0;
constexpr qint32 DefaultSelect = 0;

SliderRGB Bytes(qint32 lColor) {
    const auto colour = static_cast<quint32>(lColor);
    return SliderRGB{double(colour & 255u), double((colour >> 8) & 255u),
                     double((colour >> 16) & 255u)};
}

// A stored 32-bit integer; its default when the name is missing or its value is not a 32-bit
// integer.
qint32 ReadInt32(const PropertyBag& bag, const QString& name, qint32 defaultValue) {
    const QVariant stored = bag.ReadProperty(name, defaultValue);
    bool ok = false;
    const qlonglong number = stored.toLongLong(&ok);
    if (!ok || number < std::numeric_limits<qint32>::min() ||
        number > std::numeric_limits<qint32>::max()) {
        return defaultValue;
    }
    return static_cast<qint32>(number);
}

bool ReadBool(const PropertyBag& bag, const QString& name, bool defaultValue) {
    const QVariant stored = bag.ReadProperty(name, defaultValue);
    if (!stored.canConvert<bool>()) {
        return defaultValue;
    }
    return stored.toBool();
}

} // namespace

Slider::Slider(QWidget* parent)
    : QWidget(parent), style_(DefaultStyle), enabled_(DefaultEnabled), snap_(DefaultSnap),
      backColor_(DefaultBackColor), foreColor_(DefaultForeColor), foreColor2_(DefaultForeColor2),
      value_(DefaultValue), max_(DefaultMax), min_(DefaultMin), selectStart_(DefaultSelect),
      selectEnd_(DefaultSelect), foreRGB_(Bytes(DefaultForeColor)),
      fore2RGB_(Bytes(DefaultForeColor2)), artwork_(1), canvas_(1) {
    SliderAccessible::Install();
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    // The fields start at their initial values without the setters; the size rules (which the
    // host's first resize would run) then give the control its height and draw it.
    ApplySizeRules();
}

Slider::~Slider() = default;

void Slider::SetStyle(qint32 eStyle) {
    style_ = eStyle;
    if (style_ == 0) {
        resize(height(), height());
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    } else {
        resize(width(), width());
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    }
    updateGeometry();
    ApplySizeRules();
    freeHandle_ = false;
    Redraw();
}

void Slider::SetBackColor(qint32 lColor) {
    backColor_ = lColor;
    TintEmptyFill();
    freeHandle_ = false;
    Redraw();
    emit Change();
}

void Slider::SetForeColor(qint32 lColor) {
    foreColor_ = lColor;
    foreRGB_ = Bytes(lColor);
    freeHandle_ = false;
    Redraw();
    emit Change();
}

void Slider::SetForeColor2(qint32 lColor) {
    foreColor2_ = lColor;
    fore2RGB_ = Bytes(lColor);
    freeHandle_ = false;
    Redraw();
    emit Change();
}

void Slider::ClampValue() {
    if (value_ < min_) {
        value_ = min_;
    }
    if (value_ > max_) {
        value_ = max_;
    }
}

void Slider::SetValue(qint32 intValue) {
    value_ = intValue;
    ClampValue();
    freeHandle_ = false;
    Redraw();
    emit Change();
}

void Slider::SetMax(qint32 intMax) {
    max_ = intMax;
    if (max_ <= min_) {
        max_ = SliderMath::Add(min_, 1);
    }
    if (value_ > max_) {
        value_ = max_;
    }
    freeHandle_ = false;
    Redraw();
    emit Change();
}

void Slider::SetMin(qint32 intMin) {
    min_ = intMin;
    if (min_ >= max_) {
        min_ = SliderMath::Subtract(max_, 1);
    }
    if (value_ < min_) {
        value_ = min_;
    }
    freeHandle_ = false;
    Redraw();
    emit Change();
}

void Slider::SetSelectStart(qint32 iValue) {
    selectStart_ = iValue;
    freeHandle_ = false;
    Redraw();
    emit Change();
}

void Slider::SetSelectEnd(qint32 iValue) {
    selectEnd_ = iValue;
    freeHandle_ = false;
    Redraw();
    emit Change();
}

void Slider::WriteProperties(PropertyBag& PropBag) const {
    PropBag.WriteProperty(QStringLiteral("Value"), value_, DefaultValue);
    PropBag.WriteProperty(QStringLiteral("Max"), max_, DefaultMax);
    PropBag.WriteProperty(QStringLiteral("Min"), min_, DefaultMin);
    PropBag.WriteProperty(QStringLiteral("BackColor"), backColor_, DefaultBackColor);
    PropBag.WriteProperty(QStringLiteral("ForeColor"), foreColor_, DefaultForeColor);
    PropBag.WriteProperty(QStringLiteral("ForeColor2"), foreColor2_, DefaultForeColor2);
    PropBag.WriteProperty(QStringLiteral("Enabled"), enabled_, DefaultEnabled);
    PropBag.WriteProperty(QStringLiteral("Snap"), snap_, DefaultSnap);
    PropBag.WriteProperty(QStringLiteral("Style"), style_, DefaultStyle);
    PropBag.WriteProperty(QStringLiteral("StartSelect"), selectStart_, DefaultSelect);
    PropBag.WriteProperty(QStringLiteral("EndSelect"), selectEnd_, DefaultSelect);
}

// The bounds go in first, in whichever order lets both stored bounds stand: the new Max first
// when it lies above the Min in force, else the new Min first. Then the stored Value, which a
// consistent store keeps within its own bounds, comes back unchanged.
void Slider::ReadBounds(const PropertyBag& PropBag) {
    const qint32 storedMax = ReadInt32(PropBag, QStringLiteral("Max"), DefaultMax);
    const qint32 storedMin = ReadInt32(PropBag, QStringLiteral("Min"), DefaultMin);
    if (storedMax > min_) {
        SetMax(storedMax);
        SetMin(storedMin);
    } else {
        SetMin(storedMin);
        SetMax(storedMax);
    }
    SetValue(ReadInt32(PropBag, QStringLiteral("Value"), DefaultValue));
}

void Slider::ReadProperties(const PropertyBag& PropBag) {
    ReadBounds(PropBag);
    SetBackColor(ReadInt32(PropBag, QStringLiteral("BackColor"), DefaultBackColor));
    SetForeColor(ReadInt32(PropBag, QStringLiteral("ForeColor"), DefaultForeColor));
    SetForeColor2(ReadInt32(PropBag, QStringLiteral("ForeColor2"), DefaultForeColor2));
    SetEnabled(ReadBool(PropBag, QStringLiteral("Enabled"), DefaultEnabled));
    SetSnap(ReadBool(PropBag, QStringLiteral("Snap"), DefaultSnap));
    SetStyle(ReadInt32(PropBag, QStringLiteral("Style"), DefaultStyle));
    selectStart_ = ReadInt32(PropBag, QStringLiteral("StartSelect"), DefaultSelect);
    selectEnd_ = ReadInt32(PropBag, QStringLiteral("EndSelect"), DefaultSelect);
    freeHandle_ = false;
    Redraw();
}

QSize Slider::sizeHint() const {
    return style_ == 0 ? QSize(200, 20) : QSize(20, 200);
}

QSize Slider::minimumSizeHint() const {
    return style_ == 0 ? QSize(63, 20) : QSize(20, 63);
}
