#pragma once

#include <QValidator>

namespace kestrel {

// Keeps a line edit to the digits of a fax number whatever way text comes
// in: typed, pasted (keys, context menu, middle click), dropped, or from an
// input method. Text that comes with other characters keeps its digits,
// read as the address book reads numbers ("+" becomes "00"); text without
// any digit is refused, and the line edit says so with inputRejected().
// One validator per line edit: it remembers the text it last let through.
class FaxNumberValidator : public QValidator
{
    Q_OBJECT
public:
    explicit FaxNumberValidator(QObject* parent = nullptr);

    State validate(QString& input, int& pos) const override;

private:
    mutable QString m_accepted;
};

} // namespace kestrel
