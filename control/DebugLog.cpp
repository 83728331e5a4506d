#include "DebugLog.h"

#include "ControlState.h"
#include "DebugOutput.h"

namespace kestrel {

void DebugLog(const QString& text)
{
    if (ControlState::current().DebugOn != VbTrue)
        return;
    DebugOutput::current().append(text);
}

} // namespace kestrel
