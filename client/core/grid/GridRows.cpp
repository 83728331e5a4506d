#include "GridRows.h"

namespace kestrel {

GridRows::GridRows(int cols, QObject* parent) : QAbstractTableModel(parent), m_cols(qMax(1, cols))
{
    m_cells.append(QStringList());
    m_ids.append(0);
}

void GridRows::setRows(int rows)
{
    rows = qMax(1, rows); // the header row stays
    const int current = this->rows();
    if (rows > current) {
        beginInsertRows({}, current - 1, rows - 2);
        for (int r = current; r < rows; ++r) {
            m_cells.append(QStringList());
            m_ids.append(newId());
        }
        endInsertRows();
    } else if (rows < current) {
        beginRemoveRows({}, rows - 1, current - 2);
        m_cells.resize(rows);
        m_ids.resize(rows);
        dropDecorationsFrom(rows);
        endRemoveRows();
    }
}

QString GridRows::text(int row, int col) const
{
    if (!valid(row, col))
        return {};
    return m_cells.at(row).value(col);
}

void GridRows::setText(int row, int col, const QString& text)
{
    if (!valid(row, col))
        return;
    QStringList& cells = m_cells[row];
    while (cells.size() <= col)
        cells.append(QString());
    cells[col] = text;
    if (row == 0)
        Q_EMIT headerDataChanged(Qt::Horizontal, col, col);
    else
        Q_EMIT dataChanged(index(row - 1, col), index(row - 1, col));
}

void GridRows::setBackground(int row, int col, quint32 rgb)
{
    if (!valid(row, col))
        return;
    if (rgb == 0)
        m_backgrounds.remove(key(row, col));
    else
        m_backgrounds.insert(key(row, col), rgb);
    if (row > 0)
        Q_EMIT dataChanged(index(row - 1, col), index(row - 1, col), {BackgroundRgbRole});
}

void GridRows::setPicture(int row, int col, int picture)
{
    if (!valid(row, col))
        return;
    if (picture == 0)
        m_pictures.remove(key(row, col));
    else
        m_pictures.insert(key(row, col), picture);
    if (row > 0)
        Q_EMIT dataChanged(index(row - 1, col), index(row - 1, col), {PictureRole});
}

void GridRows::removeRow(int row)
{
    if (row < 1 || row >= rows())
        return;
    beginRemoveRows({}, row - 1, row - 1);
    m_cells.removeAt(row);
    m_ids.removeAt(row);
    shiftDecorationsUp(row);
    endRemoveRows();
}

int GridRows::appendRow(const QStringList& cells)
{
    appendRows({cells});
    return rows() - 1;
}

void GridRows::appendRows(const QList<QStringList>& rows)
{
    if (rows.isEmpty())
        return;
    const int first = this->rows();
    beginInsertRows({}, first - 1, first - 1 + int(rows.size()) - 1);
    for (const QStringList& cells : rows) {
        m_cells.append(cells.mid(0, m_cols));
        m_ids.append(newId());
    }
    endInsertRows();
}

void GridRows::insertRows(int before, const QList<QStringList>& rows)
{
    if (rows.isEmpty())
        return;
    before = qBound(1, before, this->rows());
    const int count = int(rows.size());
    // Decorations of the rows that move down move with them.
    const auto shiftDown = [before, count](auto& decorations) {
        std::remove_reference_t<decltype(decorations)> moved;
        for (auto it = decorations.cbegin(); it != decorations.cend(); ++it) {
            const int row = int(it.key() >> 32);
            moved.insert(row >= before ? key(row + count, int(quint32(it.key()))) : it.key(), it.value());
        }
        decorations = std::move(moved);
    };
    beginInsertRows({}, before - 1, before - 1 + count - 1);
    for (int i = 0; i < count; ++i) {
        m_cells.insert(before + i, rows.at(i).mid(0, m_cols));
        m_ids.insert(before + i, newId());
    }
    shiftDown(m_backgrounds);
    shiftDown(m_pictures);
    endInsertRows();
}

int GridRows::rowOf(quint64 id) const
{
    if (id == 0)
        return 0;
    const qsizetype at = m_ids.indexOf(id);
    return at < 0 ? 0 : int(at);
}

QStringList GridRows::rowCells(int row) const
{
    QStringList cells;
    for (int c = 0; c < m_cols; ++c)
        cells << text(row, c);
    return cells;
}

QStringList GridRows::column(int col) const
{
    QStringList texts;
    for (int r = 1; r < rows(); ++r)
        texts << text(r, col);
    return texts;
}

void GridRows::dropDecorationsFrom(int row)
{
    m_backgrounds.removeIf([row](const auto& entry) { return int(entry.key() >> 32) >= row; });
    m_pictures.removeIf([row](const auto& entry) { return int(entry.key() >> 32) >= row; });
}

void GridRows::shiftDecorationsUp(int removedRow)
{
    const auto shift = [removedRow](auto& decorations) {
        std::remove_reference_t<decltype(decorations)> moved;
        for (auto it = decorations.cbegin(); it != decorations.cend(); ++it) {
            const int row = int(it.key() >> 32);
            const int col = int(quint32(it.key()));
            if (row < removedRow)
                moved.insert(it.key(), it.value());
            else if (row > removedRow)
                moved.insert(key(row - 1, col), it.value());
        }
        decorations = std::move(moved);
    };
    shift(m_backgrounds);
    shift(m_pictures);
}

int GridRows::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : rows() - 1;
}

int GridRows::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_cols;
}

QVariant GridRows::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const int row = index.row() + 1;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return text(row, index.column());
    case BackgroundRgbRole:
        return background(row, index.column());
    case PictureRole:
        return picture(row, index.column());
    default:
        return {};
    }
}

QVariant GridRows::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return text(0, section);
    if (orientation == Qt::Vertical && role == Qt::DisplayRole)
        return section + 1;
    return {};
}

} // namespace kestrel
