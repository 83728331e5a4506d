#include "PropertyBag.h"

namespace kestrel {

QVariant MemoryPropertyBag::readProperty(const QString& name, const QVariant& defaultValue)
{
    return m_values.value(name, defaultValue);
}

void MemoryPropertyBag::writeProperty(const QString& name, const QVariant& value,
                                      const QVariant& defaultValue)
{
    if (value == defaultValue)
        m_values.remove(name);
    else
        m_values.insert(name, value);
}

} // namespace kestrel
