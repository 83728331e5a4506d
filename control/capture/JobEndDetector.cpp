#include "JobEndDetector.h"

namespace kestrel {

void JobEndDetector::feed(QByteArrayView piece)
{
    const qsizetype keep = Marker.size();
    qsizetype last = piece.size() - 1;
    while (last >= 0 && isTrailer(piece.at(last)))
        --last;
    if (last < 0) {
        // Only trailers: the verdict stands, but they sit between the tail
        // and whatever comes next.
        m_trailers.append(piece);
        m_trailers = m_trailers.right(keep);
        return;
    }
    const QByteArrayView content = piece.first(last + 1);
    if (content.size() >= keep) {
        m_tail = content.last(keep).toByteArray();
    } else {
        m_tail += m_trailers;
        m_tail += content;
        m_tail = m_tail.right(keep);
    }
    const QByteArrayView after = piece.sliced(last + 1);
    m_trailers = after.last(qMin(after.size(), keep)).toByteArray();
    m_match = m_tail == Marker;
}

void JobEndDetector::reset()
{
    m_tail.clear();
    m_trailers.clear();
    m_match = false;
}

} // namespace kestrel
