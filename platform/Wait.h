#pragma once

#include <functional>

namespace kestrel {

enum class WaitOutcome
{
    Done,
    Failed,
    TimedOut,
    // The program was asked to quit (requestInterruption()).
    Interrupted
};

// Processes pending events until done() holds, failed() holds, the time
// limit passes, or the program is asked to quit, and says which ended the
// wait. Handlers run nested inside it.
WaitOutcome waitUntil(const std::function<bool()>& done, int timeoutMs,
                      const std::function<bool()>& failed = {});

// A process-wide request to quit: every wait in progress, and every wait
// started after it, returns Interrupted at once. A quit that comes while a
// handler waits nested inside the event loop is otherwise lost until that
// wait's own limit (QCoreApplication::exit() leaves nested waits running).
// The request is held by the application object, so it reaches the waits of
// every module (the control library carries its own copy of this code).
// Call these on the application's thread.
void requestInterruption();
bool interruptionRequested();
// For tests, which go on after a request.
void clearInterruption();

// For a signal handler: marks the request for this module only, which is
// all that is safe there; the event loop side of the handler then calls
// requestInterruption() (SignalWatcher does).
void noteInterruptionFromSignal();

} // namespace kestrel
