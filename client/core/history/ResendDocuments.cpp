#include "ResendDocuments.h"

#include "OwnFile.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrel {
namespace {

enum class Found
{
    Present,
    Missing,
    Refused,
};

DocumentStamp stampFrom(const struct stat& info)
{
    return {qint64(info.st_size), qint64(info.st_mtim.tv_sec), qint64(info.st_mtim.tv_nsec)};
}

Found look(const QString& path, const DocumentStamp* sent)
{
    if (!path.startsWith(u'/'))
        return Found::Refused;
    const Expected<OwnFile> file = OwnFile::open(path, {.flags = O_RDONLY, .singleLink = true});
    if (!file)
        return file.error().number == ENOENT ? Found::Missing : Found::Refused;
    if (sent && !(sent->size >= 0 && stampFrom(file->info()) == *sent))
        return Found::Refused;
    return Found::Present;
}

} // namespace

ResendDocuments ResendDocuments::check(const QStringList& documents, const QList<DocumentStamp>& stamps)
{
    ResendDocuments result;
    for (qsizetype i = 0; i < documents.size(); ++i) {
        const QString& path = documents.at(i);
        // Stamps kept but not this one's: what was sent cannot be told.
        const DocumentStamp unknown;
        const DocumentStamp* sent = stamps.isEmpty() ? nullptr : i < stamps.size() ? &stamps.at(i) : &unknown;
        switch (look(path, sent)) {
        case Found::Present:
            result.present << path;
            break;
        case Found::Missing:
            result.missing << path;
            break;
        case Found::Refused:
            result.refused << path;
            break;
        }
    }
    return result;
}

DocumentStamp ResendDocuments::stampOf(const QString& path)
{
    struct stat info = {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return {};
    return stampFrom(info);
}

} // namespace kestrel
