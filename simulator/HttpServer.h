#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QTcpServer>

#include <optional>

class QTcpSocket;

namespace kestrel::simulator {

class FaultPlan;
class HttpPages;

struct HttpRequest
{
    QByteArray method;
    QByteArray target;
};

// Parses the head of an HTTP request (request line and headers, up to the
// empty line). Empty while the head is incomplete; sets *malformed for a
// head that can never be served.
std::optional<HttpRequest> parseHttpHead(const QByteArray& buffer, bool* malformed);

// A minimal HTTP/1.0 server for the status pages: one request per
// connection, answered and closed.
class HttpServer : public QObject
{
    Q_OBJECT
public:
    HttpServer(const HttpPages& pages, const FaultPlan& faults, QObject* parent = nullptr);

    bool listen(const QHostAddress& address, quint16 port, QString* error);
    quint16 port() const { return m_server.serverPort(); }

private:
    void onNewConnection();
    void onReadable(QTcpSocket* socket);
    void respond(QTcpSocket* socket, const HttpRequest& request);

    QTcpServer m_server;
    const HttpPages& m_pages;
    const FaultPlan& m_faults;
};

} // namespace kestrel::simulator
