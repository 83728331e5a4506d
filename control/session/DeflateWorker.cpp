#include "DeflateWorker.h"

namespace kestrel {
namespace {

qint64 nanoseconds(std::chrono::steady_clock::duration d)
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(d).count();
}

} // namespace

DeflateWorker::~DeflateWorker()
{
    stop();
}

void DeflateWorker::start(std::unique_ptr<QIODevice> source, Wake wake, int level)
{
    stop();
    m_source = std::move(source);
    m_wake = std::move(wake);
    m_queue.clear();
    m_queued = 0;
    m_cancel = m_finished = m_failed = m_takerWaiting = m_anyTaken = false;
    m_error.clear();
    m_read = 0;
    m_level = level;
    m_starvedSince.reset();
    m_starvedNs = 0;
    m_thread = std::thread([this, level] { run(level); });
}

void DeflateWorker::stop()
{
    if (m_thread.joinable()) {
        {
            const std::lock_guard lock(m_mutex);
            m_cancel = true;
        }
        m_room.notify_all();
        m_thread.join();
    }
    m_source.reset();
    m_wake = nullptr;
    const std::lock_guard lock(m_mutex);
    m_queue.clear();
    m_queued = 0;
}

DeflateWorker::Taken DeflateWorker::take(bool connectionIdle)
{
    const std::lock_guard lock(m_mutex);
    if (!m_queue.empty()) {
        Taken taken{State::Ready, std::move(m_queue.front())};
        m_queue.pop_front();
        m_queued -= taken.bytes.size();
        m_anyTaken = true;
        m_room.notify_one();
        return taken;
    }
    if (m_failed)
        return {State::Failed, {}};
    if (m_finished)
        return {State::Done, {}};
    m_takerWaiting = true;
    // Filling the pipeline at the start is no one's slowness.
    if (connectionIdle && m_anyTaken && !m_starvedSince)
        m_starvedSince = Clock::now();
    return {State::Waiting, {}};
}

QString DeflateWorker::error() const
{
    const std::lock_guard lock(m_mutex);
    return m_error;
}

qint64 DeflateWorker::bytesRead() const
{
    const std::lock_guard lock(m_mutex);
    return m_read;
}

int DeflateWorker::level() const
{
    const std::lock_guard lock(m_mutex);
    return m_level;
}

bool DeflateWorker::offer(QByteArray& pending, bool last, qint64& blockedNs)
{
    bool wake = false;
    {
        std::unique_lock lock(m_mutex);
        if (m_queued >= QueueLimit) {
            const Clock::time_point since = Clock::now();
            m_room.wait(lock, [this] { return m_cancel || m_queued < QueueLimit; });
            blockedNs += nanoseconds(Clock::now() - since);
        }
        if (m_cancel)
            return false;
        if (pending.isEmpty() || (!last && pending.size() < GatherSize && !m_takerWaiting))
            return true;
        m_queued += pending.size();
        m_queue.push_back(std::exchange(pending, {}));
        if (m_starvedSince) {
            m_starvedNs += nanoseconds(Clock::now() - *m_starvedSince);
            m_starvedSince.reset();
        }
        wake = std::exchange(m_takerWaiting, false);
    }
    if (wake)
        m_wake();
    return true;
}

void DeflateWorker::end(bool failed, const QString& error)
{
    bool wake = false;
    {
        const std::lock_guard lock(m_mutex);
        if (m_cancel)
            return;
        m_finished = true;
        m_failed = failed;
        m_error = error;
        wake = std::exchange(m_takerWaiting, false);
    }
    if (wake)
        m_wake();
}

void DeflateWorker::run(int level)
{
    StreamDeflater deflater(level);
    // Two pieces: the one being deflated and the next, read ahead so that
    // the stream's end goes out with the last piece, not after it.
    QByteArray pieces[2] = {QByteArray(PieceSize, Qt::Uninitialized),
                            QByteArray(PieceSize, Qt::Uninitialized)};
    int current = 0;
    QByteArray pending; // compressed, not handed over yet
    DeflatePace::Sample stretch;
    qint64 stretchRead = 0;
    qint64 starvedBefore = 0;
    qint64 count = m_source->read(pieces[current].data(), PieceSize);
    for (;;) {
        const Clock::time_point began = Clock::now();
        qint64 next = 0;
        if (count > 0) {
            pending += deflater.feed(QByteArrayView(pieces[current].constData(), count));
            next = m_source->read(pieces[1 - current].data(), PieceSize);
        }
        if (count < 0 || next < 0) {
            end(true, m_source->errorString());
            return;
        }
        const bool last = next == 0;
        if (last)
            pending += deflater.finish();
        stretch.busy += nanoseconds(Clock::now() - began);
        {
            const std::lock_guard lock(m_mutex);
            m_read += count;
        }
        if (!offer(pending, last, stretch.blocked))
            return;
        if (last) {
            end(false, {});
            return;
        }
        current = 1 - current;
        count = next;
        stretchRead += count;
        if (stretchRead < StretchSize)
            continue;
        {
            const std::lock_guard lock(m_mutex);
            stretch.starved = m_starvedNs - starvedBefore;
            starvedBefore = m_starvedNs;
        }
        const int chosen = DeflatePace::nextLevel(deflater.level(), stretch);
        if (chosen != deflater.level()) {
            pending += deflater.setLevel(chosen);
            const std::lock_guard lock(m_mutex);
            m_level = deflater.level();
        }
        stretch = {};
        stretchRead = 0;
    }
}

} // namespace kestrel
