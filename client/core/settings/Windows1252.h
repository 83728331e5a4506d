#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <optional>

namespace kestrel {

// The code page of settings files written on Windows workstations. Qt has no
// codec for it; it is Latin-1 except for the 32 bytes 0x80-0x9F. The five
// bytes Windows leaves undefined there map to the C1 controls of the same
// value, as Windows itself decodes them, so every byte round-trips.
class Windows1252
{
public:
    static QString decode(QByteArrayView bytes);
    // Empty when a character has no byte in the code page.
    static std::optional<QByteArray> encode(QStringView text);
};

} // namespace kestrel
