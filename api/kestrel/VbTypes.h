#pragma once

#include <QtGlobal>

namespace kestrel {

// Booleans of the control's surface are 16-bit: True is -1, False is 0, and
// the control compares with VbTrue exactly where a flag must be "on".
using VbBool = qint16;
constexpr VbBool VbTrue = -1;
constexpr VbBool VbFalse = 0;

} // namespace kestrel
