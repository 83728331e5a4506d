#include "RuntimeFolder.h"

#include "PrivateFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace kestrel {

RuntimeFolder::Sources RuntimeFolder::currentSources()
{
    return {qEnvironmentVariable("XDG_RUNTIME_DIR"), QDir::tempPath(),
            QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)};
}

QString RuntimeFolder::resolve(const Sources& sources)
{
    // The session's folder is the system's: taken as it is, never changed.
    if (QDir::isAbsolutePath(sources.runtimeDir) && PrivateFolder::isPrivate(sources.runtimeDir))
        return QDir::cleanPath(sources.runtimeDir);
    const QString name = u"/kestrel-"_s + QString::number(::geteuid());
    // Made in the temporary folder only when that is there.
    if (QDir::isAbsolutePath(sources.tempDir) && QFileInfo(sources.tempDir).isDir()) {
        if (const Expected<QString> own = PrivateFolder::own(sources.tempDir + name))
            return *own;
    }
    // Another user took the name in the shared folder first: the home
    // folder is the user's alone.
    if (!QDir::isAbsolutePath(sources.cacheDir) || !QDir().mkpath(sources.cacheDir))
        return {};
    const Expected<QString> own = PrivateFolder::own(sources.cacheDir + name);
    return own ? *own : QString();
}

} // namespace kestrel
