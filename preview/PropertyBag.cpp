#include "preview/PropertyBag.h"

PropertyBag::PropertyBag(const QVariantMap& values) : values_(values), names_(values.keys()) {}

void PropertyBag::WriteProperty(const QString& name, const QVariant& value,
                                const QVariant& defaultValue) {
    if (value == defaultValue) {
        values_.remove(name);
        names_.removeAll(name);
        return;
    }
    if (!values_.contains(name)) {
        names_.append(name);
    }
    values_.insert(name, value);
}

QVariant PropertyBag::ReadProperty(const QString& name, const QVariant& defaultValue) const {
    return values_.value(name, defaultValue);
}
