#pragma once

#include "CaptureJob.h"
#include "CaptureThreads.h"
#include "Expected.h"
#include "Logger.h"
#include "SocketComponent.h"
#include "SpoolName.h"
#include "SpoolWriter.h"

#include <QObject>
#include <QTimer>

#include <deque>
#include <list>
#include <memory>

namespace kestrel {

// The capture printer's raw port: listens on 127.0.0.1 and takes every
// connection as a print job of its own, with its own spool file, announced
// when the job is complete. Jobs are read on capture threads; everything this
// object says, it says on its own thread.
//
// The listener stays open from activation on, also while jobs come in: a
// closed port would reset connections the system had already completed (and
// whose spoolers had already written everything), and would let another
// program take the port and receive the next print job. When the port
// cannot be opened, capture retries until it can.
//
// A job ends when the spooler closes its side of the connection, and only
// then: spoolers can be silent for a long time between the documents of one
// job. A connection silent for the stall limit is closed. What a connection
// had sent, closed by the spooler, silent or reset, is announced only when it
// ends as a whole document (a spooler closes in mid-document when its print
// is cancelled); otherwise the user is told that a print job could not be
// received whole.
//
// When capture ends (the program quits), a job whose spooler had sent
// everything and closed is saved all the same, on the same terms: the
// spooler counts it printed. Nobody can be told then, so it is noted in the
// user's private folder and announced once the next capture listens; the
// user is told there when that folder cannot be used. A job still
// coming in is dropped: its spooler sees the connection drop and sends it
// again.
class PrintCapture : public QObject
{
    Q_OBJECT
public:
    static constexpr int DefaultStallMs = 10 * 60 * 1000;
    static constexpr int FirstRelistenRetryMs = 1000;
    static constexpr int LastRelistenRetryMs = 30000;
    static constexpr int AcceptRetryMs = 1000;
    // Jobs received at the same time. Past it, spoolers wait in the system's
    // backlog (nothing is lost), and a connection taken past it all the same
    // waits unread for its turn; each job holds a connection, a file and a
    // share of a thread, and the process has a limited number of those.
    static constexpr int DefaultMaxJobs = 64;
    // At shutdown: how long the jobs' buffered data is read, all jobs
    // together, and how much longer their threads may take to get to it.
    static constexpr int ShutdownDrainMs = 300;
    static constexpr int ShutdownGraceMs = 1000;

    explicit PrintCapture(QObject* parent = nullptr);
    ~PrintCapture() override;

    // The spool name takes the value current when a job is saved.
    void setPrinterName(const QString& name) { m_printerName = name; }
    QString printerName() const { return m_printerName; }
    void setLogger(Logger logger) { m_log = std::move(logger); }

    // Opens the listener on 127.0.0.1 at the capture port, then announces
    // the jobs saved at the last shutdown. When the port
    // cannot be opened, logs "Printer Socket Error: (n)", tells the user once
    // (captureFailed) and retries until it opens; when it is listening
    // already, logs the error and leaves it as it is. False in both cases.
    bool AscoltaStampante();

    // Closes the listener and stops trying to open it; jobs already coming
    // in go on. For an owner that goes away while its code is on the stack:
    // the port must be free for the next one at once.
    void stopListening();

    bool isListening() const { return m_socket.state() == SocketComponent::Listening; }
    // The listener's numeric state (SocketComponent::State).
    int socketState() const { return m_socket.state(); }
    quint16 port() const { return m_socket.localPort(); }
    int jobsInProgress() const { return static_cast<int>(m_jobs.size()); }
    // Connections taken past the job limit, waiting unread for their turn.
    int jobsWaiting() const { return static_cast<int>(m_waiting.size()); }

    // Seams for tests.
    SpoolName& spoolNames() { return m_names; }
    void setStallMs(int ms) { m_stallMs = ms; }
    void setMaxJobs(int jobs) { m_maxJobs = qMax(1, jobs); }

Q_SIGNALS:
    void PrintedDocAvailable(const QString& spoolFile);
    // Print jobs are not being received (port not open, job lost); the text
    // is for the user.
    void captureFailed(const QString& message);
    // After a captureFailed about the port: print jobs are received again;
    // the text is for the user.
    void captureResumed(const QString& message);
    void listeningChanged(bool listening);

private:
    void onConnectionRequest(qintptr requestId);
    void startJob(qintptr connection);
    void onListenerError(int number, const QString& description);
    void onJobEnded(CaptureJob* job, CaptureJob::End how);
    void onSpoolFailed(const QString& reason);
    void keepEndedJobsAtShutdown();
    void keepAtShutdown(CaptureJob& job);
    void announceKeptJobs();
    void listenAgain();
    bool openListener();
    void setListening(bool listening);
    // SalvaSpool ("save the spool file"): commits a job that ended whole
    // under its spool name; the name, or why it could not be kept.
    Expected<QString> SalvaSpool(std::unique_ptr<SpoolWriter> job);
    void reportNotListening(const QString& reason);
    void log(const QString& line) const;

    SocketComponent m_socket;
    SpoolName m_names;
    QString m_printerName;
    Logger m_log;

    // Jobs live on the capture threads; an ended one is deleted there.
    struct LaterDeleter
    {
        void operator()(QObject* object) const { object->deleteLater(); }
    };
    struct RunningJob
    {
        std::unique_ptr<CaptureJob, LaterDeleter> job;
        CaptureThreads::Thread* thread;
    };
    CaptureThreads m_threads;
    std::list<RunningJob> m_jobs;
    std::deque<qintptr> m_waiting; // connections past the limit, in order
    int m_stallMs = DefaultStallMs;
    int m_maxJobs = DefaultMaxJobs;
    bool m_acceptPaused = false;

    bool m_listening = false;
    bool m_toldNotListening = false;
    bool m_toldRecordUnusable = false;
    QTimer m_relisten;
    int m_relistenDelayMs = FirstRelistenRetryMs;
    QTimer m_acceptRetry;
};

} // namespace kestrel
