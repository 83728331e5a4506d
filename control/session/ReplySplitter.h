#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace kestrel {

struct Reply
{
    int code = -1; // -1 for a line that carries no code
    QString text;  // every line of the reply, joined by CR LF

    QString codeText() const { return text.left(3); }
    bool isPreliminary() const { return code >= 100 && code < 200; }
    bool isRefusal() const { return code >= 400; }
};

// Bytes from the command connection in, complete replies out. A partial
// line waits for the rest; a multi-line reply ("ddd-" ... "ddd ") comes out
// as one reply.
class ReplySplitter
{
public:
    // A line, or a multi-line reply as a whole, longer than this is not a
    // reply of a fax server.
    static constexpr qsizetype MaxReply = 64 * 1024;

    // Returns false when the input cannot be a reply stream (an overlong
    // line or reply); the splitter then takes nothing more until reset.
    bool feed(const QByteArray& bytes);
    bool hasReply() const { return !m_ready.isEmpty(); }
    Reply takeReply() { return m_ready.takeFirst(); }
    void reset();

private:
    void takeLine(const QByteArray& line);

    QByteArray m_buffer;
    QList<Reply> m_ready;
    int m_multiCode = -1;
    QString m_multiText;
    bool m_overflow = false;
};

} // namespace kestrel
