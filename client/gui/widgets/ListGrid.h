#pragma once

#include "GridRows.h"

#include <QHash>
#include <QIcon>
#include <QTableView>

namespace kestrel {

// The client's list grid: a view of GridRows whose header row gives the
// column titles. Widths are given in twips (0 hides a column, as column 0
// always is) and the user may widen them; cell backgrounds and pictures
// come from the rows, and a cell its column cuts shows its whole text as a
// tooltip. Clicks, double clicks and keys are reported in grid rows (row 1
// is the first data row). It can take files dropped from a file manager.
class ListGrid : public QTableView
{
    Q_OBJECT
public:
    explicit ListGrid(GridRows& rows, QWidget* parent = nullptr);

    GridRows& rows() { return m_rows; }
    void setColumnWidthsTwips(const QList<int>& twips);
    // The image drawn for a cell whose picture is `id`.
    void setPictureImage(int id, const QIcon& image) { m_images.insert(id, image); }
    QIcon pictureImage(int id) const { return m_images.value(id); }
    void setAcceptsFiles(bool on);
    // Space and Enter on the current cell are reported (markRequested,
    // enterPressed) instead of doing what a table view does with them.
    void setMarksByKeyboard(bool on) { m_marksByKeyboard = on; }

Q_SIGNALS:
    void cellClicked(int row, int col);
    void cellDoubleClicked(int row, int col);
    // Local files dropped on the grid, in the order the drop lists them.
    void filesDropped(const QStringList& paths);
    // Delete was pressed on a data row (the current one).
    void deleteRequested(int row);
    // With marks by keyboard: Space, and Enter, on the current cell.
    void markRequested(int row);
    void enterPressed(int row, int col);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    GridRows& m_rows;
    QHash<int, QIcon> m_images;
    bool m_marksByKeyboard = false;
};

} // namespace kestrel
