#pragma once

#include <QByteArrayList>
#include <QObject>

class QSocketNotifier;

// A print spooler as CUPS's socket backend behaves: connects to the printer
// port, writes the job (in pieces, with a pause between them if asked),
// half-closes its side and waits for the printer to close. Tells whether the
// printer closed cleanly or reset the connection, which Qt's sockets do not
// tell apart. Runs on the event loop; nothing blocks.
class RawSpooler : public QObject
{
    Q_OBJECT
public:
    enum class Outcome
    {
        Pending,
        Closed,  // the printer closed after reading everything
        Reset,   // the printer reset the connection
        Refused, // nobody listened
        Failed   // any other error
    };
    Q_ENUM(Outcome)

    RawSpooler(quint16 port, QByteArrayList pieces, int pauseMs = 0, QObject* parent = nullptr);
    ~RawSpooler() override;

    void start();
    Outcome outcome() const { return m_outcome; }
    bool isDone() const { return m_outcome != Outcome::Pending; }
    // Every byte was handed to the system before the half-close.
    bool sentAll() const { return m_piece == m_pieces.size(); }
    QByteArray job() const { return m_pieces.join(); }

Q_SIGNALS:
    void done(RawSpooler::Outcome outcome);

private:
    void onWritable();
    void onReadable();
    void sendMore();
    void finish(Outcome outcome);

    quint16 m_port;
    QByteArrayList m_pieces;
    int m_pauseMs;
    int m_fd = -1;
    bool m_connected = false;
    qsizetype m_piece = 0;
    qsizetype m_offset = 0;
    QSocketNotifier* m_write = nullptr;
    QSocketNotifier* m_read = nullptr;
    Outcome m_outcome = Outcome::Pending;
};
