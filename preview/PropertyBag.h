#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

// The named values a window keeps for one of its controls. A value written equal to its default
// is not kept (and removes an earlier one of that name); reading a name that is not kept gives
// the default. The names keep the order in which they were first written.
class PropertyBag {
public:
    PropertyBag() = default;
    // A bag holding the given values (for example stored ones, or a window's own defaults).
    explicit PropertyBag(const QVariantMap& values);

    void WriteProperty(const QString& name, const QVariant& value, const QVariant& defaultValue);
    QVariant ReadProperty(const QString& name, const QVariant& defaultValue) const;

    bool Contains(const QString& name) const { return values_.contains(name); }
    // The kept names in the order they were written.
    QStringList Names() const { return names_; }
    QVariantMap ToMap() const { return values_; }

private:
    QVariantMap values_;
    QStringList names_;
};
