#include "OpenContactStore.h"

#include "FileContactStore.h"
#include "ServerContactStore.h"

namespace kestrel {

std::unique_ptr<ContactStore> openContactStore(const QString& rubrica)
{
    if (ServerContactStore::isServerAddress(rubrica))
        return std::make_unique<ServerContactStore>(rubrica);
    return std::make_unique<FileContactStore>(rubrica);
}

} // namespace kestrel
