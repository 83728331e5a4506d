#pragma once

#include <QString>
#include <QVariant>

namespace kestrel {

// The host's saved design data: one entry per persisted property. A reader
// gets the default for a missing key; a writer passes the default too, so a
// bag may leave out values equal to it.
class IPropertyBag
{
public:
    virtual ~IPropertyBag() = default;
    virtual QVariant readProperty(const QString& name, const QVariant& defaultValue) = 0;
    virtual void writeProperty(const QString& name, const QVariant& value, const QVariant& defaultValue) = 0;
};

} // namespace kestrel
