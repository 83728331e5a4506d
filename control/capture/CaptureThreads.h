#pragma once

#include <QByteArray>
#include <QThread>

#include <memory>
#include <vector>

namespace kestrel {

// The threads that read print jobs, off the thread of the windows: a large
// job no longer holds up the user's windows while it streams in, and jobs
// that arrive together are read on several processors at once.
//
// Each thread has its own read buffer, which only the jobs on that thread
// use. A new job goes to the thread with the fewest jobs; threads start when
// first needed and stop when this object goes.
class CaptureThreads
{
public:
    struct Thread
    {
        QThread thread;
        QByteArray readBuffer; // used on `thread` only
        int jobs = 0;
    };

    // count: how many threads at most (at least one).
    explicit CaptureThreads(int count = defaultCount());
    ~CaptureThreads();
    CaptureThreads(const CaptureThreads&) = delete;
    CaptureThreads& operator=(const CaptureThreads&) = delete;

    // The thread for a new job; its job count is raised by one.
    Thread& take();
    // A job of the thread has ended.
    void release(Thread& thread);
    // Stops every thread and waits for it. Objects whose deleteLater() was
    // called are deleted on their thread as it stops; nothing runs on the
    // threads afterwards.
    void stop();

    int started() const { return static_cast<int>(m_threads.size()); }

    // One per processor, two to four.
    static int defaultCount();

private:
    int m_count;
    std::vector<std::unique_ptr<Thread>> m_threads;
};

} // namespace kestrel
