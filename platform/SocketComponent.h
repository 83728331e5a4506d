#pragma once

#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QPointer>

class QTcpServer;
class QTcpSocket;

namespace kestrel {

// A TCP component in the manner of the Windows socket control the system was
// designed around: one object is a client connection, a listener, or an
// accepted connection, reports a numeric state and raises events.
class SocketComponent : public QObject
{
    Q_OBJECT
public:
    enum State
    {
        Closed = 0,
        Open = 1,
        Listening = 2,
        ConnectionPending = 3,
        ResolvingHost = 4,
        HostResolved = 5,
        Connecting = 6,
        Connected = 7,
        Closing = 8,
        ErrorState = 9,
    };
    Q_ENUM(State)

    // Error numbers, as the Windows control reports them.
    enum ErrorNumber
    {
        NoError = 0,
        AddressInUse = 10048,
        ConnectionAborted = 10053,
        ConnectionReset = 10054,
        TimedOut = 10060,
        ConnectionRefused = 10061,
        HostNotFound = 11001,
        InvalidOperation = 40006,
        AccessDenied = 10013,
        NetworkError = 10050,
    };

    explicit SocketComponent(QObject* parent = nullptr);
    ~SocketComponent() override;

    int state() const;

    void setLocalPort(quint16 port) { m_localPort = port; }
    quint16 localPort() const { return m_localPort; }

    // For a command protocol: small writes leave at once instead of waiting
    // for the acknowledgement of the last one (TCP_NODELAY), and what
    // arrives is acknowledged at once (TCP_QUICKACK, renewed after every
    // read). A server that writes several replies in a row otherwise holds
    // each back until the previous one is acknowledged, and a delayed
    // acknowledgement costs some 40 ms each time.
    void setLowDelay(bool on);

    void connectTo(const QString& host, quint16 port);
    // Returns false (with lastError set) when the port cannot be opened.
    bool listen();
    // Accepts the connection announced by ConnectionRequest on this object.
    bool accept(qintptr requestId);
    // Hands the connection announced by ConnectionRequest to the caller as
    // the system's socket descriptor, which the caller then owns and closes,
    // leaving this object as it is: the listener stays open, so one listener
    // serves many connections at once, and a reader of long streams can read
    // straight into its own buffer. -1 when there is no such request.
    qintptr takeConnectionDescriptor(qintptr requestId);
    // A paused listener leaves new connections in the system's backlog until
    // it resumes. Accept errors pause it as well (and raise Error).
    void pauseAccepting();
    void resumeAccepting();
    void close();

    // Queues data for sending; returns the number of bytes queued.
    qint64 sendData(const QByteArray& data);
    QByteArray getData();
    // Reads up to maxSize bytes into the caller's buffer, so a reader of a
    // long stream can reuse one buffer; returns the count read.
    qint64 getData(char* data, qint64 maxSize);
    qint64 bytesAvailable() const;
    qint64 bytesToWrite() const;
    // Whether the connection has nothing left to send: nothing queued here,
    // and nothing the system has taken but not yet put on the wire.
    bool sendQueueEmpty() const;
    void setReadBufferSize(qint64 size);
    // The address of the connected peer, IPv4 in dotted form; empty when
    // not connected.
    QString peerAddress() const;

    int lastErrorNumber() const { return m_errorNumber; }
    QString lastErrorDescription() const { return m_errorDescription; }

Q_SIGNALS:
    void Connect();
    void ConnectionRequest(qintptr requestId);
    void DataArrival(qint64 bytesTotal);
    void SendProgress(qint64 bytesSent, qint64 bytesRemaining);
    void SendComplete();
    void Close();
    void Error(int number, const QString& description);

private:
    void adoptSocket(QTcpSocket* socket);
    void announceData();
    void acknowledgeAtOnce();
    void dropSocket();
    void onSocketError();
    void onBytesWritten(qint64 bytes);
    void onDisconnected();
    void onIncomingConnection(qintptr descriptor);
    void onAcceptError();
    void setError(int number, const QString& description);

    QPointer<QTcpSocket> m_socket;
    QTcpServer* m_server = nullptr;
    QHash<qintptr, qintptr> m_pending; // request id -> accepted descriptor
    qintptr m_nextRequestId = 1;
    QHostAddress m_localAddress = QHostAddress(QHostAddress::LocalHost);
    quint16 m_localPort = 0;
    bool m_error = false;
    bool m_peerClosed = false;
    bool m_arrivalQueued = false;
    bool m_lowDelay = false;
    int m_errorNumber = NoError;
    QString m_errorDescription;
};

} // namespace kestrel
