#pragma once

#include "DeflateWorker.h"
#include "Expected.h"
#include "Logger.h"
#include "SocketComponent.h"

#include <QFile>
#include <QObject>

namespace kestrel {

// The passive data connection (wsData): connects to the fax server and
// streams one file in chunks, so a document is never held whole in memory.
class DataChannel : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 ChunkSize = 256 * 1024;
    // Keep at most this much queued in the socket at a time.
    static constexpr qint64 QueueLimit = 1024 * 1024;

    explicit DataChannel(QObject* parent = nullptr);
    ~DataChannel() override;

    void setLogger(Logger logger) { m_log = std::move(logger); }
    SocketComponent& wsData() { return m_ws; }
    int state() const { return m_ws.state(); }

    // Whether a file can be sent: it opens and holds at least one byte. The
    // error carries the number and text that the debug log reports.
    static Expected<qint64> checkDocument(const QString& path);

    // Whether a file is worth compressing, by its first ChunkSize bytes: a
    // PDF of photographs, say, is not, and compressing it only adds the
    // framing.
    static bool compresses(const QString& path);

    // Closes a connected data connection, then connects to host:port.
    void OpenDataConnection(const QString& host, quint16 port);
    // Sends the file, compressed as it goes when the fax server took the
    // compressed mode (on a thread of its own, a piece ahead of the
    // connection, at the level that keeps it ahead); SendComplete follows once all of it has been handed
    // to the network, failed() when the file or the connection fails.
    Status startSending(const QString& path, bool compressed = false);
    // Bytes handed to the data connections so far (compressed or not).
    qint64 bytesSent() const { return m_bytesSent; }
    // Bytes of the file read for the transfer under way, or the last one:
    // what the server must hold once it has all of it.
    qint64 fileBytesSent() const { return m_fileBytes; }
    void close();

Q_SIGNALS:
    void SendComplete();
    void progressed();
    // documentUnreadable: the local file could not be read; otherwise the
    // connection failed.
    void failed(const QString& reason, bool documentUnreadable);

private:
    void pump();
    void pumpCompressed();
    void sent();
    bool put(const QByteArray& bytes);
    void fail(const QString& reason, bool documentUnreadable = false);
    void log(const QString& line) const;

    SocketComponent m_ws;
    QFile m_file;
    Logger m_log;
    bool m_expecting = false; // a transfer is under way on this connection
    bool m_sending = false;
    bool m_endOfFile = false;
    bool m_compressed = false;
    DeflateWorker m_deflater;
    qint64 m_bytesSent = 0;
    qint64 m_fileBytes = 0;
    quint64 m_transfer = 0; // changes whenever the connection is closed
};

} // namespace kestrel
