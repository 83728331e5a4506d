#pragma once

#include <QDateTime>

namespace kestrel {

// The time of day, replaceable in tests.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

} // namespace kestrel
