#include "RuntimeFolder.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

constexpr mode_t PrivateMode = S_IRWXU;

bool ownedPrivateDirectory(const struct stat& info)
{
    return S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() && (info.st_mode & 07777) == PrivateMode;
}

} // namespace

RuntimeFolder::Sources RuntimeFolder::currentSources()
{
    return {qEnvironmentVariable("XDG_RUNTIME_DIR"), QDir::tempPath(),
            QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)};
}

bool RuntimeFolder::isPrivate(const QString& path)
{
    struct stat info = {};
    return !path.isEmpty() && ::lstat(QFile::encodeName(path).constData(), &info) == 0 &&
           ownedPrivateDirectory(info);
}

QString RuntimeFolder::ownFolder(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    ::mkdir(name.constData(), PrivateMode);
    // Opened without following a symlink, so the mode changed is that of
    // the folder checked, and only when it is the user's own.
    const int fd = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return {};
    struct stat info = {};
    const bool own = ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() &&
                     ((info.st_mode & 07777) == PrivateMode || ::fchmod(fd, PrivateMode) == 0);
    ::close(fd);
    return own && isPrivate(path) ? path : QString();
}

QString RuntimeFolder::resolve(const Sources& sources)
{
    // The session's folder is the system's: taken as it is, never changed.
    if (QDir::isAbsolutePath(sources.runtimeDir) && isPrivate(sources.runtimeDir))
        return QDir::cleanPath(sources.runtimeDir);
    const QString name = u"/kestrel-"_s + QString::number(::geteuid());
    if (QDir::isAbsolutePath(sources.tempDir)) {
        if (const QString own = ownFolder(QDir::cleanPath(sources.tempDir + name)); !own.isEmpty())
            return own;
    }
    // Another user took the name in the shared folder first: the home
    // folder is the user's alone.
    if (!QDir::isAbsolutePath(sources.cacheDir) || !QDir().mkpath(sources.cacheDir))
        return {};
    return ownFolder(QDir::cleanPath(sources.cacheDir + name));
}

} // namespace kestrel
