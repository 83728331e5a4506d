#include "ResendDocuments.h"

#include <QFile>

#include <sys/stat.h>

namespace kestrel {

ResendDocuments ResendDocuments::check(const QStringList& documents)
{
    ResendDocuments result;
    for (const QString& path : documents) {
        struct stat info = {};
        const bool regular = ::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISREG(info.st_mode);
        (regular ? result.present : result.missing) << path;
    }
    return result;
}

} // namespace kestrel
