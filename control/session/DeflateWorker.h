#pragma once

#include "DeflatePace.h"
#include "StreamDeflater.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace kestrel {

// Reads a document and deflates it on a thread of its own, so that the next
// piece is compressed while the last one is on the connection. What waits
// for the connection is bounded (QueueLimit), so memory stays flat whatever
// the document's size. The level follows DeflatePace, stretch by stretch.
//
// Everything but the thread's own loop is called on one thread, the
// owner's. stop() (and the destructor) cancel the thread and join it:
// after it returns, nothing of the worker runs, and the wake callback is
// not called again.
class DeflateWorker
{
public:
    static constexpr qint64 PieceSize = 128 * 1024;    // read and deflated at a time
    static constexpr qint64 QueueLimit = 1024 * 1024;  // compressed bytes waiting for the connection
    static constexpr qint64 StretchSize = 1024 * 1024; // document bytes between two level choices
    // Compressed bytes held back, while the taker is busy, to go out
    // together: a trickle of small pieces would cost the connection a
    // segment each.
    static constexpr qint64 GatherSize = 64 * 1024;

    enum class State
    {
        Ready,   // bytes to send
        Waiting, // nothing yet: wake will be called when there is
        Done,    // the stream has ended, all of it taken
        Failed,  // the document could not be read (error())
    };
    struct Taken
    {
        State state = State::Waiting;
        QByteArray bytes;
    };
    // Called on the worker's thread: something came for a taker that found
    // nothing. It must only hand the news over (post an event), never call
    // back into the worker.
    using Wake = std::function<void()>;

    DeflateWorker() = default;
    ~DeflateWorker();
    DeflateWorker(const DeflateWorker&) = delete;
    DeflateWorker& operator=(const DeflateWorker&) = delete;

    // Starts a new stream from source, opened for reading; the worker owns
    // it from here. A stream under way is stopped first.
    void start(std::unique_ptr<QIODevice> source, Wake wake, int level = StreamDeflater::DefaultLevel);
    // The next compressed piece, or why there is none. connectionIdle: the
    // connection has nothing left to send, so from now until the next piece
    // it waits on the deflater.
    Taken take(bool connectionIdle);
    void stop();

    bool running() const { return m_thread.joinable(); }
    QString error() const;
    // Document bytes read so far.
    qint64 bytesRead() const;
    // The level in use.
    int level() const;

private:
    using Clock = std::chrono::steady_clock;

    void run(int level);
    // Hands pending over (and empties it), or keeps gathering; false once
    // stopped.
    bool offer(QByteArray& pending, bool last, qint64& blockedNs);
    void end(bool failed, const QString& error);

    std::thread m_thread;
    std::unique_ptr<QIODevice> m_source; // the thread's alone while it runs
    Wake m_wake;

    mutable std::mutex m_mutex;
    std::condition_variable m_room;
    std::deque<QByteArray> m_queue;
    qint64 m_queued = 0;
    bool m_cancel = false;
    bool m_finished = false;
    bool m_failed = false;
    bool m_takerWaiting = false;
    bool m_anyTaken = false;
    QString m_error;
    qint64 m_read = 0;
    int m_level = StreamDeflater::DefaultLevel;
    std::optional<Clock::time_point> m_starvedSince;
    qint64 m_starvedNs = 0;
};

} // namespace kestrel
