#include "FaxServerSession.h"

#include "ActivityLog.h"
#include "FaxReplies.h"
#include "ReplyWriter.h"

#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>

namespace kestrel::simulator {
namespace {

using namespace Qt::StringLiterals;

constexpr int DataConnectionTimeoutMs = 60'000;
constexpr qint64 DropUploadAfterBytes = 1000;
constexpr qsizetype ChunkSize = 256 * 1024;
constexpr qint64 DataReadBuffer = 1024 * 1024; // the sender waits rather than fill our memory
constexpr int GreetingPauseMs = 50;
constexpr int SlowGreetingMs = 500;
constexpr qint64 CutDataAfterBytes = 100;
constexpr qint64 KeptBytes = 1000;     // keep-1000
constexpr qsizetype DroppedTail = 512; // drop-tail
// Where pasv-elsewhere sends the client: a loopback address nobody listens on.
constexpr quint32 ElsewhereAddress = 0x7f0000fe; // 127.0.0.254

QString printable(const QByteArray& line)
{
    QByteArray text = line;
    while (text.endsWith('\n') || text.endsWith('\r'))
        text.chop(1);
    return QString::fromLatin1(text);
}

} // namespace

// Under merge-replies, every reply produced while one event is handled leaves
// in one write at the end of that event.
class FaxServerSession::BatchScope
{
public:
    explicit BatchScope(FaxServerSession& session) : m_session(session) { ++m_session.m_batchDepth; }
    ~BatchScope()
    {
        if (--m_session.m_batchDepth == 0)
            m_session.flushBatch();
    }
    BatchScope(const BatchScope&) = delete;
    BatchScope& operator=(const BatchScope&) = delete;

private:
    FaxServerSession& m_session;
};

FaxServerSession::FaxServerSession(QTcpSocket* socket, JobStore& store, FaultPlan& faults,
                                   const LoginPolicy& login, const QString& hostName, QObject* parent)
    : QObject(parent), m_socket(socket), m_store(store), m_faults(faults), m_hostName(hostName),
      m_interpreter(store, login, faults),
      m_writer(new ReplyWriter(socket, faults.has(Fault::ByteByByte), this)), m_chunk(ChunkSize)
{
    m_socket->setParent(this);
    m_dataTimer.setSingleShot(true);
    connect(&m_dataTimer, &QTimer::timeout, this, &FaxServerSession::onDataTimeout);
    connect(m_socket, &QTcpSocket::readyRead, this, &FaxServerSession::onCommandBytes);
    connect(m_socket, &QTcpSocket::disconnected, this, &FaxServerSession::onCommandClosed);
    connect(&m_flood, &QTimer::timeout, this, &FaxServerSession::flood);
}

FaxServerSession::~FaxServerSession() = default;

void FaxServerSession::start()
{
    m_sessionLog = m_store.openSessionLog(&m_number);
    if (!m_sessionLog)
        log(u"cannot open the session file; bytes of this session are not recorded"_s);
    log(u"connection from %1:%2"_s.arg(m_socket->peerAddress().toString()).arg(m_socket->peerPort()));
    if (m_faults.has(Fault::NoGreeting))
        return;
    if (m_faults.has(Fault::EndlessGreeting)) {
        log(u"endless-greeting: 220- lines without end"_s);
        m_flood.start(0);
        return;
    }
    if (m_faults.has(Fault::SlowGreeting))
        m_writer->pause(SlowGreetingMs);

    // Each greeting line in its own write, a little apart, so a client sees
    // them arrive one by one.
    const auto greetingLine = [this](const QByteArray& line) {
        log(u"-> "_s + printable(line));
        m_writer->write(line);
        m_writer->pause(GreetingPauseMs);
    };
    if (m_faults.has(Fault::GreetAfter130)) {
        greetingLine(replies::addressWarning(m_socket->peerAddress().toString(), m_hostName));
        greetingLine(replies::inverseMappingWarning(m_hostName));
    }
    if (m_faults.has(Fault::MultilineGreeting)) {
        greetingLine(replies::partial(220, u"Kestrel fax appliance."_s));
        greetingLine(replies::partial(220, u"Authorised users only; every session is recorded."_s));
    }
    log(u"-> "_s + printable(replies::greeting(m_hostName)));
    m_writer->write(replies::greeting(m_hostName));
}

void FaxServerSession::onCommandBytes()
{
    const QByteArray bytes = m_socket->readAll();
    if (m_sessionLog)
        m_sessionLog->write(bytes); // unbuffered: on disk before any reply
    if (m_closing || m_faults.has(Fault::NoGreeting))
        return;
    m_splitter.append(bytes);
    BatchScope batch(*this);
    processLines();
}

void FaxServerSession::onCommandClosed()
{
    log(u"connection closed"_s);
    m_closing = true;
    m_flood.stop();
    m_dataTimer.stop();
    if (m_upload) {
        log(u"upload of %1 cut short after %2 bytes"_s.arg(m_uploadName).arg(m_received));
        m_upload.reset(); // the partial file stays, as it does on a real server
    }
    closePassive();
    emit finished();
}

void FaxServerSession::processLines()
{
    while (!m_closing && m_transfer == Transfer::None) {
        const auto line = m_splitter.next();
        if (!line)
            return;
        if (line->tooLong) {
            log(u"<- (line too long)"_s);
            apply(m_interpreter.handleTooLong());
            continue;
        }
        const bool secret = line->text.left(5).toUpper() == "PASS ";
        log(u"<- "_s + (secret ? u"PASS ****"_s : QString::fromLatin1(line->text)));
        apply(m_interpreter.handle(line->text));
        if (++m_commands == m_faults.cutAfterCommand() && !m_closing) {
            log(u"cut-after-command-%1: the connection closes"_s.arg(m_commands));
            FaxCommandInterpreter::Outcome cut;
            cut.next = FaxCommandInterpreter::Next::Close;
            apply(cut);
        }
    }
}

void FaxServerSession::apply(const FaxCommandInterpreter::Outcome& outcome)
{
    for (const QByteArray& reply : outcome.replies)
        send(reply);
    switch (outcome.next) {
    case FaxCommandInterpreter::Next::Continue:
        break;
    case FaxCommandInterpreter::Next::OpenPassive:
        openPassive();
        break;
    case FaxCommandInterpreter::Next::Store:
        beginStore(outcome.storeName, outcome.storePath, outcome.compressed);
        break;
    case FaxCommandInterpreter::Next::Close:
        m_closing = true;
        closePassive();
        flushBatch();
        m_writer->closeWhenDone();
        break;
    }
}

void FaxServerSession::send(const QByteArray& reply)
{
    if (m_faults.has(Fault::Unasked227) && reply.startsWith("230 ") && !m_flood.isActive()) {
        log(u"unasked-227: a passive reply every millisecond from now on"_s);
        m_flood.start(1);
    }
    log(u"-> "_s + printable(reply));
    if (m_faults.has(Fault::MergeReplies) && m_batchDepth > 0)
        m_batch += reply;
    else
        m_writer->write(reply);
}

void FaxServerSession::flushBatch()
{
    if (m_batch.isEmpty())
        return;
    m_writer->write(m_batch);
    m_batch.clear();
}

void FaxServerSession::openPassive()
{
    closePassive();
    // The data listener takes the address the client reached us on.
    bool isIPv4 = false;
    const QHostAddress local = m_socket->localAddress();
    const quint32 ipv4 = local.toIPv4Address(&isIPv4);
    if (!isIPv4) {
        send(replies::line(425, u"Cannot open passive connection (no IPv4 address)."_s));
        return;
    }
    m_passive = new QTcpServer(this);
    if (!m_passive->listen(QHostAddress(ipv4), 0)) {
        send(replies::line(425, u"Cannot open passive connection (%1)."_s.arg(m_passive->errorString())));
        closePassive();
        return;
    }
    connect(m_passive, &QTcpServer::newConnection, this, &FaxServerSession::onDataConnection);
    send(replies::passiveMode(m_faults.has(Fault::PasvElsewhere) ? ElsewhereAddress : ipv4,
                              m_passive->serverPort()));
}

void FaxServerSession::closePassive()
{
    if (m_passive) {
        m_passive->close();
        m_passive->deleteLater();
        m_passive = nullptr;
    }
    if (m_data) {
        m_data->disconnect(this);
        m_data->abort();
        m_data->deleteLater();
        m_data = nullptr;
    }
}

void FaxServerSession::onDataConnection()
{
    while (QTcpSocket* socket = m_passive->nextPendingConnection()) {
        // One data connection per PASV, and only from the client itself.
        if (m_data ||
            !socket->peerAddress().isEqual(m_socket->peerAddress(), QHostAddress::TolerantConversion)) {
            log(u"data connection from %1 refused"_s.arg(socket->peerAddress().toString()));
            socket->abort();
            socket->deleteLater();
            continue;
        }
        m_data = socket;
        m_data->setParent(this);
        m_data->setReadBufferSize(DataReadBuffer);
        connect(m_data, &QTcpSocket::readyRead, this, &FaxServerSession::onDataBytes);
        connect(m_data, &QTcpSocket::disconnected, this, &FaxServerSession::onDataClosed);
        log(u"data connection from %1:%2"_s.arg(m_data->peerAddress().toString()).arg(m_data->peerPort()));
    }
    if (m_data)
        m_passive->close();
    if (m_data && m_transfer == Transfer::AwaitingConnection) {
        BatchScope batch(*this);
        startTransfer();
    }
}

void FaxServerSession::beginStore(const QString& name, const QString& path, bool compressed)
{
    m_unzip.reset();
    if (compressed && !m_faults.has(Fault::StoreCompressed))
        m_unzip = std::make_unique<ZipStream>();
    if (!m_passive) {
        // Without PASV hfaxd tries an active connection back to the client, which is refused.
        send(replies::cannotBuildDataConnection(u"Connection refused"_s));
        return;
    }
    m_uploadName = name;
    m_uploadPath = path;
    m_received = 0;
    m_stored = 0;
    m_heldBack.clear();
    m_writeFailed = false;
    if (m_faults.has(Fault::No150)) {
        log(u"no-150: STOR %1 accepted and never served"_s.arg(path));
        m_transfer = Transfer::Stalled;
        return;
    }
    QString error;
    m_upload = m_store.createUpload(name, &error);
    if (!m_upload) {
        send(replies::notPermitted(path));
        return;
    }
    m_dropUpload = m_faults.claimUploadDrop();
    m_cutData = m_faults.claimDataCut();
    if (m_data) {
        startTransfer();
    } else {
        m_transfer = Transfer::AwaitingConnection;
        m_dataTimer.start(DataConnectionTimeoutMs);
    }
}

void FaxServerSession::startTransfer()
{
    // 150 only once the client has connected, as hfaxd does.
    m_dataTimer.stop();
    m_transfer = Transfer::Receiving;
    send(replies::openingTransfer(m_uploadPath));
    onDataBytes();
    if (m_transfer == Transfer::Receiving && m_data && m_data->state() == QAbstractSocket::UnconnectedState)
        onDataClosed();
}

void FaxServerSession::onDataBytes()
{
    if (m_transfer != Transfer::Receiving || !m_data || !m_upload)
        return;
    while (m_data->bytesAvailable() > 0) {
        qint64 want = static_cast<qint64>(m_chunk.size());
        if (m_dropUpload)
            want = std::min(want, DropUploadAfterBytes - m_received);
        if (m_cutData)
            want = std::min(want, CutDataAfterBytes - m_received);
        const qint64 got = m_data->read(m_chunk.data(), want);
        if (got <= 0)
            break;
        if (m_faults.has(Fault::DropTail)) {
            // Whatever may be the stream's tail waits; what the connection
            // still holds at its end is never stored.
            m_heldBack.append(m_chunk.data(), got);
            if (m_heldBack.size() > DroppedTail) {
                const qsizetype passed = m_heldBack.size() - DroppedTail;
                store(QByteArrayView(m_heldBack).first(passed));
                m_heldBack.remove(0, passed);
            }
        } else {
            store(QByteArrayView(m_chunk.data(), got));
        }
        m_received += got;
        if (m_dropUpload && m_received >= DropUploadAfterBytes) {
            dropConnections();
            return;
        }
        if (m_cutData && m_received >= CutDataAfterBytes) {
            cutData();
            return;
        }
    }
}

void FaxServerSession::store(QByteArrayView received)
{
    QByteArray unzipped;
    if (m_unzip && !m_unzip->feed(received, unzipped))
        m_writeFailed = true; // not the compressed stream it announced
    QByteArrayView bytes = m_unzip ? QByteArrayView(unzipped) : received;
    if (m_faults.has(Fault::Keep1000))
        bytes = bytes.first(qBound<qint64>(0, KeptBytes - m_stored, bytes.size()));
    if (m_upload->write(bytes.data(), bytes.size()) != bytes.size())
        m_writeFailed = true; // keep draining; the client hears of it after the transfer
    m_stored += bytes.size();
}

void FaxServerSession::onDataClosed()
{
    if (m_transfer != Transfer::Receiving)
        return; // bytes wait in the socket until STOR asks for them
    onDataBytes();
    if (m_transfer != Transfer::Receiving)
        return;
    if (m_dropUpload) {
        dropConnections(); // a file shorter than the cut: drop at its end
        return;
    }
    // A compressed stream cut short is taken as far as it goes, as hfaxd
    // does (drop-tail).
    const bool whole = !m_unzip || m_unzip->complete() || m_faults.has(Fault::DropTail);
    const bool ok = !m_writeFailed && whole && m_upload->flush();
    const QString error = m_upload->errorString();
    m_upload->close();
    m_upload.reset();
    m_transfer = Transfer::None;
    closePassive();
    log(u"stored %1: %2 bytes received, %3 stored"_s.arg(m_uploadName).arg(m_received).arg(m_stored));

    BatchScope batch(*this);
    send(ok ? replies::transferComplete()
            : replies::line(452, u"Error writing %1: %2."_s.arg(m_uploadPath, error)));
    processLines();
}

void FaxServerSession::onDataTimeout()
{
    if (m_transfer != Transfer::AwaitingConnection)
        return;
    m_upload->remove();
    m_upload.reset();
    m_transfer = Transfer::None;
    closePassive();
    BatchScope batch(*this);
    send(replies::cannotBuildDataConnection(u"Connection timed out"_s));
    processLines();
}

void FaxServerSession::dropConnections()
{
    log(u"drop-upload: %1 cut after %2 bytes, dropping both connections"_s.arg(m_uploadName).arg(m_received));
    m_upload->close();
    m_upload.reset();
    m_transfer = Transfer::None;
    m_closing = true;
    closePassive();
    m_socket->abort();
}

void FaxServerSession::cutData()
{
    // As hfaxd does when the data connection breaks: 426, the partial file
    // stays in /tmp, and the session takes the next commands as usual.
    log(u"cut-data: %1 cut after %2 bytes"_s.arg(m_uploadName).arg(m_received));
    m_cutData = false;
    m_upload->close();
    m_upload.reset();
    m_transfer = Transfer::None;
    closePassive();
    BatchScope batch(*this);
    send(replies::line(426, u"Data connection: Broken pipe."_s));
    processLines();
}

void FaxServerSession::flood()
{
    if (m_closing || m_socket->state() != QAbstractSocket::ConnectedState)
        return;
    if (m_faults.has(Fault::EndlessGreeting)) {
        // Keep the client fed without filling our own memory.
        if (m_socket->bytesToWrite() < 64 * 1024)
            m_socket->write(QByteArray("220-Kestrel fax appliance, still greeting.\r\n").repeated(256));
        return;
    }
    m_socket->write(replies::passiveMode(0x7f000001, 257));
}

void FaxServerSession::log(const QString& text) const
{
    activity::log(u"fax[%1] "_s.arg(m_number, 4, 10, QChar(u'0')) + text);
}

} // namespace kestrel::simulator
