#include "SystemClock.h"

namespace kestrel {

QDateTime SystemClock::now() const
{
    return QDateTime::currentDateTime();
}

} // namespace kestrel
