#include "FileNameOf.h"

namespace kestrel {

QString FileNameOf(const QString& path)
{
    return path.mid(path.lastIndexOf(u'/') + 1);
}

} // namespace kestrel
