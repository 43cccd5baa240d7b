#pragma once

#include <QAccessibleWidget>

class Slider;

// What a screen reader knows of the seek slider: a slider named as the host names it
// ("Position"), whose value is read as a time (00:01:15, whole seconds as the slider holds
// them) and can be set, between Min and Max. Installed for every Slider by
// SliderAccessible::Install (the Slider does so itself).
class SliderAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit SliderAccessible(Slider* slider);

    // Makes Qt's accessibility ask this class for every Slider; once per program.
    static void Install();

    void* interface_cast(QAccessible::InterfaceType type) override;
    QString text(QAccessible::Text t) const override;

    QVariant currentValue() const override;
    void setCurrentValue(const QVariant& value) override;
    QVariant maximumValue() const override;
    QVariant minimumValue() const override;
    QVariant minimumStepSize() const override;

private:
    Slider* slider() const;
};
