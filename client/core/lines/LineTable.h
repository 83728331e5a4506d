#pragma once

#include <QString>

#include <array>

namespace kestrel {

// The appliance's outgoing lines as the last page listed them. One instance
// lives for the whole program, beside the windows: a reload of the send
// window keeps the rows, and rows of lines missing from a later page keep
// what they held. LineCount bounds the rows consulted.
class LineTable
{
public:
    static constexpr int LastRow = 100; // rows 0 to 100
    static constexpr int MaxLine = 40;  // the page lists lines 1 to 40

    struct Row
    {
        QString identifier; // what the control's ModemInvio gets
        QString name;       // what the selector shows
    };

    // Rows outside 0 to 100 read as empty and are never written.
    const Row& row(int number) const;
    void setRow(int number, const QString& identifier, const QString& name);

    qint16 LineCount() const { return m_lineCount; }
    void setLineCount(qint16 count) { m_lineCount = count; }

    // The identifier of the line shown as name among lines 1 to LineCount;
    // with two lines of that name the higher number wins. Empty when nothing
    // matches, and for an empty name (no line chosen: the control's default).
    QString identifierOf(const QString& name) const;

private:
    std::array<Row, LastRow + 1> m_rows;
    qint16 m_lineCount = 0;
};

} // namespace kestrel
