#pragma once

#include <QString>

namespace kestrel {

// The part of path after its last "/": the whole text when it has none,
// empty when it ends in "/".
QString FileNameOf(const QString& path);

} // namespace kestrel
