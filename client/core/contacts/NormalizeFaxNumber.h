#pragma once

#include <QString>

namespace kestrel {

// `NormalizeFaxNumber`: the form in which the address book shows and hands
// over every number: "+" becomes "00", then only "/" and the digits 0-9 stay.
// "+39 (02) 123-4567" gives "0039021234567"; a text without digits or "/"
// gives "".
QString NormalizeFaxNumber(const QString& text);

} // namespace kestrel
