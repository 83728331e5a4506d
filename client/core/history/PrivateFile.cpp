#include "PrivateFile.h"

#include "ClientTexts.h"
#include "OwnFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>

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
    const Expected<OwnFile> file =
        OwnFile::open(path, {.flags = O_RDWR | (create ? O_CREAT : 0), .mode = OwnFile::Mode::MakeUnshared});
    if (file)
        return Found::Ready;
    switch (file.error().number) {
    case ENOENT:
        if (!create)
            return Found::Missing;
        break;
    case OwnFile::NotRegular:
        return Error{path + u": "_s + texts::history::NotRegularFile, EINVAL};
    case OwnFile::OtherOwner:
        return Error{path + u": "_s + texts::history::OtherUsersFile, EPERM};
    default:
        break;
    }
    return systemError(path, file.error().number);
}

} // namespace kestrel
