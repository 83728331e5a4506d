#pragma once

#include "Expected.h"

#include <QString>

namespace kestrel {

// Folders that no other user can enter, make or replace, for what another
// user must not read or silence.
class PrivateFolder
{
public:
    // True when path is a directory, not a symlink, owned by this user, mode
    // 0700.
    static bool isPrivate(const QString& path);
    // Creates path with mode 0700 (its parents as needed, with the usual
    // mode) or takes the user's own folder there, narrowing its mode to
    // 0700. The folder's path, or why it cannot be used (another user's, a
    // symlink, not writable).
    static Expected<QString> own(const QString& path);
    // The user's data folder: $XDG_DATA_HOME when it is an absolute path,
    // else ~/.local/share. Empty when neither is known.
    static QString dataHome();
};

} // namespace kestrel
