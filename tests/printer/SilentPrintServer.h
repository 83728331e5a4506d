#pragma once

#include <QLocalServer>
#include <QLocalSocket>
#include <QTemporaryDir>

#include <vector>

using namespace Qt::StringLiterals;

// A print system that takes connections and never answers, reached through
// CUPS_SERVER: libcups then waits a minute on every question it asks.
class SilentPrintServer
{
public:
    SilentPrintServer()
    {
        QObject::connect(&m_server, &QLocalServer::newConnection, &m_server, [this] {
            while (QLocalSocket* socket = m_server.nextPendingConnection())
                m_connections.push_back(socket);
        });
    }

    bool listen() { return m_dir.isValid() && m_server.listen(socketPath()); }
    QString socketPath() const { return m_dir.filePath(u"silent.sock"_s); }
    // Connections taken so far (counted as the event loop accepts them).
    int connections() const { return int(m_connections.size()); }

    // Drops every connection and stops listening: libcups then gives up at once.
    void close()
    {
        m_server.close();
        for (QLocalSocket* socket : m_connections)
            socket->abort();
    }

private:
    QTemporaryDir m_dir;
    QLocalServer m_server;
    std::vector<QLocalSocket*> m_connections; // children of the server
};
