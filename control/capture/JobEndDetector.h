#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace kestrel {

// Watches the tail of a print stream for the end of a document. "%%EOF"
// appears inside jobs too (prologs, embedded EPS, one per document of a
// multi-file job, with long pauses between documents), so it never ends a
// job: only the spooler's close does. It tells whether what a connection had
// sent when it ended is a whole document (a spooler whose print is cancelled
// closes in the middle of one).
//
// A document is whole when its stream ends with "%%EOF" followed only by what
// drivers send after a document: blanks and control characters (Ctrl-D, the
// NULs and form feeds a PDF may be padded with), the printer language's
// universal exit (ESC "%-12345X") and "@PJL" lines, as the job control that
// many printer descriptions wrap around PostScript ends with. A stream that
// the spooler closed in order is whole, too, when its last piece holds
// "%EOF": the end arrived with the close, whatever a driver wrote after it.
// Only the last Window bytes are looked at.
class JobEndDetector
{
public:
    // How far back from the end the marker is looked for.
    static constexpr qsizetype Window = 64 * 1024;

    void feed(QByteArrayView piece);
    void reset();
    // Everything received so far ends with "%%EOF" and what drivers send
    // after a document.
    bool endsWithEofMarker() const;
    // The last piece fed holds "%EOF" (its last byte at least).
    bool lastPieceHoldsMarker() const;
    // The verdict for a connection that ended: closedInOrder when the
    // spooler closed it (not cut, not silent).
    bool endsAsDocument(bool closedInOrder) const
    {
        return endsWithEofMarker() || (closedInOrder && lastPieceHoldsMarker());
    }

    static constexpr QByteArrayView Marker = "%%EOF";
    static constexpr QByteArrayView ShortMarker = "%EOF";
    static constexpr QByteArrayView UniversalExit = "\x1b%-12345X";

    // True when all of after is what drivers send after a document.
    static bool isDriverTrailer(QByteArrayView after);

private:
    QByteArray m_tail; // the last bytes of the stream, at least Window of them when there are
    qsizetype m_lastPiece = 0;
};

} // namespace kestrel
