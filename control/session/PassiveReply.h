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
// The port of a "227" reply. The address it names is not used: documents go
// only to the server the command connection reached.
std::optional<quint16> passivePort(const QString& reply);

} // namespace kestrel
