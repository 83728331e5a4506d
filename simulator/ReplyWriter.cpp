#include "ReplyWriter.h"

#include <QTcpSocket>

namespace kestrel::simulator {
namespace {
// Byte-by-byte: a pause after every few bytes, long enough that the bytes
// leave in separate segments rather than in one coalesced read.
constexpr int BytesBetweenPauses = 3;
constexpr int BytePauseMs = 2;
} // namespace

ReplyWriter::ReplyWriter(QTcpSocket* socket, bool byteByByte, QObject* parent)
    : QObject(parent), m_socket(socket), m_byteByByte(byteByByte)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &ReplyWriter::pump);
}

void ReplyWriter::write(const QByteArray& data)
{
    if (data.isEmpty())
        return;
    m_queue.push_back({data, 0});
    pump();
}

void ReplyWriter::pause(int ms)
{
    m_queue.push_back({{}, ms});
    pump();
}

void ReplyWriter::closeWhenDone()
{
    m_closeRequested = true;
    pump();
}

void ReplyWriter::pump()
{
    if (m_timer.isActive())
        return;
    while (!m_queue.empty()) {
        Item& item = m_queue.front();
        if (item.pauseMs > 0) {
            m_timer.start(item.pauseMs);
            m_queue.pop_front();
            return;
        }
        if (!m_byteByByte) {
            m_socket->write(item.data);
            m_socket->flush();
            m_queue.pop_front();
            continue;
        }
        m_socket->write(item.data.constData() + m_offset, 1);
        m_socket->flush();
        if (++m_offset == item.data.size()) {
            m_offset = 0;
            m_queue.pop_front();
        }
        if (++m_bytesSincePause >= BytesBetweenPauses) {
            m_bytesSincePause = 0;
            m_timer.start(BytePauseMs);
            return;
        }
    }
    if (m_closeRequested && m_socket->state() != QAbstractSocket::UnconnectedState)
        m_socket->disconnectFromHost();
}

} // namespace kestrel::simulator
