#include "ControlState.h"

namespace kestrel {

ControlState& ControlState::current()
{
    thread_local ControlState state;
    return state;
}

} // namespace kestrel
