#include "ReplySplitter.h"

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

int leadingCode(const QByteArray& line)
{
    if (line.size() < 3)
        return -1;
    for (int i = 0; i < 3; ++i) {
        if (line.at(i) < '0' || line.at(i) > '9')
            return -1;
    }
    return (line.at(0) - '0') * 100 + (line.at(1) - '0') * 10 + (line.at(2) - '0');
}

} // namespace

bool ReplySplitter::feed(const QByteArray& bytes)
{
    if (m_overflow)
        return false;
    m_buffer += bytes;
    qsizetype start = 0;
    while (!m_overflow) {
        const qsizetype end = m_buffer.indexOf('\n', start);
        if (end < 0)
            break;
        QByteArray line = m_buffer.mid(start, end - start);
        if (line.endsWith('\r'))
            line.chop(1);
        takeLine(line);
        start = end + 1;
    }
    m_buffer.remove(0, start);
    if (m_buffer.size() > MaxReply)
        m_overflow = true;
    if (m_overflow)
        m_buffer.clear();
    return !m_overflow;
}

void ReplySplitter::takeLine(const QByteArray& line)
{
    const QString text = QString::fromLatin1(line);
    const int code = leadingCode(line);
    if (m_multiCode >= 0) {
        m_multiText += u"\r\n"_s + text;
        if (m_multiText.size() > MaxReply) {
            m_overflow = true;
            m_multiText.clear();
            return;
        }
        if (code == m_multiCode && (line.size() == 3 || line.at(3) == ' ')) {
            m_ready.append({m_multiCode, m_multiText});
            m_multiCode = -1;
            m_multiText.clear();
        }
        return;
    }
    if (code >= 0 && line.size() > 3 && line.at(3) == '-') {
        m_multiCode = code;
        m_multiText = text;
        return;
    }
    m_ready.append({code, text});
}

void ReplySplitter::reset()
{
    m_buffer.clear();
    m_ready.clear();
    m_multiCode = -1;
    m_multiText.clear();
    m_overflow = false;
}

} // namespace kestrel
