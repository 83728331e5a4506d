#pragma once

#include <QByteArray>

#include <optional>

namespace kestrel::simulator {

// Splits the command stream into lines. LF ends a line, a CR before it is
// dropped; a partial line waits for the rest. A line longer than the limit is
// reported once and skipped, so a client cannot grow the buffer without end.
class LineSplitter
{
public:
    struct Line
    {
        QByteArray text;
        bool tooLong = false;
    };

    explicit LineSplitter(qsizetype maxLineLength = 4096) : m_maxLineLength(maxLineLength) {}

    void append(const QByteArray& bytes);
    std::optional<Line> next();

private:
    QByteArray m_buffer;
    qsizetype m_maxLineLength;
    bool m_discarding = false; // inside an over-long line, up to its LF
};

} // namespace kestrel::simulator
