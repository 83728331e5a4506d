#include "HttpResponseParser.h"

#include <QList>

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

// A chunk-size line is a few hex digits and perhaps an extension.
constexpr qsizetype MaxChunkLineBytes = 1024;

} // namespace

HttpResponseParser::HttpResponseParser(qint64 maxBodyBytes) : m_maxBody(maxBodyBytes) {}

QByteArray HttpResponseParser::header(QByteArrayView name) const
{
    for (const QByteArray& line : m_head.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && QByteArrayView(line).first(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return line.sliced(colon + 1).trimmed();
    }
    return {};
}

HttpResponseParser::State HttpResponseParser::fail(const QString& why)
{
    m_state = State::Failed;
    m_error = why;
    m_pending.clear();
    return m_state;
}

HttpResponseParser::State HttpResponseParser::complete()
{
    m_state = State::Complete;
    m_pending.clear();
    return m_state;
}

bool HttpResponseParser::takeLine(QByteArray& line)
{
    const qsizetype end = m_pending.indexOf('\n');
    if (end < 0)
        return false;
    line = m_pending.first(end);
    if (line.endsWith('\r'))
        line.chop(1);
    m_pending.remove(0, end + 1);
    return true;
}

// Takes head lines while they are whole; true once the head has ended.
bool HttpResponseParser::takeHead()
{
    QByteArray line;
    while (takeLine(line)) {
        if (m_status == 0) {
            // "HTTP/1.1 200 OK"
            const QList<QByteArray> words = line.split(' ');
            bool number = false;
            const int status = words.value(1).toInt(&number);
            if (!line.startsWith("HTTP/1.") || !number || status < 100 || status > 599) {
                fail(u"not an HTTP answer: \"%1\""_s.arg(QString::fromLatin1(line.left(80))));
                return false;
            }
            m_status = status;
            m_reason = line.sliced(qMin(line.size(), words.value(0).size() + words.value(1).size() + 2));
        } else if (!line.isEmpty()) {
            m_head += line + '\n';
            if (m_head.size() > MaxHeadBytes) {
                fail(u"the answer's header is larger than %1 KiB"_s.arg(MaxHeadBytes / 1024));
                return false;
            }
        } else if (m_status < 200) {
            // An interim answer (100 Continue): the real one follows.
            m_status = 0;
            m_head.clear();
        } else {
            return true;
        }
    }
    if (m_pending.size() > MaxHeadBytes + 1)
        fail(u"the answer's header is larger than %1 KiB"_s.arg(MaxHeadBytes / 1024));
    return false;
}

// Appends body bytes; false when the body has grown past its limit.
bool HttpResponseParser::takeBody(QByteArrayView bytes)
{
    if (m_body.size() + bytes.size() > m_maxBody) {
        m_tooLarge = true;
        fail(u"the page is larger than its limit"_s);
        return false;
    }
    m_body.append(bytes.data(), bytes.size());
    return true;
}

HttpResponseParser::State HttpResponseParser::feed(QByteArrayView bytes)
{
    if (m_state != State::Incomplete)
        return m_state;
    m_pending.append(bytes.data(), bytes.size());
    while (m_state == State::Incomplete) {
        switch (m_part) {
        case Part::Head: {
            if (!takeHead())
                return m_state;
            if (m_status == 204 || m_status == 304)
                return complete();
            const QByteArray coding = header("Transfer-Encoding").toLower();
            const QByteArray length = header("Content-Length");
            if (coding.endsWith("chunked")) {
                m_part = Part::ChunkSize;
            } else if (!length.isEmpty()) {
                bool number = false;
                m_remaining = length.toLongLong(&number);
                if (!number || m_remaining < 0)
                    return fail(
                        u"the answer's length \"%1\" is not a number"_s.arg(QString::fromLatin1(length)));
                if (m_remaining > m_maxBody) {
                    m_tooLarge = true;
                    return fail(u"the page is larger than its limit"_s);
                }
                if (m_remaining == 0)
                    return complete();
                m_part = Part::Body;
            } else {
                m_part = Part::BodyUntilEnd;
            }
            break;
        }
        case Part::Body:
        case Part::ChunkData: {
            if (m_pending.isEmpty())
                return m_state;
            const qsizetype taken = qsizetype(qMin<qint64>(m_remaining, m_pending.size()));
            if (!takeBody(QByteArrayView(m_pending).first(taken)))
                return m_state;
            m_pending.remove(0, taken);
            m_remaining -= taken;
            if (m_remaining == 0) {
                if (m_part == Part::Body)
                    return complete();
                m_part = Part::ChunkDataEnd;
            }
            break;
        }
        case Part::BodyUntilEnd:
            if (takeBody(m_pending))
                m_pending.clear();
            return m_state;
        case Part::ChunkSize: {
            // The limits hold whatever the pieces the line came in: a line
            // is too long by its own length, and what has arrived of it is
            // too long only when no line break can make it shorter.
            QByteArray line;
            if (!takeLine(line)) {
                if (m_pending.size() > MaxChunkLineBytes + 1)
                    return fail(u"a chunk's size line is too long"_s);
                return m_state;
            }
            if (line.size() > MaxChunkLineBytes)
                return fail(u"a chunk's size line is too long"_s);
            const qsizetype extension = line.indexOf(';');
            const QByteArray digits = (extension < 0 ? line : line.first(extension)).trimmed();
            bool number = false;
            m_remaining = digits.toLongLong(&number, 16);
            if (!number || m_remaining < 0)
                return fail(
                    u"a chunk's size \"%1\" is not a number"_s.arg(QString::fromLatin1(digits.left(40))));
            if (m_remaining > m_maxBody - m_body.size()) {
                m_tooLarge = true;
                return fail(u"the page is larger than its limit"_s);
            }
            m_part = m_remaining == 0 ? Part::Trailer : Part::ChunkData;
            break;
        }
        case Part::ChunkDataEnd: {
            QByteArray line;
            if (!takeLine(line))
                return m_pending.size() > 2 ? fail(u"a chunk runs past its size"_s) : m_state;
            if (!line.isEmpty())
                return fail(u"a chunk runs past its size"_s);
            m_part = Part::ChunkSize;
            break;
        }
        case Part::Trailer: {
            QByteArray line;
            if (!takeLine(line))
                return m_pending.size() > MaxHeadBytes + 1 ? fail(u"the answer's trailer is too long"_s)
                                                           : m_state;
            if (line.isEmpty())
                return complete();
            m_trailerBytes += line.size();
            if (m_trailerBytes > MaxHeadBytes)
                return fail(u"the answer's trailer is too long"_s);
            break;
        }
        }
    }
    return m_state;
}

HttpResponseParser::State HttpResponseParser::finish()
{
    if (m_state != State::Incomplete)
        return m_state;
    if (m_part == Part::BodyUntilEnd)
        return complete();
    return fail(m_part == Part::Head ? u"the connection ended before an answer"_s
                                     : u"the connection ended before the page was complete"_s);
}

} // namespace kestrel
