#include "FaxStatusPoll.h"

namespace kestrel {

FaxStatusPoll::FaxStatusPoll(FaxStatusHost& host, int shortestMs, int longestMs, QObject* parent)
    : QObject(parent), m_host(host), m_shortestMs(shortestMs), m_longestMs(longestMs), m_waitMs(shortestMs)
{
    connect(&m_host, &FaxStatusHost::jobReported, this, &FaxStatusPoll::jobReported);
    connect(&m_host, &FaxStatusHost::queryEnded, this, &FaxStatusPoll::queryEnded);
}

int FaxStatusPoll::lengthenWait()
{
    m_waitMs = qMin(m_waitMs * 2, m_longestMs);
    return m_waitMs;
}

void FaxStatusPoll::setShortestMs(int ms)
{
    m_shortestMs = m_waitMs = ms;
}

} // namespace kestrel
