#include "ControlProperties.h"

using namespace Qt::StringLiterals;

namespace kestrel {

const std::array<ControlProperty, 8>& controlProperties()
{
    static const std::array<ControlProperty, 8> properties{{
        {u"IndirizzoIP", &ControlState::IndirizzoIP, u"ipdelfax"_s},
        {u"NomeStampante", &ControlState::NomeStampante, u"printer"_s},
        {u"NomeUtente", &ControlState::NomeUtente, u"test"_s},
        {u"PasswordUtente", &ControlState::PasswordUtente, u"lanterna"_s},
        {u"EmailAdress", &ControlState::notifyAddress, u"indirizzo"_s},
        {u"DebugOn", &ControlState::DebugOn, int(VbFalse)},
        {u"ChopOn", &ControlState::ChopOn, int(VbTrue)},
        {u"XMLStatus", &ControlState::XMLStatus, int(VbFalse)},
    }};
    return properties;
}

const ControlProperty& propertyOf(const ControlProperty::Field& field)
{
    for (const ControlProperty& property : controlProperties()) {
        if (property.field == field)
            return property;
    }
    Q_UNREACHABLE();
}

QVariant ControlProperty::read(const ControlState& state) const
{
    if (const auto* text = std::get_if<QString ControlState::*>(&field))
        return state.**text;
    return int(state.*std::get<VbBool ControlState::*>(field));
}

void ControlProperty::write(ControlState& state, const QVariant& value) const
{
    if (const auto* text = std::get_if<QString ControlState::*>(&field))
        state.** text = value.toString();
    else
        state.*std::get<VbBool ControlState::*>(field) = static_cast<VbBool>(value.toInt());
}

} // namespace kestrel
