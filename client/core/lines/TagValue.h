#pragma once

#include <QChar>
#include <QString>

namespace kestrel {

// Texts longer than this give nothing: the appliance's line page is read
// with 16-bit positions.
constexpr qsizetype TagValueMaxText = 32767;

// The text after the first tag in text, up to (not including) the next
// delimiter or the end; empty when tag does not occur.
QString TagValue(const QString& tag, QChar delimiter, const QString& text);

} // namespace kestrel
