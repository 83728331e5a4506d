#pragma once

#include <QHash>
#include <QMap>
#include <QStringList>
#include <QTcpServer>

class QTcpSocket;

// A scripted HTTP server on loopback for one test: answers each GET with the
// page set for its path and notes the request in the journal as "GET <path>".
// A path can also be made to stream without end (no length, until the client
// goes away) or to never answer.
class PageServer : public QObject
{
    Q_OBJECT

public:
    explicit PageServer(QStringList* journal = nullptr);

    quint16 port() const { return m_server.serverPort(); }
    void setPage(const QString& path, const QByteArray& body);
    void setEndlessPage(const QString& path);
    void setSilentPage(const QString& path);
    // Answers the path with these bytes as they stand (status line, header
    // and body), then closes.
    void setRawAnswer(const QString& path, const QByteArray& answer);
    // Body bytes the server has handed to the network for endless pages.
    qint64 endlessBytesSent() const { return m_endlessSent; }

private:
    enum class Kind
    {
        Page,
        Endless,
        Silent,
        Raw
    };

    void accept();
    void answer(QTcpSocket* socket);
    void feedEndless(QTcpSocket* socket);

    QTcpServer m_server;
    QStringList* m_journal;
    QMap<QString, QByteArray> m_pages;
    QMap<QString, Kind> m_kinds;
    QHash<QTcpSocket*, QByteArray> m_requests;
    qint64 m_endlessSent = 0;
};
