#include "KeptSpools.h"

#include "PrivateFolder.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

class Descriptor
{
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() { ::close(m_fd); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

Error errorFor(const QString& path, int number)
{
    return Error{path + u": "_s + qt_error_string(number), number};
}

// The user's own regular file; lstat: a link is not its target.
bool isOwnRegularFile(const QString& path)
{
    struct stat info = {};
    return path.startsWith(u'/') && ::lstat(QFile::encodeName(path).constData(), &info) == 0 &&
           S_ISREG(info.st_mode) && info.st_uid == ::geteuid();
}

} // namespace

KeptSpools::KeptSpools(const QString& folder)
    : m_path(folder + u"/.kestrel-unannounced-"_s + QString::number(::geteuid()))
{}

Expected<QString> KeptSpools::recordFolder()
{
    const QString data = PrivateFolder::dataHome();
    const Expected<QString> own = data.isEmpty()
                                      ? Expected<QString>(Error{u"no data folder ($XDG_DATA_HOME, $HOME)"_s})
                                      : PrivateFolder::own(data + u"/kestrel"_s);
    if (own)
        return own;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (QDir::isAbsolutePath(runtime) && PrivateFolder::isPrivate(runtime))
        return QDir::cleanPath(runtime);
    return own.error();
}

Expected<int> KeptSpools::open(int flags) const
{
    // O_NONBLOCK: a FIFO put there must not hold the program up.
    const int fd =
        ::open(QFile::encodeName(m_path).constData(), flags | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
    if (fd < 0)
        return errorFor(m_path, errno);
    struct stat info = {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid() ||
        (info.st_mode & 077) != 0 || info.st_nlink != 1 || info.st_size > MaxBytes) {
        ::close(fd);
        return Error{m_path + u": not a private file of this user's, left alone"_s};
    }
    return fd;
}

Status KeptSpools::add(const QString& spoolFile)
{
    const Expected<int> opened = open(O_WRONLY | O_CREAT | O_APPEND);
    if (!opened)
        return opened.error();
    const Descriptor note(*opened);
    // NUL ends each name: no file name holds one.
    const QByteArray entry = QFile::encodeName(spoolFile) + '\0';
    struct stat info = {};
    if (::fstat(note.get(), &info) != 0 || info.st_size + entry.size() > MaxBytes)
        return Error{m_path + u": full"_s};
    if (::write(note.get(), entry.constData(), size_t(entry.size())) != entry.size())
        return errorFor(m_path, errno);
    return {};
}

Expected<QStringList> KeptSpools::take()
{
    const Expected<int> opened = open(O_RDWR);
    if (!opened)
        return opened.error().number == ENOENT ? Expected<QStringList>(QStringList()) : opened.error();
    const Descriptor note(*opened);
    QByteArray content(MaxBytes + 1, Qt::Uninitialized);
    qsizetype size = 0;
    while (size < content.size()) {
        const ssize_t got = ::read(note.get(), content.data() + size, size_t(content.size() - size));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return errorFor(m_path, errno);
        if (got == 0)
            break;
        size += got;
    }
    content.truncate(size);
    // Emptied first: a file is announced once, even when the removal fails.
    if (::ftruncate(note.get(), 0) != 0)
        return errorFor(m_path, errno);
    ::unlink(QFile::encodeName(m_path).constData());
    QStringList files;
    for (const QByteArray& entry : content.split('\0')) {
        const QString file = QFile::decodeName(entry);
        if (!entry.isEmpty() && !files.contains(file) && isOwnRegularFile(file))
            files.append(file);
    }
    return files;
}

} // namespace kestrel
