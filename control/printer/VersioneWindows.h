#pragma once

#include <QString>

namespace kestrel {

// The version label of a system, from the platform id, major and minor
// version that the version query reports: "32s", "95", "ME", "98", "Vista",
// "Windows7", "Windows8", "Sconosciuto <major><minor>" or empty text.
QString VersioneWindows(int platformId, int major, int minor);

// The label of the running system. Linux reports platform id 2 with the
// kernel's major and minor version; empty text when they cannot be read.
QString VersioneWindows();

// Major and minor version from a kernel release such as "6.1.0-18-amd64".
bool parseKernelRelease(const QString& release, int* major, int* minor);

} // namespace kestrel
