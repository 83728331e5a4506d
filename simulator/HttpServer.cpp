#include "HttpServer.h"

#include "ActivityLog.h"
#include "FaultPlan.h"
#include "HttpPages.h"

#include <QDateTime>
#include <QTcpSocket>
#include <QTimer>

namespace kestrel::simulator {
namespace {

using namespace Qt::StringLiterals;

constexpr qsizetype MaxHeadSize = 16 * 1024;
constexpr int IdleTimeoutMs = 30'000; // a client that never finishes its request is let go
const char* const BufferProperty = "kestrelRequestBuffer";

QByteArray reason(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    default:
        return "Error";
    }
}

QByteArray response(int status, const QByteArray& contentType, const QByteArray& body, bool withBody)
{
    QByteArray head = "HTTP/1.0 " + QByteArray::number(status) + ' ' + reason(status) + "\r\n";
    head += "Content-Type: " + contentType + "\r\n";
    head += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    if (status == 405)
        head += "Allow: GET, HEAD\r\n";
    head += "Connection: close\r\n\r\n";
    return withBody ? head + body : head;
}

} // namespace

std::optional<HttpRequest> parseHttpHead(const QByteArray& buffer, bool* malformed)
{
    *malformed = false;
    qsizetype end = buffer.indexOf("\r\n\r\n");
    if (end < 0)
        end = buffer.indexOf("\n\n");
    if (end < 0) {
        *malformed = buffer.size() > MaxHeadSize;
        return std::nullopt;
    }
    qsizetype lineEnd = buffer.indexOf('\n');
    QByteArray requestLine = buffer.left(lineEnd);
    if (requestLine.endsWith('\r'))
        requestLine.chop(1);
    const QList<QByteArray> parts = requestLine.split(' ');
    if (parts.size() != 3 || !parts.at(1).startsWith('/') || !parts.at(2).startsWith("HTTP/")) {
        *malformed = true;
        return std::nullopt;
    }
    return HttpRequest{parts.at(0), parts.at(1)};
}

HttpServer::HttpServer(const HttpPages& pages, const FaultPlan& faults, QObject* parent)
    : QObject(parent), m_pages(pages), m_faults(faults)
{
    connect(&m_server, &QTcpServer::newConnection, this, &HttpServer::onNewConnection);
}

bool HttpServer::listen(const QHostAddress& address, quint16 port, QString* error)
{
    if (m_server.listen(address, port))
        return true;
    *error = m_server.errorString();
    return false;
}

void HttpServer::onNewConnection()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        if (m_faults.has(HttpFault::NoAnswer)) {
            // Read and forget, so the client's request never blocks; answer never.
            connect(socket, &QTcpSocket::readyRead, socket, [socket] { socket->readAll(); });
            activity::log(u"http: connection held without an answer (no-answer)"_s);
            continue;
        }
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadable(socket); });
        auto* idle = new QTimer(socket);
        idle->setSingleShot(true);
        connect(idle, &QTimer::timeout, socket, &QTcpSocket::abort);
        idle->start(IdleTimeoutMs);
    }
}

void HttpServer::onReadable(QTcpSocket* socket)
{
    QByteArray buffer = socket->property(BufferProperty).toByteArray() + socket->readAll();
    bool malformed = false;
    const auto request = parseHttpHead(buffer, &malformed);
    if (malformed) {
        activity::log(u"http: malformed request"_s);
        socket->write(response(400, "text/plain; charset=UTF-8", "Bad Request\n", true));
        socket->disconnectFromHost();
        return;
    }
    if (!request) {
        socket->setProperty(BufferProperty, buffer);
        return;
    }
    socket->disconnect(this); // one request per connection
    respond(socket, *request);
}

void HttpServer::respond(QTcpSocket* socket, const HttpRequest& request)
{
    const bool head = request.method == "HEAD";
    HttpPage page;
    if (request.method != "GET" && !head)
        page = {405, "text/plain; charset=UTF-8", "Method Not Allowed\n"};
    else
        page = m_pages.page(request.target, QDateTime::currentDateTimeUtc());
    activity::log(u"http: %1 %2 -> %3 (%4 bytes)"_s
                      .arg(QString::fromLatin1(request.method), QString::fromLatin1(request.target))
                      .arg(page.status)
                      .arg(page.body.size()));
    socket->write(response(page.status, page.contentType, page.body, !head));
    socket->disconnectFromHost();
}

} // namespace kestrel::simulator
