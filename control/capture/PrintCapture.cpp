#include "PrintCapture.h"

#include "ControlTexts.h"
#include "KeptSpools.h"
#include "Ports.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QPointer>
#include <QSemaphore>

#include <csignal>

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

QString socketErrorLine(int number)
{
    return u"Printer Socket Error: ("_s + QString::number(number) + u')';
}

QString captureAddress(quint16 port)
{
    return u"127.0.0.1:"_s + QString::number(port);
}

// A job larger than the user's file size limit (ulimit -f) makes the system
// send SIGXFSZ, whose default ends the program with every document in it.
// Ignored, the write fails (EFBIG) and the user is told, as for a full disk.
// A handler the program set itself is left alone.
void ignoreFileSizeSignal()
{
    struct sigaction current = {};
    if (::sigaction(SIGXFSZ, nullptr, &current) == 0 && current.sa_handler == SIG_DFL)
        std::signal(SIGXFSZ, SIG_IGN);
}

} // namespace

PrintCapture::PrintCapture(QObject* parent) : QObject(parent)
{
    ignoreFileSizeSignal();
    connect(&m_socket, &SocketComponent::ConnectionRequest, this, &PrintCapture::onConnectionRequest);
    connect(&m_socket, &SocketComponent::Error, this, &PrintCapture::onListenerError);
    m_relisten.setSingleShot(true);
    connect(&m_relisten, &QTimer::timeout, this, &PrintCapture::listenAgain);
    m_acceptRetry.setSingleShot(true);
    connect(&m_acceptRetry, &QTimer::timeout, this, [this] {
        if (!m_acceptPaused)
            m_socket.resumeAccepting();
    });
}

PrintCapture::~PrintCapture()
{
    m_socket.disconnect(this);
    for (RunningJob& running : m_jobs)
        running.job->disconnect(this);
    // A connection still waiting its turn is read now, on this thread, on
    // the same terms: its spooler may have sent everything and closed.
    const QDeadlineTimer deadline(ShutdownDrainMs);
    QByteArray buffer;
    for (const qintptr waiting : m_waiting) {
        CaptureJob job(waiting, m_names.folder(), buffer, m_stallMs);
        job.drainAtShutdown(deadline);
        if (job.endedAtShutdown())
            keepAtShutdown(job);
    }
    m_waiting.clear();
    keepEndedJobsAtShutdown();
    // Each job is deleted on its own thread, where its timer and notifier
    // live, as that thread stops.
    m_jobs.clear();
    m_threads.stop();
}

void PrintCapture::keepEndedJobsAtShutdown()
{
    // Each job reads what is left on its own thread, all at once; the
    // semaphore outlives this function, as a late job may still release it.
    const QDeadlineTimer deadline(ShutdownDrainMs);
    const auto drained = std::make_shared<QSemaphore>();
    int waiting = 0;
    for (RunningJob& running : m_jobs) {
        CaptureJob* job = running.job.get();
        if (job->thread() == thread()) {
            job->drainAtShutdown(deadline);
            continue;
        }
        QMetaObject::invokeMethod(
            job,
            [job, deadline, drained] {
                job->drainAtShutdown(deadline);
                drained->release();
            },
            Qt::QueuedConnection);
        ++waiting;
    }
    drained->tryAcquire(waiting, int(deadline.remainingTime()) + ShutdownGraceMs);
    for (RunningJob& running : m_jobs) {
        if (running.job->endedAtShutdown())
            keepAtShutdown(*running.job);
        else if (running.job->received() > 0)
            log(u"Printer Socket: job in progress dropped at shutdown"_s);
    }
}

void PrintCapture::keepAtShutdown(CaptureJob& job)
{
    if (job.isDiscarding() || job.received() == 0)
        return;
    if (!job.endsAsDocument()) {
        log(u"Printer Socket: %1 bytes received, the document is incomplete: dropped at shutdown"_s.arg(
            job.received()));
        return;
    }
    std::unique_ptr<SpoolWriter> spool = job.takeSpool();
    if (!spool)
        return;
    const QString folder = QFileInfo(spool->temporaryPath()).absolutePath();
    const Expected<QString> spoolFile = SalvaSpool(std::move(spool));
    if (!spoolFile) {
        log(u"Printer Spool Error: "_s + folder + u": "_s + spoolFile.error().message);
        return;
    }
    const Expected<QString> record = KeptSpools::recordFolder();
    if (!record) {
        log(u"Printer Socket: job ended at shutdown saved as %1, not listed at the next start: %2"_s.arg(
            *spoolFile, record.error().message));
        return;
    }
    if (const Status noted = KeptSpools(*record).add(*spoolFile); !noted) {
        log(u"Printer Socket: job ended at shutdown saved as %1, not listed at the next start: %2"_s.arg(
            *spoolFile, noted.error().message));
        return;
    }
    log(u"Printer Socket: job ended at shutdown saved as %1, listed at the next start"_s.arg(*spoolFile));
}

void PrintCapture::announceKeptJobs()
{
    QStringList kept;
    const Expected<QString> record = KeptSpools::recordFolder();
    const Expected<QStringList> noted =
        record ? KeptSpools(*record).take() : Expected<QStringList>(record.error());
    if (noted) {
        kept = *noted;
    } else {
        log(u"Printer Socket: jobs saved at the last shutdown cannot be listed: "_s + noted.error().message);
        if (!m_toldRecordUnusable) {
            m_toldRecordUnusable = true;
            Q_EMIT captureFailed(texts::keptSpoolsUnusable(noted.error().message));
        }
    }
    // A note that an earlier version left beside the spool files, read once
    // when it is the user's own private file; another user's is left alone.
    const Expected<QStringList> left = KeptSpools(m_names.folder()).take();
    if (!left)
        log(u"Printer Socket: an earlier note of jobs saved at shutdown is not read: "_s +
            left.error().message);
    for (const QString& file : left ? *left : QStringList()) {
        if (!kept.contains(file))
            kept.append(file);
    }
    const QPointer<PrintCapture> alive(this);
    for (qsizetype i = 0; i < kept.size(); ++i) {
        if (!alive) {
            // A handler ended capture: the rest wait for the next start.
            if (record) {
                KeptSpools note(*record);
                // The capture and its log are gone: nobody is left to tell
                // of a job that cannot be noted; its file stays where it is.
                for (qsizetype rest = i; rest < kept.size(); ++rest)
                    (void)note.add(kept.at(rest));
            }
            return;
        }
        log(u"Printer Socket: job saved at the last shutdown: "_s + kept.at(i));
        Q_EMIT PrintedDocAvailable(kept.at(i));
    }
}

void PrintCapture::log(const QString& line) const
{
    if (m_log)
        m_log(line);
}

bool PrintCapture::AscoltaStampante()
{
    if (isListening()) {
        // A second activation: the listener goes on as it is.
        log(socketErrorLine(SocketComponent::InvalidOperation));
        return false;
    }
    if (openListener())
        return true;
    if (!m_relisten.isActive())
        m_relisten.start(m_relistenDelayMs);
    return false;
}

bool PrintCapture::openListener()
{
    const quint16 port = ports::printCapture();
    m_socket.setLocalPort(port);
    if (m_socket.listen()) {
        m_relisten.stop();
        m_relistenDelayMs = FirstRelistenRetryMs;
        log(u"Printer Socket listening on %1. A printer %2 that exists already is used as it is: "
            "it must print to socket://%1 for its jobs to reach capture"_s.arg(captureAddress(port),
                                                                               m_printerName));
        setListening(true);
        // From the event loop: the host hears of them after activation,
        // and a handler may run its own event loop or end capture.
        QMetaObject::invokeMethod(this, &PrintCapture::announceKeptJobs, Qt::QueuedConnection);
        return true;
    }
    log(socketErrorLine(m_socket.lastErrorNumber()));
    reportNotListening(m_socket.lastErrorDescription());
    return false;
}

void PrintCapture::stopListening()
{
    m_relisten.stop();
    m_acceptRetry.stop();
    m_socket.close();
    m_listening = false;
}

void PrintCapture::listenAgain()
{
    if (isListening())
        return;
    if (openListener())
        return;
    m_relistenDelayMs = qMin(m_relistenDelayMs * 2, LastRelistenRetryMs);
    m_relisten.start(m_relistenDelayMs);
}

void PrintCapture::setListening(bool listening)
{
    if (m_listening == listening)
        return;
    m_listening = listening;
    Q_EMIT listeningChanged(listening);
    if (listening && m_toldNotListening) {
        m_toldNotListening = false;
        Q_EMIT captureResumed(texts::captureResumed(m_printerName, captureAddress(m_socket.localPort())));
    }
}

void PrintCapture::reportNotListening(const QString& reason)
{
    if (m_toldNotListening)
        return;
    m_toldNotListening = true;
    Q_EMIT captureFailed(texts::captureStopped(m_printerName, captureAddress(m_socket.localPort()), reason));
}

void PrintCapture::onListenerError(int number, const QString&)
{
    // Taking a connection failed (the process is out of descriptors, say):
    // the listener has paused; the connections wait in the backlog meanwhile.
    log(socketErrorLine(number));
    m_acceptRetry.start(AcceptRetryMs);
}

void PrintCapture::onConnectionRequest(qintptr requestId)
{
    const qintptr connection = m_socket.takeConnectionDescriptor(requestId);
    if (connection < 0) {
        log(socketErrorLine(m_socket.lastErrorNumber()));
        return;
    }
    if (static_cast<int>(m_jobs.size()) >= m_maxJobs) {
        // The listener takes every connection the system had completed
        // before its pause takes effect: one past the limit waits, unread,
        // holding no file and no thread, and becomes a job when one ends.
        // Its spooler waits as it would in the system's backlog; closing it
        // would fail its print.
        m_waiting.push_back(connection);
        log(u"Printer Socket: %1 print jobs at once, a further one waits its turn (%2 waiting)"_s
                .arg(m_jobs.size())
                .arg(m_waiting.size()));
        return;
    }
    startJob(connection);
}

void PrintCapture::startJob(qintptr connection)
{
    CaptureThreads::Thread& thread = m_threads.take();
    auto* raw = new CaptureJob(connection, m_names.folder(), thread.readBuffer, m_stallMs);
    connect(raw, &CaptureJob::spoolFailed, this, &PrintCapture::onSpoolFailed);
    connect(raw, &CaptureJob::ended, this, [this, raw](CaptureJob::End how) { onJobEnded(raw, how); });
    // A thread the system would not give (out of resources) leaves the job
    // on this thread, as all jobs once were.
    if (thread.thread.isRunning())
        raw->moveToThread(&thread.thread);
    m_jobs.push_back({std::unique_ptr<CaptureJob, LaterDeleter>(raw), &thread});
    log(u"Printer Socket: job connected (%1 in progress)"_s.arg(m_jobs.size()));
    if (static_cast<int>(m_jobs.size()) >= m_maxJobs && !m_acceptPaused) {
        log(u"Printer Socket: %1 print jobs at once, further ones wait"_s.arg(m_jobs.size()));
        m_acceptPaused = true;
        m_socket.pauseAccepting();
    }
    QMetaObject::invokeMethod(raw, &CaptureJob::start, Qt::QueuedConnection);
}

void PrintCapture::onSpoolFailed(const QString& reason)
{
    const QString folder = m_names.folder();
    log(u"Printer Spool Error: "_s + folder + u": "_s + reason);
    Q_EMIT captureFailed(texts::spoolNotSaved(folder, reason));
}

void PrintCapture::onJobEnded(CaptureJob* ended, CaptureJob::End how)
{
    std::unique_ptr<CaptureJob, LaterDeleter> job;
    for (auto it = m_jobs.begin(); it != m_jobs.end(); ++it) {
        if (it->job.get() == ended) {
            job = std::move(it->job);
            m_threads.release(*it->thread);
            m_jobs.erase(it);
            break;
        }
    }
    if (!job)
        return;
    while (!m_waiting.empty() && static_cast<int>(m_jobs.size()) < m_maxJobs) {
        const qintptr next = m_waiting.front();
        m_waiting.pop_front();
        startJob(next);
    }
    if (m_acceptPaused && m_waiting.empty() && static_cast<int>(m_jobs.size()) < m_maxJobs) {
        m_acceptPaused = false;
        m_socket.resumeAccepting();
    }

    if (how == CaptureJob::End::Stalled)
        log(u"Printer Socket: connection silent for %1 s, closed"_s.arg(job->stallMs() / 1000.0));
    else if (how == CaptureJob::End::ConnectionError)
        log(u"Printer Socket: connection failed before the spooler closed it"_s);
    if (job->isDiscarding())
        return; // already reported
    if (job->received() == 0) {
        log(u"Printer Socket: connection closed without data"_s);
        return;
    }
    // Only the spooler's close says that a job is complete, and only a job
    // that ends as a whole document is one: a spooler closes in the middle
    // of a document when its print is cancelled. A connection that stalled
    // or failed is kept on the same terms; a cut one is dropped (the
    // spooler, seeing the failure, sends it again).
    if (!job->endsAsDocument()) {
        const QString why = how == CaptureJob::End::PeerClosed ? texts::EndedMidDocument
                            : how == CaptureJob::End::Stalled
                                ? texts::silentFor(qMax(1, job->stallMs() / 60000))
                                : texts::ConnectionCut;
        log(u"Printer Socket: %1 bytes received, the document is incomplete: dropped"_s.arg(job->received()));
        job->takeSpool().reset(); // gone before the user hears of it
        Q_EMIT captureFailed(texts::printJobIncomplete(why));
        return;
    }
    std::unique_ptr<SpoolWriter> spool = job->takeSpool();
    job.reset();
    const Expected<QString> spoolFile = SalvaSpool(std::move(spool));
    if (!spoolFile) {
        onSpoolFailed(spoolFile.error().message);
        return;
    }
    Q_EMIT PrintedDocAvailable(*spoolFile);
}

Expected<QString> PrintCapture::SalvaSpool(std::unique_ptr<SpoolWriter> job)
{
    const QString folder = QFileInfo(job->temporaryPath()).absolutePath();
    return job->commit(m_names.plan(m_printerName, folder));
}

} // namespace kestrel
