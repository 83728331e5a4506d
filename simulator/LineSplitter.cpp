#include "LineSplitter.h"

namespace kestrel::simulator {

void LineSplitter::append(const QByteArray& bytes)
{
    m_buffer += bytes;
}

std::optional<LineSplitter::Line> LineSplitter::next()
{
    for (;;) {
        const qsizetype lf = m_buffer.indexOf('\n');
        if (m_discarding) {
            if (lf < 0) {
                m_buffer.clear();
                return std::nullopt;
            }
            m_buffer.remove(0, lf + 1);
            m_discarding = false;
            continue;
        }
        if (lf < 0) {
            if (m_buffer.size() <= m_maxLineLength)
                return std::nullopt;
            m_buffer.clear();
            m_discarding = true;
            return Line{{}, true};
        }
        if (lf > m_maxLineLength) {
            m_buffer.remove(0, lf + 1);
            return Line{{}, true};
        }
        Line line{m_buffer.left(lf), false};
        m_buffer.remove(0, lf + 1);
        if (line.text.endsWith('\r'))
            line.text.chop(1);
        return line;
    }
}

} // namespace kestrel::simulator
