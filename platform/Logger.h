#pragma once

#include <QString>

#include <functional>

namespace kestrel {

// Where a component writes its diagnostics, one line a call; an empty one
// writes nowhere. The control hands its components DebugLog.
using Logger = std::function<void(const QString& line)>;

} // namespace kestrel
