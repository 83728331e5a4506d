#include "AddressBookGrid.h"

#include "ClientTexts.h"

namespace kestrel {

void AddressBookGrid::setUp()
{
    using namespace texts::book;
    m_rows.setRows(1);
    const QStringList headers{QString(),   NumberHeader, DescriptionHeader,
                              GroupHeader, SelectHeader, EditHeader};
    for (int col = 0; col < ColumnCount; ++col)
        m_rows.setText(0, col, headers.at(col));
}

void AddressBookGrid::append(const QList<AddressBookRow>& rows)
{
    QList<QStringList> cells;
    cells.reserve(rows.size());
    for (const AddressBookRow& row : rows)
        cells.append(row.cells());
    const int first = m_rows.rows();
    m_rows.appendRows(cells);
    for (int i = 0; i < rows.size(); ++i) {
        if (rows.at(i).desktop)
            m_rows.setPicture(first + i, Group, DesktopPicture);
    }
}

void AddressBookGrid::insertAtTop(const QList<AddressBookRow>& rows)
{
    QList<QStringList> cells;
    cells.reserve(rows.size());
    for (const AddressBookRow& row : rows)
        cells.append(row.cells());
    m_rows.insertRows(1, cells);
    for (int i = 0; i < rows.size(); ++i) {
        if (rows.at(i).desktop)
            m_rows.setPicture(1 + i, Group, DesktopPicture);
    }
}

std::optional<ContactRow> AddressBookGrid::click(int row, int col)
{
    if (row < 1 || row >= m_rows.rows() || col < 0)
        return std::nullopt;
    if (col <= Select) {
        toggleMark(row);
        return std::nullopt;
    }
    if (col != Edit)
        return std::nullopt;
    return databaseContact(row);
}

std::optional<ContactRow> AddressBookGrid::databaseContact(int row) const
{
    if (row < 1 || row >= m_rows.rows() || isDesktopRow(row))
        return std::nullopt;
    return ContactRow{m_rows.text(row, Number), m_rows.text(row, Description), m_rows.text(row, Group),
                      m_rows.text(row, Hidden).toLongLong()};
}

void AddressBookGrid::toggleMark(int row)
{
    const bool marked = m_rows.text(row, Select) == texts::book::Marked;
    m_rows.setText(row, Select, marked ? QString() : texts::book::Marked);
    m_rows.setBackground(row, Select, marked ? UnmarkedRgb : MarkedRgb);
}

QList<QStringList> AddressBookGrid::markedDestinations() const
{
    QList<QStringList> picked;
    for (int row = 1; row < m_rows.rows(); ++row) {
        if (isMarked(row))
            picked.append(destination(row));
    }
    return picked;
}

QList<QStringList> AddressBookGrid::groupDestinations(const QString& group) const
{
    QList<QStringList> picked;
    for (int row = 1; row < m_rows.rows(); ++row) {
        if (m_rows.text(row, Group) == group)
            picked.append(destination(row));
    }
    return picked;
}

QStringList AddressBookGrid::destination(int row) const
{
    return {QString(), m_rows.text(row, Number), m_rows.text(row, Description)};
}

} // namespace kestrel
