#include "FaxStatusQuery.h"

#include "DebugLog.h"
#include "JobActionProtocol.h"
#include "JobQuery.h"

#include <atomic>

using namespace Qt::StringLiterals;

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
    m_actionSink = nullptr;
    const QList<JobQuery*> sessions{std::exchange(m_query, nullptr), std::exchange(m_action, nullptr)};
    for (JobQuery* session : sessions) {
        if (session)
            session->stop();
    }
    // Destroyed from inside one of its events: the session whose signal
    // raised it is still on the stack.
    m_activity->end([sessions, deferred = m_activity->busy()] {
        for (JobQuery* session : sessions) {
            if (deferred && session)
                session->deleteLater();
            else
                delete session;
        }
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

bool FaxStatusQuery::Cancel(const QStringList& jobNumbers)
{
    if (jobNumbers.isEmpty())
        return false;
    return startAction(std::make_unique<JobActionProtocol>(m_userName, m_password, jobNumbers),
                       u"cancelling jobs "_s + jobNumbers.join(u", "_s));
}

bool FaxStatusQuery::MoveSendTime(const QString& jobNumber, const QDateTime& sendTime)
{
    if (jobNumber.isEmpty() || !sendTime.isValid())
        return false;
    return startAction(std::make_unique<JobActionProtocol>(m_userName, m_password, jobNumber, sendTime),
                       u"moving job %1 to %2 UTC"_s.arg(jobNumber, JobActionProtocol::wireTime(sendTime)));
}

bool FaxStatusQuery::startAction(std::unique_ptr<JobSessionProtocol> protocol, const QString& logged)
{
    if (m_action)
        return false;
    m_action = newQuery();
    m_action->setLogger(&DebugLog);
    QObject::connect(m_action, &JobQuery::acted, m_action,
                     [this](const JobActionReport& report) { onActed(report); });
    QObject::connect(m_action, &JobQuery::finished, m_action,
                     [this](const QString& error) { onActionFinished(error); });
    DebugLog(u"Status: %1 on %2"_s.arg(logged, m_server));
    m_action->start(m_server, std::move(protocol), m_waitLimitMs);
    return true;
}

void FaxStatusQuery::onActed(const JobActionReport& report)
{
    const Activity::Scope scope(m_activity);
    if (m_actionSink)
        m_actionSink->JobActed(report);
}

void FaxStatusQuery::onActionFinished(const QString& error)
{
    const Activity::Scope scope(m_activity);
    std::exchange(m_action, nullptr)->deleteLater();
    if (m_actionSink)
        m_actionSink->ActionsEnded(error);
}

} // namespace kestrel
