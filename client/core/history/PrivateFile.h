#pragma once

#include "Expected.h"

#include <QString>

namespace kestrel {

// A file of the program folder that holds the user's own data: it must be a
// regular file of the user's, never a symlink, FIFO or device someone else
// put there, and readable by its owner only.
class PrivateFile
{
public:
    enum class Found
    {
        Ready,   // there, the user's, mode 0600 (made so when it was wider)
        Missing, // not there, and not to be made
    };

    // Checks path (and makes it, empty and 0600, when create is set and it
    // is missing). The error says why the file cannot be used.
    static Expected<Found> prepare(const QString& path, bool create);
};

} // namespace kestrel
