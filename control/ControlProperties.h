#pragma once

#include "ControlState.h"

#include <QString>
#include <QVariant>

#include <array>
#include <variant>

namespace kestrel {

// The control's persisted properties, in the order the host's design data
// keeps them: each one's name (the key of that data and the name the host is
// told when it changes), the field of the shared state that holds it, and
// its default.
struct ControlProperty
{
    using Field = std::variant<QString ControlState::*, VbBool ControlState::*>;

    QStringView name;
    Field field;
    QVariant defaultValue;

    QVariant read(const ControlState& state) const;
    void write(ControlState& state, const QVariant& value) const;
};

const std::array<ControlProperty, 8>& controlProperties();

// The property a field holds.
const ControlProperty& propertyOf(const ControlProperty::Field& field);

} // namespace kestrel
