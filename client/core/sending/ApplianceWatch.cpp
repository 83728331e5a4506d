#include "ApplianceWatch.h"

#include <QPointer>

namespace kestrel {

ApplianceWatch::ApplianceWatch(CorvanefaxHost& host, QObject* parent) : QObject(parent), m_host(host) {}

void ApplianceWatch::setTimer(OneShotTimer& timer)
{
    const bool active = m_timer->isActive();
    m_timer->stop();
    m_timer = &timer;
    if (active)
        scheduleRetry();
}

MethodError ApplianceWatch::activate()
{
    ++m_activations;
    // No retry falls due during this wait: it is counted from its end.
    m_timer->stop();
    const bool wasAway = isAway();
    const QPointer<ApplianceWatch> self(this);
    const MethodError error = m_host.activate();
    if (!self)
        return error;
    --m_activations;
    if (isAway()) {
        // The activation this one ran inside sets the retry when it ends.
        if (m_activations == 0)
            scheduleRetry();
    } else if (wasAway && m_host.control()) {
        Q_EMIT backOnline();
    }
    // Those who joined wait for the answer of the outermost one.
    if (self && m_activations == 0)
        Q_EMIT activationFinished();
    return error;
}

void ApplianceWatch::scheduleRetry()
{
    m_timer->start(m_retryMs, [this] { retry(); });
}

void ApplianceWatch::retry()
{
    // An activation under way sets the next retry when it ends.
    if (isActivating())
        return;
    if (m_busy && m_busy()) {
        scheduleRetry();
        return;
    }
    m_retrying = true;
    const QPointer<ApplianceWatch> self(this);
    // A retry asks after the appliance only: its answer is isAway().
    (void)activate();
    if (self)
        m_retrying = false;
}

} // namespace kestrel
