#pragma once

#include <QMap>
#include <QString>
#include <QVariant>

namespace kestrel {

// What the options window's fields hold, by settings key: filled on its
// load, read back by its save button. Text fields hold text, check boxes a
// flag.
class OptionFields
{
public:
    QString text(const QString& key) const { return m_values.value(key).toString(); }
    bool flag(const QString& key) const { return m_values.value(key).toBool(); }
    bool has(const QString& key) const { return m_values.contains(key); }
    void setText(const QString& key, const QString& text) { m_values.insert(key, text); }
    void setFlag(const QString& key, bool on) { m_values.insert(key, on); }

    bool operator==(const OptionFields&) const = default;

private:
    QMap<QString, QVariant> m_values;
};

} // namespace kestrel
