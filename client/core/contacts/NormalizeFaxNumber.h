#pragma once

#include <QString>

#include <optional>

namespace kestrel {

// `NormalizeFaxNumber`: the form in which the address book shows and hands
// over every number: "+" becomes "00", then only "/" and the digits 0-9 stay.
// "+39 (02) 123-4567" gives "0039021234567"; a text without digits or "/"
// gives "".
QString NormalizeFaxNumber(const QString& text);

// What a number field holds: the digits of text read as above ("+"
// becomes "00"), without the "/". Each character gives its part alone, so
// the digits of a text's start are the start of its digits.
QString FaxNumberDigits(const QString& text);

// A number field after an edit turned `before` into `after`, however the
// text came in (typed, pasted, dropped, from an input method): only the
// digits stay, cursor (a position in `after`) moves with them. Nothing when
// the edit put in text without any digit: that edit is refused.
std::optional<QString> NumberFieldText(const QString& before, const QString& after, int* cursor);

} // namespace kestrel
