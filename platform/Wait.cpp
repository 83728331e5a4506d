#include "Wait.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>
#include <QVariant>

#include <atomic>

namespace kestrel {
namespace {

std::atomic<bool> signalled{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

constexpr const char* RequestProperty = "kestrelInterruptionRequested";

} // namespace

void noteInterruptionFromSignal()
{
    signalled.store(true, std::memory_order_relaxed);
}

void requestInterruption()
{
    signalled.store(true, std::memory_order_relaxed);
    if (QCoreApplication* app = QCoreApplication::instance())
        app->setProperty(RequestProperty, true);
}

bool interruptionRequested()
{
    if (signalled.load(std::memory_order_relaxed))
        return true;
    const QCoreApplication* app = QCoreApplication::instance();
    return app && app->property(RequestProperty).toBool();
}

void clearInterruption()
{
    signalled.store(false, std::memory_order_relaxed);
    if (QCoreApplication* app = QCoreApplication::instance())
        app->setProperty(RequestProperty, QVariant());
}

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
        if (interruptionRequested())
            return WaitOutcome::Interrupted;
        if (deadline.hasExpired())
            return WaitOutcome::TimedOut;
        if (!wake.isActive())
            wake.start(int(qMax<qint64>(1, deadline.remainingTime())));
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
}

} // namespace kestrel
