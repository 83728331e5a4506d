#pragma once

#include "JobEndDetector.h"
#include "SpoolWriter.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <atomic>
#include <memory>

class QSocketNotifier;

namespace kestrel {

// One print job: a connection that a spooler opened to the capture port,
// read to its end and streamed into a spool file of its own as it arrives.
// The job ends when the spooler closes its side, when the connection fails
// (a reset, say), or when it has been silent for the stall limit; the
// connection is closed then, and ended() tells the owner how.
//
// It reads the system's socket straight into the shared buffer, as a plain
// reader does: a socket object would copy every byte once more on its way.
// It may live on a thread of its own (moved there before start()); the owner
// then reads its state and takes its spool only after ended().
class CaptureJob : public QObject
{
    Q_OBJECT
public:
    enum class End
    {
        PeerClosed,
        ConnectionError,
        Stalled
    };
    Q_ENUM(End)

    // Takes the accepted socket descriptor. readBuffer is shared by the jobs
    // of one thread: none keeps data in it between reads.
    CaptureJob(qintptr descriptor, QString spoolFolder, QByteArray& readBuffer, int stallMs,
               QObject* parent = nullptr);
    ~CaptureJob() override;

    // Reads what has already arrived and starts the stall clock.
    void start();
    // At shutdown, on the job's thread: reads what the system still holds
    // for the job, without waiting for more, until the deadline. A spooler
    // that had sent everything and closed is then seen to have ended.
    // Settles the job either way.
    void drainAtShutdown(QDeadlineTimer deadline);
    // After drainAtShutdown(), from any thread: the job had ended. Only
    // then may its state be read and its spool taken from another thread
    // while its own thread still runs.
    bool endedAtShutdown() const { return m_settled.load(std::memory_order_acquire) == Settled::Ended; }

    // Safe from any thread.
    qint64 received() const { return m_received.load(std::memory_order_relaxed); }
    int stallMs() const { return m_stallMs; }
    // After the job ended: what it received is a whole PostScript or PDF
    // document (see JobEndDetector; a connection the spooler closed in order
    // is judged by its last piece as well).
    bool endsAsDocument() const { return m_end.endsAsDocument(m_closedInOrder); }
    // The spool file could not be written: what comes is read and dropped.
    bool isDiscarding() const { return m_discarding; }
    // The spool file, for the owner to name once the job has ended; nullptr
    // when nothing was written.
    std::unique_ptr<SpoolWriter> takeSpool() { return std::move(m_spool); }

Q_SIGNALS:
    // Raised once, from the event loop, when the spool file first fails; the
    // text says why.
    void spoolFailed(const QString& reason);
    // Raised once, from the event loop, after the connection was closed.
    void ended(kestrel::CaptureJob::End how);

private:
    enum class Read
    {
        Data,
        Nothing, // nothing more for now
        Ended
    };
    enum class Settled
    {
        No,
        InProgress,
        Ended
    };

    void readAvailable();
    Read readPiece();
    void take(QByteArrayView piece);
    void onStallCheck();
    void finish(End how);
    void closeConnection();

    int m_descriptor;
    QSocketNotifier* m_readable = nullptr;
    QString m_folder;
    QByteArray& m_readBuffer;
    int m_stallMs;
    std::unique_ptr<SpoolWriter> m_spool;
    JobEndDetector m_end;
    std::atomic<qint64> m_received{0};
    bool m_discarding = false;
    bool m_finished = false;
    bool m_closedInOrder = false;
    std::atomic<Settled> m_settled{Settled::No};
    // Restarting a timer for every read costs more than reading a clock:
    // the timer checks the time of the last arrival when it fires.
    QElapsedTimer m_lastArrival;
    QTimer m_stall;
};

} // namespace kestrel
