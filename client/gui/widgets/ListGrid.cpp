#include "ListGrid.h"

#include "Twips.h"

#include <QDragEnterEvent>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QToolTip>

namespace kestrel {
namespace {

// Past this many characters a cell is cut in any column, and its tooltip
// shows that much: measuring a text of megabytes would stall the window.
constexpr qsizetype LongestMeasured = 4096;

// Paints a cell's own background and picture before the usual text.
class CellDelegate : public QStyledItemDelegate
{
public:
    explicit CellDelegate(ListGrid& grid) : QStyledItemDelegate(&grid), m_grid(grid) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const quint32 rgb = index.data(GridRows::BackgroundRgbRole).toUInt();
        if (rgb != 0)
            painter->fillRect(option.rect, QColor::fromRgb(rgb));
        QStyleOptionViewItem item = option;
        const int picture = index.data(GridRows::PictureRole).toInt();
        if (picture != 0) {
            const QIcon image = m_grid.pictureImage(picture);
            const int side = qMin(16, option.rect.height());
            const QRect place(option.rect.left() + 1, option.rect.top() + (option.rect.height() - side) / 2,
                              side, side);
            image.paint(painter, place);
        }
        QStyledItemDelegate::paint(painter, item, index);
    }

    // A cell its column cuts shows its whole text when the mouse rests on
    // it; one that shows whole has no tooltip.
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override
    {
        if (event->type() != QEvent::ToolTip || !index.isValid())
            return QStyledItemDelegate::helpEvent(event, view, option, index);
        const QString text = index.data(Qt::DisplayRole).toString();
        const bool cut =
            text.size() > LongestMeasured || sizeHint(option, index).width() > option.rect.width();
        if (text.trimmed().isEmpty() || !cut) {
            QToolTip::hideText();
            return true;
        }
        const QString shown = text.size() > LongestMeasured ? text.left(LongestMeasured) + u'…' : text;
        QToolTip::showText(event->globalPos(), shown, view->viewport(), option.rect);
        return true;
    }

private:
    ListGrid& m_grid;
};

} // namespace

ListGrid::ListGrid(GridRows& rows, QWidget* parent) : QTableView(parent), m_rows(rows)
{
    setModel(&m_rows);
    setItemDelegate(new CellDelegate(*this));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setWordWrap(false);
    verticalHeader()->hide();
    // Long lists stay quick: rows are never measured one by one.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setHighlightSections(false);
    connect(this, &QTableView::clicked, this,
            [this](const QModelIndex& index) { Q_EMIT cellClicked(index.row() + 1, index.column()); });
    connect(this, &QTableView::doubleClicked, this,
            [this](const QModelIndex& index) { Q_EMIT cellDoubleClicked(index.row() + 1, index.column()); });
}

void ListGrid::setColumnWidthsTwips(const QList<int>& twips)
{
    const qreal dpi = logicalDpiX();
    for (int c = 0; c < twips.size(); ++c) {
        setColumnHidden(c, twips.at(c) == 0);
        if (twips.at(c) > 0)
            setColumnWidth(c, twipsToPixels(twips.at(c), dpi));
    }
}

void ListGrid::setAcceptsFiles(bool on)
{
    setAcceptDrops(on);
    viewport()->setAcceptDrops(on);
    setDragDropMode(on ? QAbstractItemView::DropOnly : QAbstractItemView::NoDragDrop);
}

void ListGrid::keyPressEvent(QKeyEvent* event)
{
    const QModelIndex current = currentIndex();
    if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::NoModifier && current.isValid()) {
        Q_EMIT deleteRequested(current.row() + 1);
        return;
    }
    // Enter on the keypad comes with its own modifier.
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (m_marksByKeyboard && plain && current.isValid()) {
        if (event->key() == Qt::Key_Space) {
            Q_EMIT markRequested(current.row() + 1);
            return;
        }
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            Q_EMIT enterPressed(current.row() + 1, current.column());
            return;
        }
    }
    QTableView::keyPressEvent(event);
}

void ListGrid::dragEnterEvent(QDragEnterEvent* event)
{
    if (acceptDrops() && event->mimeData()->hasUrls())
        event->acceptProposedAction();
    else
        event->ignore();
}

void ListGrid::dragMoveEvent(QDragMoveEvent* event)
{
    if (acceptDrops() && event->mimeData()->hasUrls())
        event->acceptProposedAction();
    else
        event->ignore();
}

void ListGrid::dropEvent(QDropEvent* event)
{
    if (!acceptDrops() || !event->mimeData()->hasUrls()) {
        event->ignore();
        return;
    }
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile())
            paths << url.toLocalFile();
    }
    event->acceptProposedAction();
    Q_EMIT filesDropped(paths);
}

} // namespace kestrel
