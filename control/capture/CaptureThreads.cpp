#include "CaptureThreads.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace kestrel {

CaptureThreads::CaptureThreads(int count) : m_count(std::max(1, count)) {}

CaptureThreads::~CaptureThreads()
{
    stop();
}

int CaptureThreads::defaultCount()
{
    return std::clamp(QThread::idealThreadCount(), 2, 4);
}

CaptureThreads::Thread& CaptureThreads::take()
{
    auto least = std::min_element(m_threads.begin(), m_threads.end(),
                                  [](const auto& a, const auto& b) { return a->jobs < b->jobs; });
    if (least == m_threads.end() || ((*least)->jobs > 0 && started() < m_count)) {
        auto thread = std::make_unique<Thread>();
        thread->thread.setObjectName(u"print capture %1"_s.arg(started() + 1));
        thread->thread.start();
        m_threads.push_back(std::move(thread));
        least = std::prev(m_threads.end());
    }
    ++(*least)->jobs;
    return **least;
}

void CaptureThreads::release(Thread& thread)
{
    thread.jobs = std::max(0, thread.jobs - 1);
}

void CaptureThreads::stop()
{
    for (const auto& thread : m_threads)
        thread->thread.quit();
    for (const auto& thread : m_threads)
        thread->thread.wait();
}

} // namespace kestrel
