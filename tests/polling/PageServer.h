#pragma once

#include <QMap>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>

using namespace Qt::StringLiterals;

// A scripted HTTP server on loopback for one test: answers each GET with the
// page set for its path and notes the request in the journal as "GET <path>".
class PageServer : public QObject
{
    Q_OBJECT

public:
    explicit PageServer(QStringList* journal) : m_journal(journal)
    {
        connect(&m_server, &QTcpServer::newConnection, this, &PageServer::accept);
        m_server.listen(QHostAddress::LocalHost);
    }

    quint16 port() const { return m_server.serverPort(); }
    void setPage(const QString& path, const QByteArray& body) { m_pages.insert(path, body); }

private:
    void accept()
    {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            socket->setParent(this);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { answer(socket); });
        }
    }

    void answer(QTcpSocket* socket)
    {
        QByteArray& request = m_requests[socket];
        request += socket->readAll();
        if (!request.contains("\r\n\r\n"))
            return;
        const QString path = QString::fromLatin1(request.split(' ').value(1));
        m_journal->append(u"GET "_s + path);
        const QByteArray body = m_pages.value(path);
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/xml; charset=utf-8\r\nContent-Length: " +
                      QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    QStringList* m_journal;
    QMap<QString, QByteArray> m_pages;
    QMap<QTcpSocket*, QByteArray> m_requests;
};
