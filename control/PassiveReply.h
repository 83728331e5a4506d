#pragma once

#include <QString>

#include <optional>

namespace kestrel {

struct PassiveAddress
{
    QString host;
    quint16 port = 0;
};

// Reads the six numbers of a "227" reply (address parts, then the port's
// high and low byte). Tolerates missing parentheses and blanks; refuses
// numbers out of range or a port of 0.
std::optional<PassiveAddress> parsePassiveReply(const QString& reply);

} // namespace kestrel
