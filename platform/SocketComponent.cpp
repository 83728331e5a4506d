#include "SocketComponent.h"

#include <QNetworkProxy>
#include <QTcpServer>
#include <QTcpSocket>

#include <functional>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

// Announces each accepted descriptor before any socket object is made of it,
// so that the owner can take it as a socket or as a plain descriptor.
class DescriptorServer : public QTcpServer
{
public:
    DescriptorServer(std::function<void(qintptr)> incoming, QObject* parent)
        : QTcpServer(parent), m_incoming(std::move(incoming))
    {}

protected:
    void incomingConnection(qintptr descriptor) override { m_incoming(descriptor); }

private:
    std::function<void(qintptr)> m_incoming;
};

int errorNumberFor(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return SocketComponent::ConnectionRefused;
    case QAbstractSocket::RemoteHostClosedError:
        return SocketComponent::ConnectionReset;
    case QAbstractSocket::HostNotFoundError:
        return SocketComponent::HostNotFound;
    case QAbstractSocket::SocketAccessError:
        return SocketComponent::AccessDenied;
    case QAbstractSocket::SocketTimeoutError:
        return SocketComponent::TimedOut;
    case QAbstractSocket::AddressInUseError:
        return SocketComponent::AddressInUse;
    case QAbstractSocket::OperationError:
        return SocketComponent::InvalidOperation;
    default:
        return SocketComponent::NetworkError;
    }
}

} // namespace

SocketComponent::SocketComponent(QObject* parent) : QObject(parent) {}

SocketComponent::~SocketComponent()
{
    close();
}

int SocketComponent::state() const
{
    if (m_server && m_server->isListening())
        return Listening;
    if (!m_socket)
        return m_error ? ErrorState : Closed;
    switch (m_socket->state()) {
    case QAbstractSocket::UnconnectedState:
        return m_error ? ErrorState : Closed;
    case QAbstractSocket::HostLookupState:
        return ResolvingHost;
    case QAbstractSocket::ConnectingState:
        return Connecting;
    case QAbstractSocket::ConnectedState:
        return m_peerClosed ? Closing : Connected;
    case QAbstractSocket::BoundState:
        return Open;
    case QAbstractSocket::ListeningState:
        return Listening;
    case QAbstractSocket::ClosingState:
        return Closing;
    }
    return Closed;
}

void SocketComponent::adoptSocket(QTcpSocket* socket)
{
    dropSocket();
    m_socket = socket;
    m_error = false;
    m_peerClosed = false;
    socket->setParent(this);
    if (m_lowDelay)
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connect(socket, &QTcpSocket::connected, this, [this] {
        if (m_lowDelay && m_socket)
            m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        acknowledgeAtOnce();
        Q_EMIT Connect();
    });
    connect(socket, &QTcpSocket::readyRead, this, &SocketComponent::announceData);
    connect(socket, &QTcpSocket::bytesWritten, this, &SocketComponent::onBytesWritten);
    connect(socket, &QTcpSocket::disconnected, this, &SocketComponent::onDisconnected);
    connect(socket, &QTcpSocket::errorOccurred, this, &SocketComponent::onSocketError);
}

void SocketComponent::dropSocket()
{
    if (!m_socket)
        return;
    QTcpSocket* socket = m_socket;
    m_socket = nullptr;
    socket->disconnect(this);
    socket->abort();
    // A handler of this very socket may be running below us.
    socket->deleteLater();
}

void SocketComponent::setLowDelay(bool on)
{
    m_lowDelay = on;
    if (m_socket)
        m_socket->setSocketOption(QAbstractSocket::LowDelayOption, on ? 1 : 0);
}

QString SocketComponent::peerAddress() const
{
    if (!m_socket || m_socket->state() != QAbstractSocket::ConnectedState)
        return {};
    const QHostAddress peer = m_socket->peerAddress();
    bool isV4 = false;
    const quint32 v4 = peer.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4).toString() : peer.toString();
}

void SocketComponent::connectTo(const QString& host, quint16 port)
{
    close();
    auto* socket = new QTcpSocket(this);
    socket->setProxy(QNetworkProxy::NoProxy);
    adoptSocket(socket);
    socket->connectToHost(host, port);
}

bool SocketComponent::listen()
{
    if (state() != Closed && state() != ErrorState) {
        setError(InvalidOperation, u"Wrong protocol or connection state for the requested operation"_s);
        return false;
    }
    dropSocket();
    if (!m_server) {
        m_server =
            new DescriptorServer([this](qintptr descriptor) { onIncomingConnection(descriptor); }, this);
        connect(m_server, &QTcpServer::acceptError, this, &SocketComponent::onAcceptError);
    }
    if (!m_server->listen(m_localAddress, m_localPort)) {
        setError(errorNumberFor(m_server->serverError()), m_server->errorString());
        return false;
    }
    m_error = false;
    return true;
}

void SocketComponent::onIncomingConnection(qintptr descriptor)
{
    const qintptr id = m_nextRequestId++;
    m_pending.insert(id, descriptor);
    Q_EMIT ConnectionRequest(id);
    // A request the handler did not accept is refused.
    if (m_pending.contains(id))
        ::close(static_cast<int>(m_pending.take(id)));
}

bool SocketComponent::accept(qintptr requestId)
{
    if (!m_pending.contains(requestId)) {
        setError(InvalidOperation, u"No such connection request"_s);
        return false;
    }
    const qintptr descriptor = m_pending.take(requestId);
    auto* socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        setError(errorNumberFor(socket->error()), socket->errorString());
        ::close(static_cast<int>(descriptor));
        delete socket;
        return false;
    }
    adoptSocket(socket);
    // Data may already be waiting; announce it once the handler returns.
    if (socket->bytesAvailable() > 0)
        announceData();
    return true;
}

void SocketComponent::acknowledgeAtOnce()
{
#ifdef TCP_QUICKACK
    if (!m_lowDelay || !m_socket || m_socket->socketDescriptor() < 0)
        return;
    const int on = 1;
    ::setsockopt(int(m_socket->socketDescriptor()), IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
#endif
}

qintptr SocketComponent::takeConnectionDescriptor(qintptr requestId)
{
    if (!m_pending.contains(requestId)) {
        setError(InvalidOperation, u"No such connection request"_s);
        return -1;
    }
    return m_pending.take(requestId);
}

void SocketComponent::pauseAccepting()
{
    if (m_server)
        m_server->pauseAccepting();
}

void SocketComponent::resumeAccepting()
{
    if (m_server && m_server->isListening())
        m_server->resumeAccepting();
}

void SocketComponent::onAcceptError()
{
    // QTcpServer has paused itself; the owner decides when to resume.
    setError(errorNumberFor(m_server->serverError()), m_server->errorString());
    Q_EMIT Error(m_errorNumber, m_errorDescription);
}

void SocketComponent::announceData()
{
    acknowledgeAtOnce();
    // DataArrival is raised from the event loop, not from inside Qt's
    // readyRead: Qt does not raise readyRead again while a slot of it runs,
    // and our handlers wait for further replies inside DataArrival.
    if (m_arrivalQueued)
        return;
    m_arrivalQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_arrivalQueued = false;
            if (m_socket && m_socket->bytesAvailable() > 0)
                Q_EMIT DataArrival(m_socket->bytesAvailable());
        },
        Qt::QueuedConnection);
}

void SocketComponent::close()
{
    if (m_server)
        m_server->close();
    dropSocket();
    m_error = false;
    m_peerClosed = false;
}

qint64 SocketComponent::sendData(const QByteArray& data)
{
    if (!m_socket || m_socket->state() != QAbstractSocket::ConnectedState) {
        setError(InvalidOperation, u"Wrong protocol or connection state for the requested operation"_s);
        return -1;
    }
    return m_socket->write(data);
}

QByteArray SocketComponent::getData()
{
    return m_socket ? m_socket->readAll() : QByteArray();
}

qint64 SocketComponent::getData(char* data, qint64 maxSize)
{
    return m_socket ? qMax<qint64>(0, m_socket->read(data, maxSize)) : 0;
}

qint64 SocketComponent::bytesAvailable() const
{
    return m_socket ? m_socket->bytesAvailable() : 0;
}

qint64 SocketComponent::bytesToWrite() const
{
    return m_socket ? m_socket->bytesToWrite() : 0;
}

bool SocketComponent::sendQueueEmpty() const
{
    if (!m_socket || m_socket->bytesToWrite() > 0)
        return !m_socket;
    int unsent = 0;
    const qintptr fd = m_socket->socketDescriptor();
    return fd < 0 || ::ioctl(int(fd), SIOCOUTQNSD, &unsent) != 0 || unsent == 0;
}

void SocketComponent::setReadBufferSize(qint64 size)
{
    if (m_socket)
        m_socket->setReadBufferSize(size);
}

void SocketComponent::onBytesWritten(qint64 bytes)
{
    if (!m_socket)
        return;
    const qint64 remaining = m_socket->bytesToWrite();
    Q_EMIT SendProgress(bytes, remaining);
    if (remaining == 0 && m_socket)
        Q_EMIT SendComplete();
}

void SocketComponent::onDisconnected()
{
    m_peerClosed = true;
    Q_EMIT Close();
}

void SocketComponent::onSocketError()
{
    if (!m_socket)
        return;
    const QAbstractSocket::SocketError error = m_socket->error();
    if (error == QAbstractSocket::RemoteHostClosedError) {
        // The peer finished; reported through Close, not as a failure.
        m_peerClosed = true;
        return;
    }
    setError(errorNumberFor(error), m_socket->errorString());
    m_error = true;
    Q_EMIT Error(m_errorNumber, m_errorDescription);
}

void SocketComponent::setError(int number, const QString& description)
{
    m_errorNumber = number;
    m_errorDescription = description;
}

} // namespace kestrel
