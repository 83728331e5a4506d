#include "RawSpooler.h"

#include <QSocketNotifier>
#include <QTimer>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

RawSpooler::RawSpooler(quint16 port, QByteArrayList pieces, int pauseMs, QObject* parent)
    : QObject(parent), m_port(port), m_pieces(std::move(pieces)), m_pauseMs(pauseMs)
{}

RawSpooler::~RawSpooler()
{
    delete m_write;
    delete m_read;
    if (m_fd >= 0)
        ::close(m_fd);
}

void RawSpooler::start()
{
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_fd < 0) {
        finish(Outcome::Failed);
        return;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(m_port);
    if (::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 && errno != EINPROGRESS) {
        finish(errno == ECONNREFUSED ? Outcome::Refused : Outcome::Failed);
        return;
    }
    m_write = new QSocketNotifier(m_fd, QSocketNotifier::Write, this);
    connect(m_write, &QSocketNotifier::activated, this, &RawSpooler::onWritable);
    m_read = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    m_read->setEnabled(false);
    connect(m_read, &QSocketNotifier::activated, this, &RawSpooler::onReadable);
}

void RawSpooler::onWritable()
{
    if (!m_connected) {
        int error = 0;
        socklen_t length = sizeof error;
        ::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &length);
        if (error != 0) {
            finish(error == ECONNREFUSED ? Outcome::Refused
                   : error == ECONNRESET ? Outcome::Reset
                                         : Outcome::Failed);
            return;
        }
        m_connected = true;
    }
    sendMore();
}

void RawSpooler::sendMore()
{
    while (m_piece < m_pieces.size()) {
        const QByteArray& piece = m_pieces.at(m_piece);
        while (m_offset < piece.size()) {
            const ssize_t sent = ::send(m_fd, piece.constData() + m_offset,
                                        static_cast<size_t>(piece.size() - m_offset), MSG_NOSIGNAL);
            if (sent < 0) {
                if (errno == EAGAIN || errno == EWOULDBLOCK)
                    return; // the notifier calls again
                finish(errno == ECONNRESET || errno == EPIPE ? Outcome::Reset : Outcome::Failed);
                return;
            }
            m_offset += sent;
        }
        ++m_piece;
        m_offset = 0;
        if (m_pauseMs > 0 && m_piece < m_pieces.size()) {
            m_write->setEnabled(false);
            QTimer::singleShot(m_pauseMs, this, [this] { m_write->setEnabled(true); });
            return;
        }
    }
    // The whole job is out: half-close, as the spooler does, and wait.
    m_write->setEnabled(false);
    ::shutdown(m_fd, SHUT_WR);
    m_read->setEnabled(true);
}

void RawSpooler::onReadable()
{
    char buffer[4096];
    const ssize_t got = ::recv(m_fd, buffer, sizeof buffer, 0);
    if (got > 0)
        return; // what a printer reports back is not looked at
    if (got == 0)
        finish(Outcome::Closed);
    else if (errno == ECONNRESET)
        finish(Outcome::Reset);
    else if (errno != EAGAIN && errno != EWOULDBLOCK)
        finish(Outcome::Failed);
}

void RawSpooler::finish(Outcome outcome)
{
    if (m_outcome != Outcome::Pending)
        return;
    m_outcome = outcome;
    if (m_write)
        m_write->setEnabled(false);
    if (m_read)
        m_read->setEnabled(false);
    Q_EMIT done(outcome);
}
