#include "CaptureJob.h"

#include <QTcpSocket>

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

// Most the socket holds unread: memory stays flat for any job size, and each
// piece is still large enough to keep up with the plain reader.
constexpr qint64 ReadChunk = 1024 * 1024;

} // namespace

CaptureJob::CaptureJob(QTcpSocket* connection, QString spoolFolder, QByteArray& readBuffer, int stallMs,
                       QObject* parent)
    : QObject(parent), m_connection(connection), m_folder(std::move(spoolFolder)), m_readBuffer(readBuffer),
      m_stallMs(stallMs)
{
    m_connection->setParent(this);
    m_connection->setReadBufferSize(ReadChunk);
    connect(m_connection, &QTcpSocket::readyRead, this, &CaptureJob::readAvailable);
    connect(m_connection, &QTcpSocket::disconnected, this, &CaptureJob::onDisconnected);
    connect(m_connection, &QTcpSocket::errorOccurred, this, &CaptureJob::onError);
    m_stall.setSingleShot(true);
    connect(&m_stall, &QTimer::timeout, this, &CaptureJob::onStallCheck);
}

CaptureJob::~CaptureJob()
{
    m_connection->disconnect(this);
    m_connection->abort();
}

void CaptureJob::start()
{
    m_lastArrival.start();
    m_stall.start(m_stallMs);
    readAvailable();
    if (m_connection->state() != QAbstractSocket::ConnectedState)
        onDisconnected();
}

void CaptureJob::readAvailable()
{
    if (m_finished)
        return;
    if (m_readBuffer.size() != ReadChunk)
        m_readBuffer.resize(ReadChunk);
    qint64 count = 0;
    while ((count = m_connection->read(m_readBuffer.data(), ReadChunk)) > 0)
        take(QByteArrayView(m_readBuffer.constData(), count));
}

void CaptureJob::take(QByteArrayView piece)
{
    m_lastArrival.start();
    m_received += piece.size();
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
        // and capture goes on; the owner tells the user once.
        m_spool.reset();
        m_discarding = true;
        Q_EMIT spoolFailed(written.error().message);
    }
}

void CaptureJob::onDisconnected()
{
    finish(End::PeerClosed);
}

void CaptureJob::onError()
{
    // The spooler closing its side is the normal end, reported through
    // disconnected.
    if (m_connection->error() != QAbstractSocket::RemoteHostClosedError)
        finish(End::ConnectionError);
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
    // What the socket still holds belongs to the job.
    readAvailable();
    m_finished = true;
    m_stall.stop();
    m_connection->disconnect(this);
    // Close at once: the spooler calls the job done only then.
    m_connection->abort();
    // The owner deletes the job in its handler: not from inside the socket's
    // own signal.
    QMetaObject::invokeMethod(
        this, [this, how] { Q_EMIT ended(how); }, Qt::QueuedConnection);
}

} // namespace kestrel
