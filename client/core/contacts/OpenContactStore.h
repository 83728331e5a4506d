#pragma once

#include "ContactStore.h"

#include <memory>

namespace kestrel {

// The store RUBRICA names: a database server for a connection URI
// ("postgresql://..."), else the SQLite file at that path.
std::unique_ptr<ContactStore> openContactStore(const QString& rubrica);

} // namespace kestrel
