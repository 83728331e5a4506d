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

Expected<OwnFile> KeptSpools::open(int flags) const
{
    Expected<OwnFile> note = OwnFile::open(
        m_path,
        {.flags = flags, .mode = OwnFile::Mode::RefuseShared, .singleLink = true, .maxBytes = MaxBytes});
    // A check refused it: the system's errors come as they are.
    if (!note && note.error().number < 0)
        return Error{m_path + u": not a private file of this user's, left alone"_s};
    return note;
}

Status KeptSpools::add(const QString& spoolFile)
{
    const Expected<OwnFile> note = open(O_WRONLY | O_CREAT | O_APPEND);
    if (!note)
        return note.error();
    // NUL ends each name: no file name holds one.
    const QByteArray entry = QFile::encodeName(spoolFile) + '\0';
    struct stat info = {};
    if (::fstat(note->descriptor(), &info) != 0 || info.st_size + entry.size() > MaxBytes)
        return Error{m_path + u": full"_s};
    if (::write(note->descriptor(), entry.constData(), size_t(entry.size())) != entry.size())
        return errorFor(m_path, errno);
    return {};
}

Expected<QStringList> KeptSpools::take()
{
    const Expected<OwnFile> note = open(O_RDWR);
    if (!note)
        return note.error().number == ENOENT ? Expected<QStringList>(QStringList()) : note.error();
    QByteArray content(MaxBytes + 1, Qt::Uninitialized);
    qsizetype size = 0;
    while (size < content.size()) {
        const ssize_t got = ::read(note->descriptor(), content.data() + size, size_t(content.size() - size));
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
    if (::ftruncate(note->descriptor(), 0) != 0)
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
