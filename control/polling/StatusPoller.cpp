#include "StatusPoller.h"

#include "AppliancePages.h"
#include "HttpGet.h"
#include "Wait.h"

#include <QDeadlineTimer>
#include <QPointer>

#include <optional>

using namespace Qt::StringLiterals;

namespace kestrel {

namespace {

struct StatusPage
{
    const QString& path;
    const QString& closingTag;
    QLatin1String logPrefix;
    void (StatusPoller::*event)(const QString&);
};

} // namespace

StatusPoller::StatusPoller(QObject* parent) : QObject(parent), m_tickTimeLimitMs(PageTimeoutMs)
{
    m_timer1.setObjectName(u"Timer1"_s);
    m_timer1.setInterval(IntervalMs);
    connect(&m_timer1, &QTimer::timeout, this, &StatusPoller::tick);
}

void StatusPoller::enable(bool on)
{
    if (on) {
        m_stopTick = false;
        m_timer1.setInterval(IntervalMs);
        m_timer1.start();
    } else {
        m_timer1.stop();
        m_stopTick = m_ticking;
    }
}

void StatusPoller::log(const QString& line) const
{
    if (m_logger)
        m_logger(line);
}

void StatusPoller::tick()
{
    if (m_ticking) {
        log(u"XML status: previous poll still running, tick skipped"_s);
        return;
    }
    std::optional<Activity::Scope> scope;
    if (m_activity)
        scope.emplace(m_activity);
    m_ticking = true;
    m_stopTick = false;

    const StatusPage steps[] = {
        {pages::Modems, pages::ModemsEnd, "XML appliance status:"_L1, &StatusPoller::XMLServerStatus},
        {pages::Queue, pages::JobsEnd, "XML queue status:"_L1, &StatusPoller::XMLFaxOutStatus},
        {pages::Done, pages::JobsEnd, "XML done status:"_L1, &StatusPoller::XMLFaxDoneStatus},
    };
    // The requests and the host's event handlers run the event loop; the host
    // may destroy this object meanwhile, so nothing touches it once it is gone.
    const QPointer<StatusPoller> self(this);
    const QString address = m_address;
    const QDeadlineTimer deadline(m_tickTimeLimitMs);

    for (const StatusPage& step : steps) {
        // The program is quitting: the rest of the round is not wanted.
        if (interruptionRequested())
            break;
        const qint64 remaining = deadline.remainingTime();
        if (remaining <= 0) {
            log(u"XML status: "_s + step.path + u" skipped, no time left in this poll"_s);
            continue;
        }
        const int limit = static_cast<int>(qMin<qint64>(remaining, PageTimeoutMs));
        const Expected<QString> page = httpGet(appliancePageUrl(address, step.path), limit);
        if (!self)
            return;
        if (m_stopTick || interruptionRequested())
            break;
        if (!page) {
            log(u"XML status: "_s + step.path + u" failed: "_s + page.error().message);
            continue;
        }
        const qsizetype at = page->indexOf(step.closingTag, 0, Qt::CaseSensitive);
        if (at < 0)
            continue;
        log(step.logPrefix + QString::number(at + 1));
        Q_EMIT(this->*step.event)(*page);
        if (!self)
            return;
        if (m_stopTick)
            break;
    }
    m_ticking = false;
}

} // namespace kestrel
