#include "FaxNumberValidator.h"

#include "NormalizeFaxNumber.h"

namespace kestrel {

FaxNumberValidator::FaxNumberValidator(QObject* parent) : QValidator(parent) {}

QValidator::State FaxNumberValidator::validate(QString& input, int& pos) const
{
    // Every change of the line edit's text comes here, so the text it last
    // let through is the text the change started from. A refused edit is
    // undone by the line edit.
    const std::optional<QString> digits = NumberFieldText(m_accepted, input, &pos);
    if (!digits)
        return Invalid;
    input = *digits;
    m_accepted = input;
    return Acceptable;
}

} // namespace kestrel
