#include "OwnFile.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

constexpr mode_t OwnerOnly = S_IRUSR | S_IWUSR;

Error systemError(const QString& path, int number)
{
    return Error{path + u": "_s + qt_error_string(number), number};
}

// Why the file behind info is not to be used, or 0.
int refusalOf(const struct stat& info, const OwnFile::Options& options)
{
    if (!S_ISREG(info.st_mode))
        return OwnFile::NotRegular;
    if (info.st_uid != ::geteuid())
        return OwnFile::OtherOwner;
    if (options.singleLink && info.st_nlink != 1)
        return OwnFile::OtherNames;
    if (options.maxBytes >= 0 && info.st_size > options.maxBytes)
        return OwnFile::TooLarge;
    if (options.mode == OwnFile::Mode::RefuseShared && (info.st_mode & 077) != 0)
        return OwnFile::Shared;
    return 0;
}

QString refusalText(int refusal)
{
    switch (refusal) {
    case OwnFile::NotRegular:
        return u"not a regular file"_s;
    case OwnFile::OtherOwner:
        return u"another user's file"_s;
    case OwnFile::Shared:
        return u"readable or writable by others"_s;
    case OwnFile::OtherNames:
        return u"has another name (a hard link)"_s;
    default:
        return u"too large"_s;
    }
}

bool wantsRestriction(mode_t mode, OwnFile::Mode wanted)
{
    if (wanted == OwnFile::Mode::MakeUnshared)
        return (mode & 077) != 0;
    if (wanted == OwnFile::Mode::MakeOwnerOnly)
        return (mode & 07777) != OwnerOnly;
    return false;
}

} // namespace

Expected<OwnFile> OwnFile::open(const QString& path, const Options& options)
{
    // Never through a link, never blocking on a FIFO, never taking a
    // terminal as the controlling one.
    const int fd = ::open(QFile::encodeName(path).constData(),
                          options.flags | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, OwnerOnly);
    if (fd < 0)
        return systemError(path, errno);
    struct stat info = {};
    Error error;
    if (::fstat(fd, &info) != 0) {
        error = systemError(path, errno);
    } else if (const int refusal = refusalOf(info, options)) {
        error = Error{path + u": "_s + refusalText(refusal), refusal};
    } else {
        const bool restrict = wantsRestriction(info.st_mode, options.mode);
        if (!restrict || ::fchmod(fd, OwnerOnly) == 0) {
            if (restrict)
                info.st_mode = (info.st_mode & ~mode_t(07777)) | OwnerOnly;
            return OwnFile(fd, info);
        }
        error = systemError(path, errno);
    }
    ::close(fd);
    return error;
}

OwnFile::OwnFile(OwnFile&& other) noexcept : m_fd(other.release()), m_info(other.m_info) {}

OwnFile& OwnFile::operator=(OwnFile&& other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_info = other.m_info;
        m_fd = other.release();
    }
    return *this;
}

OwnFile::~OwnFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

int OwnFile::release()
{
    return std::exchange(m_fd, -1);
}

} // namespace kestrel
