#include "RegularFile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrel {
namespace {

using State = RegularFile::State;

RegularFile::Contents failure(int number)
{
    if (number == ENOENT || number == ENOTDIR)
        return {State::Missing, {}, {}};
    return {State::Unreadable, {}, QString::fromLocal8Bit(std::strerror(number))};
}

// What stat says about a file before it is opened or read.
std::optional<State> refusal(const struct stat& info, qint64 maxBytes)
{
    if (!S_ISREG(info.st_mode))
        return State::NotRegular;
    if (info.st_size > maxBytes)
        return State::TooLarge;
    return std::nullopt;
}

RegularFile::Contents readAll(int fd, qint64 maxBytes)
{
    RegularFile::Contents contents{State::Read, {}, {}};
    char chunk[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return failure(errno);
        if (n == 0)
            return contents;
        contents.bytes.append(chunk, n);
        // The file grew since stat.
        if (contents.bytes.size() > maxBytes)
            return {State::TooLarge, {}, {}};
    }
}

} // namespace

RegularFile::Contents RegularFile::read(const QString& path, qint64 maxBytes)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info = {};
    // Checked before opening: opening a device can have effects of its own.
    if (::stat(name.constData(), &info) != 0)
        return failure(errno);
    if (const std::optional<State> refused = refusal(info, maxBytes))
        return {*refused, {}, {}};
    // Non-blocking, in case a FIFO took the file's place since.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return failure(errno);
    Contents contents;
    if (::fstat(fd, &info) != 0)
        contents = failure(errno);
    else if (const std::optional<State> refused = refusal(info, maxBytes))
        contents = {*refused, {}, {}};
    else
        contents = readAll(fd, maxBytes);
    ::close(fd);
    return contents;
}

} // namespace kestrel
