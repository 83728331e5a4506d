#include "Wait.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

namespace kestrel {

WaitOutcome waitUntil(const std::function<bool()>& done, int timeoutMs, const std::function<bool()>& failed)
{
    QDeadlineTimer deadline(timeoutMs, Qt::PreciseTimer);
    // Wakes the dispatcher at the deadline even when nothing else happens.
    // Re-armed whenever it has fired: a timer may fire a little early.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    for (;;) {
        if (done())
            return WaitOutcome::Done;
        if (failed && failed())
            return WaitOutcome::Failed;
        if (deadline.hasExpired())
            return WaitOutcome::TimedOut;
        if (!wake.isActive())
            wake.start(int(qMax<qint64>(1, deadline.remainingTime())));
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
}

} // namespace kestrel
