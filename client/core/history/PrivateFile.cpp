#include "PrivateFile.h"

#include "ClientTexts.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

Error systemError(const QString& path, int number)
{
    return Error{path + u": "_s + QString::fromLocal8Bit(std::strerror(number)), number};
}

} // namespace

Expected<PrivateFile::Found> PrivateFile::prepare(const QString& path, bool create)
{
    const QByteArray name = QFile::encodeName(path);
    // Never through a symlink, never blocking on a FIFO.
    const int flags = O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (create ? O_CREAT : 0);
    const int fd = ::open(name.constData(), flags, S_IRUSR | S_IWUSR);
    if (fd < 0) {
        if (errno == ENOENT && !create)
            return Found::Missing;
        return systemError(path, errno);
    }
    struct stat info = {};
    Status status;
    if (::fstat(fd, &info) != 0)
        status = systemError(path, errno);
    else if (!S_ISREG(info.st_mode))
        status = Error{path + u": "_s + texts::history::NotRegularFile, EINVAL};
    else if (info.st_uid != ::geteuid())
        status = Error{path + u": "_s + texts::history::OtherUsersFile, EPERM};
    else if ((info.st_mode & 077) != 0 && ::fchmod(fd, S_IRUSR | S_IWUSR) != 0)
        status = systemError(path, errno);
    ::close(fd);
    if (!status)
        return status.error();
    return Found::Ready;
}

} // namespace kestrel
