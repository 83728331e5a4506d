#include "FaxStatusQuery.h"

#include "DebugLog.h"
#include "JobQuery.h"

#include <atomic>

namespace kestrel {
namespace {

std::atomic<int> liveObjects{0};

// A day: longer than any wait of a fax appliance, short enough for every
// timer.
constexpr int LongestWaitMs = 24 * 60 * 60 * 1000;

// A session goes later when its code may still be on the stack; it counts
// as alive until it has gone.
JobQuery* newQuery()
{
    auto* query = new JobQuery;
    ++liveObjects;
    QObject::connect(query, &QObject::destroyed, [] { --liveObjects; });
    return query;
}

} // namespace

FaxStatusQuery::FaxStatusQuery()
{
    ++liveObjects;
}

FaxStatusQuery::~FaxStatusQuery()
{
    --liveObjects;
    m_sink = nullptr;
    JobQuery* query = std::exchange(m_query, nullptr);
    if (query)
        query->stop();
    // Destroyed from inside one of its events: the session whose signal
    // raised it is still on the stack.
    m_activity->end([query, deferred = m_activity->busy()] {
        if (deferred && query)
            query->deleteLater();
        else
            delete query;
    });
}

int FaxStatusQuery::instanceCount()
{
    return liveObjects.load();
}

void FaxStatusQuery::SetServer(const QString& address, const QString& userName, const QString& password)
{
    m_server = address;
    m_userName = userName;
    m_password = password;
}

void FaxStatusQuery::SetWaitLimitMs(int ms)
{
    m_waitLimitMs = qBound(1, ms, LongestWaitMs);
}

bool FaxStatusQuery::Query(const QStringList& jobNumbers)
{
    if (m_query || jobNumbers.isEmpty())
        return false;
    m_query = newQuery();
    m_query->setLogger(&DebugLog);
    QObject::connect(m_query, &JobQuery::reported, m_query,
                     [this](const JobReport& report) { onReported(report); });
    QObject::connect(m_query, &JobQuery::finished, m_query,
                     [this](const QString& error) { onFinished(error); });
    m_query->start(m_server, m_userName, m_password, jobNumbers, m_waitLimitMs);
    return true;
}

void FaxStatusQuery::onReported(const JobReport& report)
{
    const Activity::Scope scope(m_activity);
    if (m_sink)
        m_sink->JobStatus(report);
}

void FaxStatusQuery::onFinished(const QString& error)
{
    const Activity::Scope scope(m_activity);
    // Done with before the host hears of it: it may ask again from its
    // handler. Its signal is still on its way out, so it goes later.
    std::exchange(m_query, nullptr)->deleteLater();
    if (m_sink)
        m_sink->QueryEnded(error);
}

} // namespace kestrel
