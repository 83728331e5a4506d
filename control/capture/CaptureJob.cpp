#include "CaptureJob.h"

#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

// Most one read takes: memory stays flat for any job size, and each piece is
// large enough to keep up with the plain reader.
constexpr qint64 ReadChunk = 1024 * 1024;
// Reads per wake-up: jobs that arrive together take turns.
constexpr int ReadsPerTurn = 4;

} // namespace

CaptureJob::CaptureJob(qintptr descriptor, QString spoolFolder, QByteArray& readBuffer, int stallMs,
                       QObject* parent)
    : QObject(parent), m_descriptor(static_cast<int>(descriptor)), m_folder(std::move(spoolFolder)),
      m_readBuffer(readBuffer), m_stallMs(stallMs), m_stall(this)
{
    m_stall.setSingleShot(true);
    connect(&m_stall, &QTimer::timeout, this, &CaptureJob::onStallCheck);
}

CaptureJob::~CaptureJob()
{
    closeConnection();
}

void CaptureJob::start()
{
    ::fcntl(m_descriptor, F_SETFL, ::fcntl(m_descriptor, F_GETFL) | O_NONBLOCK);
    m_readable = new QSocketNotifier(m_descriptor, QSocketNotifier::Read, this);
    connect(m_readable, &QSocketNotifier::activated, this, &CaptureJob::readAvailable);
    m_lastArrival.start();
    m_stall.start(m_stallMs);
    readAvailable();
}

void CaptureJob::readAvailable()
{
    for (int turn = 0; turn < ReadsPerTurn && !m_finished; ++turn) {
        if (readPiece() != Read::Data)
            return;
    }
}

void CaptureJob::drainAtShutdown(QDeadlineTimer deadline)
{
    // Bounded by the deadline: a spooler may keep sending as fast as this
    // reads.
    while (!m_finished && !deadline.hasExpired() && readPiece() == Read::Data) {
    }
    m_settled.store(m_finished ? Settled::Ended : Settled::InProgress, std::memory_order_release);
}

CaptureJob::Read CaptureJob::readPiece()
{
    if (m_readBuffer.size() != ReadChunk)
        m_readBuffer.resize(ReadChunk);
    for (;;) {
        // MSG_DONTWAIT: at shutdown a job may be read before start().
        const ssize_t count = ::recv(m_descriptor, m_readBuffer.data(), ReadChunk, MSG_DONTWAIT);
        if (count > 0) {
            take(QByteArrayView(m_readBuffer.constData(), count));
            return Read::Data;
        }
        if (count == 0) {
            finish(End::PeerClosed);
            return Read::Ended;
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return Read::Nothing;
        finish(End::ConnectionError);
        return Read::Ended;
    }
}

void CaptureJob::take(QByteArrayView piece)
{
    m_lastArrival.start();
    m_received.fetch_add(piece.size(), std::memory_order_relaxed);
    m_end.feed(piece);
    if (m_discarding)
        return;
    Status written;
    if (!m_spool) {
        auto created = SpoolWriter::create(m_folder);
        if (created)
            m_spool = std::move(*created);
        else
            written = created.error();
    }
    if (m_spool)
        written = m_spool->write(piece);
    if (!written) {
        // The rest of the job is read and dropped, so the spooler finishes
        // and capture goes on; the owner tells the user once. Not from here:
        // the user's message may run an event loop while this job reads.
        m_spool.reset();
        m_discarding = true;
        QMetaObject::invokeMethod(
            this, [this, reason = written.error().message] { Q_EMIT spoolFailed(reason); },
            Qt::QueuedConnection);
    }
}

void CaptureJob::onStallCheck()
{
    const qint64 quiet = m_lastArrival.elapsed();
    if (quiet < m_stallMs) {
        m_stall.start(static_cast<int>(m_stallMs - quiet));
        return;
    }
    finish(End::Stalled);
}

void CaptureJob::finish(End how)
{
    if (m_finished)
        return;
    m_finished = true;
    m_closedInOrder = how == End::PeerClosed;
    m_stall.stop();
    // Close at once: the spooler calls the job done only then.
    closeConnection();
    QMetaObject::invokeMethod(
        this, [this, how] { Q_EMIT ended(how); }, Qt::QueuedConnection);
}

void CaptureJob::closeConnection()
{
    delete m_readable;
    m_readable = nullptr;
    if (m_descriptor >= 0)
        ::close(m_descriptor);
    m_descriptor = -1;
}

} // namespace kestrel
