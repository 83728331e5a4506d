#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace kestrel {

// Watches the tail of a print stream for the PostScript end-of-file comment.
// "%%EOF" appears inside jobs too (prologs, embedded EPS, one per document of
// a multi-file job, with long pauses between documents), so it never ends a
// job: only the spooler's close does. It tells whether what a connection had
// sent when it ended is a whole document (a spooler whose print is cancelled
// closes in the middle of one). After the marker come only Ctrl-D (the
// PostScript end-of-job byte) and the blanks a PDF may end with (CR, LF,
// space, tab, form feed, NUL): a PDF printed raw with trailing padding is
// whole too, and would otherwise never be captured however often it is
// printed.
class JobEndDetector
{
public:
    void feed(QByteArrayView piece);
    void reset();
    // True when everything received so far ends with "%%EOF" and trailers.
    bool endsWithEofMarker() const { return m_match; }

    static constexpr QByteArrayView Marker = "%%EOF";

private:
    static bool isTrailer(char c)
    {
        return c == '\r' || c == '\n' || c == '\x04' || c == ' ' || c == '\t' || c == '\f' || c == '\0';
    }

    QByteArray m_tail;     // last bytes up to the last non-trailer byte
    QByteArray m_trailers; // trailer bytes received after m_tail
    bool m_match = false;
};

} // namespace kestrel
