#include "PageServer.h"

#include <QTcpSocket>

using namespace Qt::StringLiterals;

namespace {
constexpr qint64 EndlessChunk = 64 * 1024;
}

PageServer::PageServer(QStringList* journal) : m_journal(journal)
{
    connect(&m_server, &QTcpServer::newConnection, this, &PageServer::accept);
    m_server.listen(QHostAddress::LocalHost);
}

void PageServer::setPage(const QString& path, const QByteArray& body)
{
    m_pages.insert(path, body);
    m_kinds.insert(path, Kind::Page);
}

void PageServer::setEndlessPage(const QString& path)
{
    m_kinds.insert(path, Kind::Endless);
}

void PageServer::setSilentPage(const QString& path)
{
    m_kinds.insert(path, Kind::Silent);
}

void PageServer::setRawAnswer(const QString& path, const QByteArray& answer)
{
    m_pages.insert(path, answer);
    m_kinds.insert(path, Kind::Raw);
}

void PageServer::accept()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { answer(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_requests.remove(socket);
            socket->deleteLater();
        });
    }
}

void PageServer::answer(QTcpSocket* socket)
{
    QByteArray& request = m_requests[socket];
    if (request.contains("\r\n\r\n"))
        return; // answered already; whatever follows is ignored
    request += socket->readAll();
    if (!request.contains("\r\n\r\n"))
        return;
    const QString path = QString::fromLatin1(request.split(' ').value(1));
    if (m_journal)
        m_journal->append(u"GET "_s + path);
    switch (m_kinds.value(path, Kind::Page)) {
    case Kind::Silent:
        return;
    case Kind::Endless:
        socket->write("HTTP/1.0 200 OK\r\nContent-Type: text/xml\r\n\r\n");
        connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] { feedEndless(socket); });
        feedEndless(socket);
        return;
    case Kind::Raw:
        socket->write(m_pages.value(path));
        socket->disconnectFromHost();
        return;
    case Kind::Page:
        break;
    }
    const QByteArray body = m_pages.value(path);
    socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/xml; charset=utf-8\r\nContent-Length: " +
                  QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
    socket->disconnectFromHost();
}

void PageServer::feedEndless(QTcpSocket* socket)
{
    // Keeps a little queued, like a server that writes as fast as the
    // client reads.
    static const QByteArray chunk(EndlessChunk, 'x');
    while (socket->state() == QAbstractSocket::ConnectedState && socket->bytesToWrite() < 2 * EndlessChunk) {
        socket->write(chunk);
        m_endlessSent += chunk.size();
    }
}
