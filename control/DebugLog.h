#pragma once

#include <QString>

namespace kestrel {

// The control library's one diagnostics routine: appends a line to the debug
// window while DebugOn is exactly True, and does nothing otherwise. Hosts
// without windows get the lines on standard error instead.
void DebugLog(const QString& text);

} // namespace kestrel
