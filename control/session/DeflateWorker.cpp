#include "DeflateWorker.h"

using namespace Qt::StringLiterals;

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

bool DeflateWorker::push(QByteArray bytes, qint64& blockedNs)
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
        if (bytes.isEmpty())
            return true;
        m_queued += bytes.size();
        m_queue.push_back(std::move(bytes));
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
    QByteArray piece(PieceSize, Qt::Uninitialized);
    QByteArray carried; // what a change of level let out, sent with the next piece
    DeflatePace::Sample stretch;
    qint64 stretchRead = 0;
    qint64 starvedBefore = 0;
    for (;;) {
        const Clock::time_point began = Clock::now();
        const qint64 count = m_source->read(piece.data(), PieceSize);
        if (count < 0) {
            end(true, m_source->errorString());
            return;
        }
        QByteArray out = std::move(carried);
        carried.clear();
        out += count > 0 ? deflater.feed(QByteArrayView(piece.constData(), count)) : deflater.finish();
        stretch.busy += nanoseconds(Clock::now() - began);
        {
            const std::lock_guard lock(m_mutex);
            m_read += count;
        }
        if (!push(std::move(out), stretch.blocked))
            return;
        if (count == 0) {
            end(false, {});
            return;
        }
        stretchRead += count;
        if (stretchRead < StretchSize)
            continue;
        {
            const std::lock_guard lock(m_mutex);
            stretch.starved = m_starvedNs - starvedBefore;
            starvedBefore = m_starvedNs;
        }
        const int next = DeflatePace::nextLevel(deflater.level(), stretch);
        if (next != deflater.level()) {
            carried = deflater.setLevel(next);
            const std::lock_guard lock(m_mutex);
            m_level = deflater.level();
        }
        stretch = {};
        stretchRead = 0;
    }
}

} // namespace kestrel
