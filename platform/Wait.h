#pragma once

#include <functional>

namespace kestrel {

enum class WaitOutcome
{
    Done,
    Failed,
    TimedOut
};

// Processes pending events until done() holds, failed() holds, or the time
// limit passes, and says which of the three ended the wait. Handlers run
// nested inside it.
WaitOutcome waitUntil(const std::function<bool()>& done, int timeoutMs,
                      const std::function<bool()>& failed = {});

} // namespace kestrel
