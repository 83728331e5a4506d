#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QStringList>

namespace kestrel {

// The rows of one of the client's list grids, counted as the windows count
// them: row 0 is the header, column 0 is the hidden fixed column, and a grid
// whose row count is 1 is empty. Cells hold text, and optionally a
// background colour and a picture. As a table model it shows the data rows;
// the header row becomes the view's column titles.
class GridRows : public QAbstractTableModel
{
    Q_OBJECT
public:
    // Extra roles of the view's cells: the background as a QRgb and the
    // picture as a number the view turns into an image (0: none).
    enum Role
    {
        BackgroundRgbRole = Qt::UserRole + 1,
        PictureRole,
    };

    explicit GridRows(int cols = 3, QObject* parent = nullptr);

    // Counts that include the header row and the fixed column.
    int rows() const { return int(m_cells.size()); }
    void setRows(int rows);
    int cols() const { return m_cols; }

    QString text(int row, int col) const;
    void setText(int row, int col, const QString& text);
    // The background of a cell; 0 means the grid's default.
    quint32 background(int row, int col) const { return m_backgrounds.value(key(row, col)); }
    void setBackground(int row, int col, quint32 rgb);
    int picture(int row, int col) const { return m_pictures.value(key(row, col)); }
    void setPicture(int row, int col, int picture);

    // Removes one data row; the rows below move up.
    void removeRow(int row);
    // Grows the grid by one row holding cells from column 0 on, and
    // returns the new row's number.
    int appendRow(const QStringList& cells);
    // Appends many rows at once (a whole list), announced to views once.
    void appendRows(const QList<QStringList>& rows);
    // Puts rows in before data row `before` (1: at the top).
    void insertRows(int before, const QList<QStringList>& rows);
    // The texts of one row, from column 0 on.
    QStringList rowCells(int row) const;
    // The texts of column col for rows 1 to the last.
    QStringList column(int col) const;

    // Each data row keeps one identity for as long as it exists, wherever it
    // moves; a row made anew, even with the same texts, gets a new one.
    quint64 rowId(int row) const { return row > 0 && row < rows() ? m_ids.at(row) : 0; }
    // The row that has this identity now; 0 when it is gone.
    int rowOf(quint64 id) const;

    // QAbstractTableModel: data rows only (view row 0 is grid row 1).
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    static quint64 key(int row, int col) { return (quint64(quint32(row)) << 32) | quint32(col); }
    bool valid(int row, int col) const { return row >= 0 && row < rows() && col >= 0 && col < m_cols; }
    void dropDecorationsFrom(int row);
    void shiftDecorationsUp(int removedRow);

    int m_cols;
    quint64 newId() { return ++m_lastId; }

    QList<QStringList> m_cells; // m_cells[0] is the header row
    QList<quint64> m_ids;       // beside m_cells; the header's is 0
    quint64 m_lastId = 0;
    QHash<quint64, quint32> m_backgrounds;
    QHash<quint64, int> m_pictures;
};

} // namespace kestrel
