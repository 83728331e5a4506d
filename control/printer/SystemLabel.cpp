#include "SystemLabel.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace kestrel {

namespace {

// A value as the shell reads it: in double quotes a backslash keeps the
// next of $ " \ ` literally; single quotes keep everything.
QString unquoted(const QByteArray& raw)
{
    const QByteArray value = raw.trimmed();
    if (value.size() >= 2 && value.front() == '\'' && value.back() == '\'')
        return QString::fromUtf8(value.mid(1, value.size() - 2));
    if (value.size() < 2 || value.front() != '"' || value.back() != '"')
        return QString::fromUtf8(value);
    QByteArray out;
    for (qsizetype i = 1; i < value.size() - 1; ++i) {
        if (value[i] == '\\' && i + 1 < value.size() - 1 && QByteArrayView("$\"\\`").contains(value[i + 1]))
            ++i;
        out += value[i];
    }
    return QString::fromUtf8(out);
}

QString kernelName()
{
    utsname names{};
    if (uname(&names) != 0)
        return u"Linux"_s;
    return QString::fromLocal8Bit(names.sysname);
}

} // namespace

std::optional<QString> osReleaseValue(const QByteArray& text, const QByteArray& key)
{
    const QByteArray prefix = key + '=';
    std::optional<QString> found;
    for (const QByteArray& line : text.split('\n')) {
        const QByteArray trimmed = line.trimmed();
        // A key given twice counts as the shell would read it: the last.
        if (trimmed.startsWith(prefix))
            found = unquoted(trimmed.mid(prefix.size()));
    }
    return found;
}

QString osReleaseLabel(const QByteArray& text)
{
    if (const auto pretty = osReleaseValue(text, "PRETTY_NAME"); pretty && !pretty->trimmed().isEmpty())
        return pretty->trimmed();
    const QString name = osReleaseValue(text, "NAME").value_or(QString()).trimmed();
    if (name.isEmpty())
        return {};
    const QString version = osReleaseValue(text, "VERSION_ID").value_or(QString()).trimmed();
    return version.isEmpty() ? name : name + u' ' + version;
}

std::optional<QByteArray> readSmallRegularFile(const QString& path, qint64 maxBytes)
{
    // Non-blocking, so that opening a FIFO does not wait for a writer; what
    // was opened is then checked, not the name.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat info = {};
    std::optional<QByteArray> content;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        QByteArray bytes(qsizetype(qMax<qint64>(0, maxBytes)), Qt::Uninitialized);
        qsizetype filled = 0;
        while (filled < bytes.size()) {
            const ssize_t got = ::read(fd, bytes.data() + filled, size_t(bytes.size() - filled));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                break;
            filled += got;
        }
        bytes.truncate(filled);
        content = bytes;
    }
    ::close(fd);
    return content;
}

QString systemLabel(const QStringList& releaseFiles)
{
    for (const QString& path : releaseFiles) {
        if (const auto text = readSmallRegularFile(path, os::MaxReleaseBytes)) {
            if (QString label = osReleaseLabel(*text); !label.isEmpty())
                return label;
        }
    }
    return kernelName();
}

} // namespace kestrel
