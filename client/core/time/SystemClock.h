#pragma once

#include "Clock.h"

namespace kestrel {

// Local time of the machine.
class SystemClock : public Clock
{
public:
    QDateTime now() const override;
};

} // namespace kestrel
