#include "ApplianceWatch.h"

namespace kestrel {

ApplianceWatch::ApplianceWatch(CorvanefaxHost& host, QObject* parent) : QObject(parent), m_host(host)
{
    m_retry.setInterval(RetryMs);
    connect(&m_retry, &QTimer::timeout, this, &ApplianceWatch::retry);
}

MethodError ApplianceWatch::activate()
{
    const bool wasAway = isAway();
    const MethodError error = m_host.activate();
    afterActivation(wasAway);
    return error;
}

void ApplianceWatch::retry()
{
    if (m_retrying || (m_busy && m_busy()))
        return;
    m_retrying = true;
    const bool wasAway = isAway();
    m_host.activate();
    m_retrying = false;
    afterActivation(wasAway);
}

void ApplianceWatch::afterActivation(bool wasAway)
{
    if (isAway()) {
        if (!m_retry.isActive())
            m_retry.start();
        return;
    }
    m_retry.stop();
    if (wasAway && m_host.control())
        Q_EMIT backOnline();
}

} // namespace kestrel
