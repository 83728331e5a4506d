#pragma once

#include "PropertyBag.h"

#include <QVariantMap>

namespace kestrel {

// Design data held in memory by a host that keeps no file of its own.
class MemoryPropertyBag : public IPropertyBag
{
public:
    MemoryPropertyBag() = default;
    explicit MemoryPropertyBag(QVariantMap values) : m_values(std::move(values)) {}

    QVariant readProperty(const QString& name, const QVariant& defaultValue) override
    {
        return m_values.value(name, defaultValue);
    }
    void writeProperty(const QString& name, const QVariant& value, const QVariant& defaultValue) override
    {
        if (value == defaultValue)
            m_values.remove(name);
        else
            m_values.insert(name, value);
    }

    const QVariantMap& values() const { return m_values; }

private:
    QVariantMap m_values;
};

} // namespace kestrel
