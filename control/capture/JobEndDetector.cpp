#include "JobEndDetector.h"

namespace kestrel {

void JobEndDetector::feed(QByteArrayView piece)
{
    m_lastPiece = piece.size();
    if (piece.size() >= Window) {
        m_tail = piece.last(Window).toByteArray();
        return;
    }
    // Trimmed only when twice the window: a stream fed byte by byte costs
    // one copy of the window per window of bytes.
    m_tail.append(piece);
    if (m_tail.size() > 2 * Window)
        m_tail.remove(0, m_tail.size() - Window);
}

void JobEndDetector::reset()
{
    m_tail.clear();
    m_lastPiece = 0;
}

bool JobEndDetector::endsWithEofMarker() const
{
    // The last marker may sit in a job control line ("@PJL COMMENT %%EOF"):
    // the last few are tried, from the end.
    const QByteArrayView tail(m_tail);
    qsizetype at = tail.size();
    for (int tries = 0; tries < 8 && (at = tail.lastIndexOf(Marker, at - 1)) >= 0; ++tries) {
        if (isDriverTrailer(tail.sliced(at + Marker.size())))
            return true;
        if (at == 0)
            break;
    }
    return false;
}

bool JobEndDetector::lastPieceHoldsMarker() const
{
    if (m_lastPiece == 0)
        return false;
    // A marker whose last byte came with the last piece counts.
    const qsizetype span = qMin(m_tail.size(), m_lastPiece + ShortMarker.size() - 1);
    return QByteArrayView(m_tail).last(span).contains(ShortMarker);
}

bool JobEndDetector::isDriverTrailer(QByteArrayView after)
{
    static constexpr QByteArrayView Pjl = "@PJL";
    qsizetype i = 0;
    while (i < after.size()) {
        const auto c = static_cast<unsigned char>(after.at(i));
        const QByteArrayView rest = after.sliced(i);
        if (rest.startsWith(UniversalExit)) {
            i += UniversalExit.size();
        } else if (rest.size() >= Pjl.size() &&
                   rest.first(Pjl.size()).compare(Pjl, Qt::CaseInsensitive) == 0) {
            // A job control line, to its end.
            const qsizetype end = rest.indexOf('\n');
            if (end < 0)
                return true;
            i += end + 1;
        } else if (c < 0x20 || c == ' ' || c == 0x7f) {
            ++i;
        } else {
            return false;
        }
    }
    return true;
}

} // namespace kestrel
