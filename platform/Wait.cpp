#include "Wait.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

namespace kestrel {

WaitOutcome waitUntil(const std::function<bool()>& done, int timeoutMs, const std::function<bool()>& failed)
{
    QDeadlineTimer deadline(timeoutMs);
    // Wakes the dispatcher at the deadline even when nothing else happens.
    QTimer wake;
    wake.setSingleShot(true);
    wake.start(timeoutMs);
    for (;;) {
        if (done())
            return WaitOutcome::Done;
        if (failed && failed())
            return WaitOutcome::Failed;
        if (deadline.hasExpired())
            return WaitOutcome::TimedOut;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
}

} // namespace kestrel
