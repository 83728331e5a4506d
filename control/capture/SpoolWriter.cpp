#include "SpoolWriter.h"

#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#include <utility>

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

enum class Move
{
    Done,
    Taken,
    Failed
};

// Moves from to a name that must not exist. renameat2 with RENAME_NOREPLACE
// does it in one step; where the file system lacks it, a hard link does the
// same (link never follows or replaces what it finds at the new name). Never
// a copy: opening the new name for writing would follow a planted link.
Move moveToFreeName(const QByteArray& from, const QByteArray& to, int* error)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return Move::Done;
    if (errno == EEXIST)
        return Move::Taken;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
        *error = errno;
        return Move::Failed;
    }
    if (::link(from.constData(), to.constData()) != 0) {
        *error = errno;
        return errno == EEXIST ? Move::Taken : Move::Failed;
    }
    ::unlink(from.constData());
    return Move::Done;
}

} // namespace

Expected<std::unique_ptr<SpoolWriter>> SpoolWriter::create(const QString& folder)
{
    std::unique_ptr<SpoolWriter> writer(new SpoolWriter);
    int error = 0;
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QString name = folder + u"/.kestrel-spool-"_s +
                             QString::number(QRandomGenerator::global()->generate64(), 36) + u".part"_s;
        // Printed documents are private: owner-only, like the user's own
        // files. O_EXCL with O_NOFOLLOW: a name that exists, a link
        // included, is someone else's.
        const int fd = ::open(QFile::encodeName(name).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) {
            writer->m_path = name;
            writer->m_fd = fd;
            return writer;
        }
        error = errno;
        if (error != EEXIST && error != ELOOP)
            break;
    }
    return Error{qt_error_string(error), error};
}

SpoolWriter::~SpoolWriter()
{
    discard();
}

Error SpoolWriter::fail(const QString& what)
{
    discard();
    return Error{what};
}

Status SpoolWriter::write(QByteArrayView data)
{
    if (m_done)
        return Error{u"the spool file is closed"_s};
    for (qsizetype done = 0; done < data.size();) {
        const ssize_t wrote = ::write(m_fd, data.data() + done, static_cast<size_t>(data.size() - done));
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            return fail(qt_error_string(wrote < 0 ? errno : ENOSPC));
        done += wrote;
    }
    m_size += data.size();
    return {};
}

Expected<QString> SpoolWriter::commit(const SpoolName::Plan& plan)
{
    if (m_done)
        return Error{u"the spool file is closed"_s};
    if (Status written = write("\r\n"); !written)
        return written.error();
    // A file system that writes back at close (NFS, say) reports a full
    // disk only here.
    const int fd = std::exchange(m_fd, -1);
    if (::close(fd) != 0)
        return fail(qt_error_string(errno));
    const QByteArray from = QFile::encodeName(m_path);
    for (int attempt = 0; attempt < SpoolName::MaxAttempts; ++attempt) {
        const QString target = plan.candidate(attempt);
        int error = 0;
        switch (moveToFreeName(from, QFile::encodeName(target), &error)) {
        case Move::Done:
            m_done = true;
            return target;
        case Move::Taken:
            continue;
        case Move::Failed:
            return fail(qt_error_string(error));
        }
    }
    return fail(u"no free spool file name"_s);
}

void SpoolWriter::discard()
{
    if (m_done)
        return;
    m_done = true;
    if (m_fd >= 0)
        ::close(std::exchange(m_fd, -1));
    if (!m_path.isEmpty())
        ::unlink(QFile::encodeName(m_path).constData());
}

} // namespace kestrel
