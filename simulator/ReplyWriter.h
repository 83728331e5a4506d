#pragma once

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <deque>

class QTcpSocket;

namespace kestrel::simulator {

// Writes replies to the command connection in order: each write() is one
// socket write, flushed at once, so the client sees the chunks the session
// chose. Pauses and the byte-by-byte mode keep that order through a queue.
class ReplyWriter : public QObject
{
    Q_OBJECT
public:
    ReplyWriter(QTcpSocket* socket, bool byteByByte, QObject* parent = nullptr);

    void write(const QByteArray& data);
    void pause(int ms);
    // Closes the connection once everything queued has been written.
    void closeWhenDone();

private:
    void pump();

    struct Item
    {
        QByteArray data;
        int pauseMs = 0;
    };

    QTcpSocket* m_socket;
    bool m_byteByByte;
    std::deque<Item> m_queue;
    qsizetype m_offset = 0;    // bytes of the front item already written
    int m_bytesSincePause = 0; // byte-by-byte: pause every few bytes
    QTimer m_timer;
    bool m_closeRequested = false;
};

} // namespace kestrel::simulator
