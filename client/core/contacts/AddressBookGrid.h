#pragma once

#include "AddressBookList.h"
#include "ContactRow.h"
#include "GridRows.h"

#include <QList>
#include <QStringList>

#include <optional>

namespace kestrel {

// The address book's grid `msfgRubrica` as rows: six columns, a contact's
// mark in "Seleziona", the desktop contacts' picture in "Grp", and what a
// click or an add button makes of them. The window only draws it.
class AddressBookGrid
{
public:
    enum Column
    {
        Hidden,
        Number,
        Description,
        Group,
        Select,
        Edit,
        ColumnCount
    };
    static constexpr quint32 MarkedRgb = 0x00FF00;
    static constexpr quint32 UnmarkedRgb = 0xFFFFFF;
    // The picture id of the desktop contacts' mark in "Grp".
    static constexpr int DesktopPicture = 1;
    static QList<int> widthsTwips() { return {0, 1500, 3000, 250, 700, 500}; }

    explicit AddressBookGrid(GridRows& rows) : m_rows(rows) {}

    // The header row alone.
    void setUp();
    // Every contact row goes, and every mark with it.
    void clear() { m_rows.setRows(1); }
    // At the end, unmarked; desktop contacts with their picture.
    void append(const QList<AddressBookRow>& rows);
    // Before every other row, unmarked; the rows below keep their marks.
    void insertAtTop(const QList<AddressBookRow>& rows);

    // A click on a cell: the header does nothing, columns 0 to 4 toggle the
    // row's mark, "Edit" of a database row gives the contact to edit.
    std::optional<ContactRow> click(int row, int col);
    // The contact of a database row, as listed, with its rowid; nothing for
    // the header or a desktop contact.
    std::optional<ContactRow> databaseContact(int row) const;
    void toggleMark(int row);
    bool isMarked(int row) const { return !m_rows.text(row, Select).isEmpty(); }
    // A desktop contact has " " for a group, which no group label equals.
    bool isDesktopRow(int row) const { return m_rows.text(row, Group) == u' '; }

    // Rows for the send window's destinations ("", number, description), in
    // grid order: the marked ones, or those of one group (exact match).
    QList<QStringList> markedDestinations() const;
    QList<QStringList> groupDestinations(const QString& group) const;

private:
    QStringList destination(int row) const;

    GridRows& m_rows;
};

} // namespace kestrel
