#include "PrintCapture.h"

#include "Ports.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

QString socketErrorLine(int number)
{
    return u"Printer Socket Error: ("_s + QString::number(number) + u')';
}

} // namespace

PrintCapture::PrintCapture(QObject* parent) : QObject(parent)
{
    connect(&m_socket, &SocketComponent::ConnectionRequest, this, &PrintCapture::onConnectionRequest);
    connect(&m_socket, &SocketComponent::DataArrival, this, &PrintCapture::onDataArrival);
    connect(&m_socket, &SocketComponent::Close, this, &PrintCapture::onPeerClosed);
    connect(&m_socket, &SocketComponent::Error, this, &PrintCapture::onSocketError);
    m_quiet.setSingleShot(true);
    connect(&m_quiet, &QTimer::timeout, this, &PrintCapture::onQuiet);
    m_relisten.setSingleShot(true);
    connect(&m_relisten, &QTimer::timeout, this, &PrintCapture::listenAgain);
}

PrintCapture::~PrintCapture()
{
    m_socket.disconnect(this);
    // The spooler sees the connection drop and keeps the job to send again;
    // a truncated copy here would only duplicate it.
    if (m_receiving)
        log(u"Printer Socket: job in progress dropped at shutdown"_s);
}

void PrintCapture::log(const QString& line) const
{
    if (m_log)
        m_log(line);
}

bool PrintCapture::AscoltaStampante()
{
    m_socket.setLocalPort(ports::printCapture());
    if (!m_socket.listen()) {
        log(socketErrorLine(m_socket.lastErrorNumber()));
        return false;
    }
    m_relisten.stop();
    m_relistenDelayMs = FirstRelistenRetryMs;
    return true;
}

void PrintCapture::onConnectionRequest(qintptr requestId)
{
    if (m_receiving)
        return; // not accepted: the component refuses it
    // One job at a time: with the listener closed the system refuses other
    // spoolers, and they retry.
    m_socket.close();
    m_socket.setLocalPort(0);
    if (!m_socket.accept(requestId)) {
        log(socketErrorLine(m_socket.lastErrorNumber()));
        listenAgain();
        return;
    }
    m_socket.setReadBufferSize(ReadChunk);
    m_receiving = true;
    m_discarding = false;
    m_received = 0;
    m_end.reset();
    m_quiet.start(m_stallMs);
}

void PrintCapture::onDataArrival(qint64)
{
    if (!m_receiving)
        return;
    // One buffer for the whole job: a fresh allocation of this size per read
    // costs more than the copy itself.
    if (m_readBuffer.size() != ReadChunk)
        m_readBuffer.resize(ReadChunk);
    qint64 count = 0;
    while (m_receiving && (count = m_socket.getData(m_readBuffer.data(), ReadChunk)) > 0)
        take(QByteArrayView(m_readBuffer.constData(), count));
}

void PrintCapture::take(QByteArrayView piece)
{
    m_received += piece.size();
    m_end.feed(piece);
    m_quiet.start(m_end.endsWithEofMarker() ? m_eofIdleMs : m_stallMs);
    if (m_discarding)
        return;
    Status written;
    if (!m_job) {
        auto created = SpoolWriter::create(m_names.folder());
        if (created)
            m_job = std::move(*created);
        else
            written = created.error();
    }
    if (m_job)
        written = m_job->write(piece);
    if (!written) {
        // The rest of the job is read and dropped, so the spooler finishes
        // and capture goes on; the user is told once.
        m_job.reset();
        m_discarding = true;
        reportFailure(written.error().message);
    }
}

void PrintCapture::onPeerClosed()
{
    if (!m_receiving)
        return;
    const QByteArray rest = m_socket.getData();
    if (!rest.isEmpty())
        take(rest);
    if (m_receiving)
        endJob(JobEnd::PeerClosed);
}

void PrintCapture::onSocketError(int number, const QString&)
{
    if (!m_receiving)
        return;
    log(socketErrorLine(number));
    const QByteArray rest = m_socket.getData();
    if (!rest.isEmpty())
        take(rest);
    if (m_receiving)
        endJob(JobEnd::ConnectionError);
}

void PrintCapture::onQuiet()
{
    if (!m_receiving)
        return;
    if (m_end.endsWithEofMarker()) {
        endJob(JobEnd::QuietAfterEof);
    } else {
        log(u"Printer Socket: connection silent for %1 s, job ended"_s.arg(m_stallMs / 1000));
        endJob(JobEnd::Stalled);
    }
}

void PrintCapture::endJob(JobEnd)
{
    m_quiet.stop();
    m_receiving = false;
    std::unique_ptr<SpoolWriter> job = std::move(m_job);
    const bool discarded = m_discarding;
    const qint64 received = m_received;
    m_discarding = false;
    m_received = 0;
    m_end.reset();

    // Close first and at once: the spooler calls the job done only then.
    m_socket.close();
    listenAgain();

    if (discarded)
        return; // already reported
    if (received == 0) {
        log(u"Printer Socket: connection closed without data"_s);
        return;
    }
    const Expected<QString> spoolFile = SalvaSpool(std::move(job));
    if (!spoolFile) {
        reportFailure(spoolFile.error().message);
        return;
    }
    Q_EMIT PrintedDocAvailable(*spoolFile);
}

Expected<QString> PrintCapture::SalvaSpool(std::unique_ptr<SpoolWriter> job)
{
    const QString folder = QFileInfo(job->temporaryPath()).absolutePath();
    return job->commit(m_names.plan(m_printerName, folder));
}

void PrintCapture::listenAgain()
{
    if (m_receiving || m_socket.state() == SocketComponent::Listening) {
        m_relisten.stop();
        return;
    }
    const bool retrying = m_relisten.isActive() || m_relistenDelayMs != FirstRelistenRetryMs;
    m_socket.setLocalPort(ports::printCapture());
    if (m_socket.listen()) {
        if (retrying)
            log(u"Printer Socket listening again"_s);
        m_relisten.stop();
        m_relistenDelayMs = FirstRelistenRetryMs;
        return;
    }
    log(socketErrorLine(m_socket.lastErrorNumber()));
    m_relisten.start(m_relistenDelayMs);
    m_relistenDelayMs = qMin(m_relistenDelayMs * 2, LastRelistenRetryMs);
}

void PrintCapture::reportFailure(const QString& reason)
{
    const QString folder = m_names.folder();
    log(u"Printer Spool Error: "_s + folder + u": "_s + reason);
    Q_EMIT captureFailed(u"Impossibile salvare il documento stampato nella cartella temporanea "_s + folder +
                         u" ("_s + reason +
                         u"). Il documento non è stato acquisito: verificare la cartella "
                         "temporanea e ristampare."_s);
}

} // namespace kestrel
