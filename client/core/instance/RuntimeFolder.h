#pragma once

#include <QString>

namespace kestrel {

// A folder for names (local sockets, lock files) that no other user can
// make or replace: the session's $XDG_RUNTIME_DIR when it is sound, else a
// folder "kestrel-<uid>" in the temporary folder that this user created and
// alone can enter, else (another user made that name first) a folder
// "kestrel-<uid>" in the user's own cache folder. A folder is trusted only
// when lstat finds a directory (not a symlink) owned by the user with mode
// 0700; a name another user made first is never used.
class RuntimeFolder
{
public:
    // What the choice depends on, gathered so that tests can set each part.
    struct Sources
    {
        Sources() = default;
        Sources(QString runtime, QString temp, QString cache = {})
            : runtimeDir(std::move(runtime)), tempDir(std::move(temp)), cacheDir(std::move(cache))
        {}

        QString runtimeDir; // XDG_RUNTIME_DIR
        QString tempDir;    // the system's temporary folder
        QString cacheDir;   // the user's cache folder, in the home folder
    };

    static Sources currentSources();

    // The folder's absolute path, or empty when none is safe to use.
    static QString resolve(const Sources& sources);
    static QString resolve() { return resolve(currentSources()); }
};

} // namespace kestrel
