#include "FileExists.h"

#include <QFileInfo>

namespace kestrel {

bool fileExists(const QString& path)
{
    return !path.isEmpty() && QFileInfo(path).isFile();
}

} // namespace kestrel
