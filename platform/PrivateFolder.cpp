#include "PrivateFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

constexpr mode_t PrivateMode = S_IRWXU;

} // namespace

bool PrivateFolder::isPrivate(const QString& path)
{
    struct stat info = {};
    return !path.isEmpty() && ::lstat(QFile::encodeName(path).constData(), &info) == 0 &&
           S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() && (info.st_mode & 07777) == PrivateMode;
}

Expected<QString> PrivateFolder::own(const QString& path)
{
    if (!QDir::isAbsolutePath(path))
        return Error{path + u": not an absolute path"_s};
    const QString clean = QDir::cleanPath(path);
    const QByteArray name = QFile::encodeName(clean);
    QDir().mkpath(QFileInfo(clean).absolutePath());
    if (::mkdir(name.constData(), PrivateMode) != 0 && errno != EEXIST)
        return Error{clean + u": "_s + qt_error_string(errno), errno};
    // Opened without following a symlink, so the mode changed is that of
    // the folder checked, and only when it is the user's own.
    const int fd = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return Error{clean + u": "_s + qt_error_string(errno), errno};
    struct stat info = {};
    const bool own = ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() &&
                     ((info.st_mode & 07777) == PrivateMode || ::fchmod(fd, PrivateMode) == 0);
    ::close(fd);
    if (!own || !isPrivate(clean))
        return Error{clean + u": not a folder of this user's alone"_s};
    return clean;
}

QString PrivateFolder::dataHome()
{
    const QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (QDir::isAbsolutePath(data))
        return QDir::cleanPath(data);
    const QString home = qEnvironmentVariable("HOME");
    return QDir::isAbsolutePath(home) ? QDir::cleanPath(home + u"/.local/share"_s) : QString();
}

} // namespace kestrel
