#include "preview/SliderAccessible.h"

#include "engine/modMain.h"
#include "preview/Slider.h"

#include <QAccessible>

namespace {

QAccessibleInterface* SliderFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("Slider") && object != nullptr && object->isWidgetType()) {
        if (auto* slider = qobject_cast<Slider*>(object)) {
            return new SliderAccessible(slider);
        }
    }
    return nullptr;
}

} // namespace

SliderAccessible::SliderAccessible(Slider* slider)
    : QAccessibleWidget(slider, QAccessible::Slider) {}

void SliderAccessible::Install() {
    static const bool installed = [] {
        QAccessible::installFactory(&SliderFactory);
        return true;
    }();
    (void)installed;
}

Slider* SliderAccessible::slider() const {
    return static_cast<Slider*>(widget());
}

void* SliderAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::ValueInterface) {
        return static_cast<QAccessibleValueInterface*>(this);
    }
    return QAccessibleWidget::interface_cast(type);
}

QString SliderAccessible::text(QAccessible::Text t) const {
    if (t == QAccessible::Value) {
        return modMain::TimeText(slider()->Value());
    }
    QString text = QAccessibleWidget::text(t);
    if (t == QAccessible::Name && text.isEmpty()) {
        text = QStringLiteral("Position");
    }
    return text;
}

QVariant SliderAccessible::currentValue() const {
    return slider()->Value();
}

void SliderAccessible::setCurrentValue(const QVariant& value) {
    bool ok = false;
    const int wanted = value.toInt(&ok);
    if (ok) {
        slider()->SetValue(wanted);
    }
}

QVariant SliderAccessible::maximumValue() const {
    return slider()->Max();
}

QVariant SliderAccessible::minimumValue() const {
    return slider()->Min();
}

QVariant SliderAccessible::minimumStepSize() const {
    return 1;
}
