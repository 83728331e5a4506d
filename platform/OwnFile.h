#pragma once

#include "Expected.h"

#include <QString>

#include <sys/stat.h>

namespace kestrel {

// A regular file of the user's own, opened by its name without following a
// link there and without blocking on a FIFO put in its place; what was
// opened is checked, not the name. Owns the descriptor: closed with the
// object.
class OwnFile
{
public:
    // How a file's permissions are taken.
    enum class Mode
    {
        AsFound,       // whatever they are
        RefuseShared,  // refused when group or others have any permission
        MakeUnshared,  // made 0600 when group or others have any permission
        MakeOwnerOnly, // made 0600 when it is anything else
    };

    struct Options
    {
        // O_RDONLY, O_WRONLY or O_RDWR, with O_CREAT (the file is made 0600)
        // or O_APPEND as wanted; the rest is added.
        int flags = 0;
        Mode mode = Mode::AsFound;
        // Refused when the file has another name (a hard link) as well.
        bool singleLink = false;
        // Refused when larger; no bound when negative.
        qint64 maxBytes = -1;
    };

    // The Error::number of a file refused by a check; any other number is
    // the system's error (errno) of opening, inspecting or restricting it.
    enum Refusal : int
    {
        NotRegular = -1,
        OtherOwner = -2,
        Shared = -3,
        OtherNames = -4,
        TooLarge = -5,
    };

    static Expected<OwnFile> open(const QString& path, const Options& options);

    OwnFile(OwnFile&& other) noexcept;
    OwnFile& operator=(OwnFile&& other) noexcept;
    OwnFile(const OwnFile&) = delete;
    OwnFile& operator=(const OwnFile&) = delete;
    ~OwnFile();

    int descriptor() const { return m_fd; }
    // What fstat said of it when it was opened.
    const struct stat& info() const { return m_info; }
    // Hands the descriptor over to the caller, who closes it.
    int release();

private:
    OwnFile(int fd, const struct stat& info) : m_fd(fd), m_info(info) {}

    int m_fd = -1;
    struct stat m_info = {};
};

} // namespace kestrel
