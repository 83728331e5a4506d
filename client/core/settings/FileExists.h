#pragma once

#include <QString>

namespace kestrel {

// True when path names an existing file; folders do not count.
bool fileExists(const QString& path);

} // namespace kestrel
