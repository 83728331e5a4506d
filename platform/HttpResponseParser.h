#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace kestrel {

// Reads one HTTP/1.x response to a GET as its bytes arrive: the status line,
// the header, and a body delimited by its length, by chunks, or by the end of
// the connection. Interim 1xx answers are passed over. Holds no socket. The
// verdict does not depend on how the bytes are cut into pieces.
class HttpResponseParser
{
public:
    enum class State
    {
        Incomplete,
        Complete,
        Failed
    };

    // A head (status line and header) larger than this is a fault.
    static constexpr qsizetype MaxHeadBytes = 64 * 1024;

    // A body larger than maxBodyBytes fails as soon as that much is known
    // to be coming (announced) or has arrived.
    explicit HttpResponseParser(qint64 maxBodyBytes);

    // More bytes of the connection. Bytes after a complete response are
    // ignored.
    State feed(QByteArrayView bytes);
    // The connection ended: completes a body that runs to the end of the
    // connection, fails any other unfinished response.
    State finish();

    State state() const { return m_state; }
    int status() const { return m_status; }
    const QByteArray& reason() const { return m_reason; }
    // The value of the first header field of that name (any letter case),
    // blanks trimmed; empty when there is none.
    QByteArray header(QByteArrayView name) const;
    const QByteArray& body() const { return m_body; }
    // Why the response failed.
    const QString& error() const { return m_error; }
    bool tooLarge() const { return m_tooLarge; }

private:
    enum class Part
    {
        Head,
        Body,         // m_remaining bytes
        BodyUntilEnd, // until the connection ends
        ChunkSize,    // a chunk-size line
        ChunkData,    // m_remaining bytes of a chunk
        ChunkDataEnd, // the line break after a chunk
        Trailer,      // trailer lines up to an empty one
    };

    State fail(const QString& why);
    State complete();
    bool takeHead();
    bool takeBody(QByteArrayView bytes);
    // The next line of m_pending without its line break; false until one
    // has arrived whole.
    bool takeLine(QByteArray& line);

    qint64 m_maxBody;
    State m_state = State::Incomplete;
    Part m_part = Part::Head;
    QByteArray m_pending; // bytes not consumed yet (head, chunk lines)
    int m_status = 0;
    QByteArray m_reason;
    QByteArray m_head; // header lines, "name: value\n"
    QByteArray m_body;
    qint64 m_remaining = 0;
    qsizetype m_trailerBytes = 0;
    bool m_tooLarge = false;
    QString m_error;
};

} // namespace kestrel
