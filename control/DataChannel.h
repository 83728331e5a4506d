#pragma once

#include "PassiveReply.h"
#include "SocketComponent.h"

#include <QFile>
#include <QObject>

namespace kestrel {

// The passive data connection (wsData): connects where the server said and
// streams one file in chunks, so a document is never held whole in memory.
class DataChannel : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 ChunkSize = 256 * 1024;
    // Keep at most this much queued in the socket at a time.
    static constexpr qint64 QueueLimit = 1024 * 1024;

    explicit DataChannel(QObject* parent = nullptr);

    SocketComponent& wsData() { return m_ws; }
    int state() const { return m_ws.state(); }

    // Closes a connected data connection, then connects to the address.
    void OpenDataConnection(const PassiveAddress& address);
    // Opens the document for reading; on failure gives the error number and
    // description the debug log reports.
    bool openFile(const QString& path, int* errorNumber, QString* errorDescription);
    // Sends the opened file; SendComplete follows once all of it has been
    // handed to the network.
    void startSending();
    void close();

    qint64 bytesQueued() const { return m_queued; }

Q_SIGNALS:
    void SendComplete();
    void progressed();
    // documentUnreadable: the local file could not be read; otherwise the
    // connection failed.
    void failed(const QString& reason, bool documentUnreadable);

private:
    void pump();
    void fail(const QString& reason, bool documentUnreadable = false);

    SocketComponent m_ws;
    QFile m_file;
    bool m_expecting = false; // a transfer is under way on this connection
    bool m_sending = false;
    bool m_endOfFile = false;
    qint64 m_queued = 0;
};

} // namespace kestrel
