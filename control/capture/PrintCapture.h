#pragma once

#include "JobEndDetector.h"
#include "SocketComponent.h"
#include "SpoolName.h"
#include "SpoolWriter.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

namespace kestrel {

// The capture printer's raw port: listens on 127.0.0.1, receives one print
// job per connection, writes it to a spool file and announces the file.
//
// A job ends when the spooler closes its side of the connection. A sender
// that keeps the connection open is served too: data ending in "%%EOF" that
// then stays quiet for a few seconds is a complete job. One job is received
// at a time; the port is closed meanwhile, so the kernel refuses other
// spoolers and they retry, and it is opened again as soon as the job ends.
class PrintCapture : public QObject
{
    Q_OBJECT
public:
    static constexpr int DefaultEofIdleMs = 5000;
    // A connection silent this long, with no end marker, is treated as ended.
    static constexpr int DefaultStallMs = 10 * 60 * 1000;
    static constexpr int FirstRelistenRetryMs = 1000;
    static constexpr int LastRelistenRetryMs = 30000;
    // Most the socket reads at a time: each piece stays in the processor's
    // cache on its way to the file, and memory stays flat for any job size.
    static constexpr qint64 ReadChunk = 1024 * 1024;

    explicit PrintCapture(QObject* parent = nullptr);
    ~PrintCapture() override;

    // The spool name takes the value current when a job is saved.
    void setPrinterName(const QString& name) { m_printerName = name; }
    QString printerName() const { return m_printerName; }
    void setLogger(std::function<void(const QString&)> logger) { m_log = std::move(logger); }

    // Opens the listener on 127.0.0.1 at the capture port. When it cannot
    // (port taken, or already listening or receiving), logs
    // "Printer Socket Error: (n)", leaves any listener or connection as it
    // is and returns false.
    bool AscoltaStampante();

    // The socket's numeric state (SocketComponent::State).
    int socketState() const { return m_socket.state(); }
    quint16 port() const { return m_socket.localPort(); }

    // Seams for tests.
    SpoolName& spoolNames() { return m_names; }
    void setEofIdleMs(int ms) { m_eofIdleMs = ms; }
    void setStallMs(int ms) { m_stallMs = ms; }

Q_SIGNALS:
    void PrintedDocAvailable(const QString& spoolFile);
    // A job could not be saved; the text is for the user.
    void captureFailed(const QString& message);

private:
    enum class JobEnd
    {
        PeerClosed,
        ConnectionError,
        QuietAfterEof,
        Stalled
    };

    void onConnectionRequest(qintptr requestId);
    void onDataArrival(qint64 bytesTotal);
    void onPeerClosed();
    void onSocketError(int number, const QString& description);
    void onQuiet();

    void take(QByteArrayView piece);
    void endJob(JobEnd how);
    void listenAgain();
    Expected<QString> SalvaSpool(std::unique_ptr<SpoolWriter> job);
    void reportFailure(const QString& reason);
    void log(const QString& line) const;

    SocketComponent m_socket;
    SpoolName m_names;
    QString m_printerName;
    std::function<void(const QString&)> m_log;

    // The job in progress: its file, once data has come, and its tail.
    bool m_receiving = false;
    std::unique_ptr<SpoolWriter> m_job;
    bool m_discarding = false;
    qint64 m_received = 0;
    JobEndDetector m_end;
    QTimer m_quiet;
    QByteArray m_readBuffer; // reused for every read of a job
    int m_eofIdleMs = DefaultEofIdleMs;
    int m_stallMs = DefaultStallMs;

    QTimer m_relisten;
    int m_relistenDelayMs = FirstRelistenRetryMs;
};

} // namespace kestrel
