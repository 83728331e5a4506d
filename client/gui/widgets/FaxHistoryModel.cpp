#include "FaxHistoryModel.h"

#include "ClientTexts.h"

using namespace Qt::StringLiterals;

namespace kestrel {

FaxHistoryModel::FaxHistoryModel(const FaxHistory& history, QObject* parent)
    : QAbstractTableModel(parent), m_history(history)
{
    // Newest first: a fax added goes on top.
    connect(&history, &FaxHistory::aboutToAdd, this, [this] { beginInsertRows({}, 0, 0); });
    connect(&history, &FaxHistory::added, this, [this] { endInsertRows(); });
    // The file's faxes, read late, are older than every row: they go below.
    connect(&history, &FaxHistory::aboutToPrepend, this, [this](int count) {
        const int rows = rowCount();
        beginInsertRows({}, rows, rows + count - 1);
    });
    connect(&history, &FaxHistory::prepended, this, [this] { endInsertRows(); });
    connect(&history, &FaxHistory::changed, this, [this](int fax) {
        const int row = rowOf(fax);
        Q_EMIT dataChanged(index(row, 0), index(row, ColumnCount - 1));
    });
}

int FaxHistoryModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_history.records().size());
}

int FaxHistoryModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString FaxHistoryModel::stateText(FaxState state)
{
    using namespace texts::history;
    switch (state) {
    case FaxState::Queued:
        return Queued;
    case FaxState::Sending:
        return Sending;
    case FaxState::Sent:
        return Sent;
    case FaxState::Failed:
        return Failed;
    case FaxState::Cancelled:
        return Cancelled;
    case FaxState::ToCheck:
        return ToCheck;
    }
    return {};
}

QColor FaxHistoryModel::stateColour(FaxState state)
{
    // Dark enough to read on a light background; the words carry the
    // meaning, the colour only lets the eye find it.
    switch (state) {
    case FaxState::Queued:
        return QColor(0x55, 0x55, 0x55);
    case FaxState::Sending:
        return QColor(0x1f, 0x5f, 0xbf);
    case FaxState::Sent:
        return QColor(0x1b, 0x7a, 0x1b);
    case FaxState::Failed:
        return QColor(0xb0, 0x00, 0x20);
    case FaxState::Cancelled:
        return QColor(0x6b, 0x4f, 0x2f);
    case FaxState::ToCheck:
        return QColor(0xb3, 0x59, 0x00);
    }
    return {};
}

QString FaxHistoryModel::cellText(const FaxRecord& record, int column) const
{
    switch (column) {
    case DateColumn:
        return record.submitted.toLocalTime().toString(u"dd/MM/yyyy HH:mm"_s);
    case DestinationColumn:
        return record.destination();
    case NumberColumn:
        return record.number;
    case StateColumn:
        return stateText(record.state);
    case PagesColumn:
        if (record.pagesTotal <= 0)
            return record.pagesSent > 0 ? QString::number(record.pagesSent) : QString();
        return QString::number(record.pagesSent) + u'/' + QString::number(record.pagesTotal);
    case TriesColumn:
        return record.tries > 0 ? QString::number(record.tries) : QString();
    case ReasonColumn:
        return record.reason;
    case JobColumn:
        return record.job;
    }
    return {};
}

QVariant FaxHistoryModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const int fax = faxOf(index.row());
    const FaxRecord& record = m_history.records().at(fax);
    switch (role) {
    case Qt::DisplayRole:
        return cellText(record, index.column());
    case Qt::ForegroundRole:
        if (index.column() == StateColumn)
            return stateColour(record.state);
        return {};
    case Qt::ToolTipRole:
        if (index.column() == ReasonColumn && !record.reason.isEmpty())
            return record.reason;
        // A fax for later: when it is to go, on its date and its state.
        if ((index.column() == DateColumn || index.column() == StateColumn) && record.planned.isValid())
            return texts::sendoptions::plannedTip(
                record.planned.toLocalTime().toString(u"dd/MM/yyyy HH:mm"_s));
        return record.documents.join(u'\n');
    case Qt::AccessibleDescriptionRole:
        return texts::history::rowSpoken(cellText(record, DateColumn), record.destination(),
                                         stateText(record.state), record.reason);
    case FaxRole:
        return fax;
    }
    return {};
}

QVariant FaxHistoryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    using namespace texts::history;
    static const QStringList headers{DateHeader,  DestinationHeader, NumberHeader, StateHeader,
                                     PagesHeader, TriesHeader,       ReasonHeader, JobHeader};
    return headers.value(section);
}

FaxHistoryFilter::FaxHistoryFilter(const FaxHistory& history, QObject* parent)
    : QSortFilterProxyModel(parent), m_history(history)
{
    // A fax that changes state may leave or join the list shown.
    setDynamicSortFilter(true);
}

void FaxHistoryFilter::setShow(Show show)
{
    m_show = show;
    invalidate();
}

bool FaxHistoryFilter::filterAcceptsRow(int sourceRow, const QModelIndex&) const
{
    const auto& records = m_history.records();
    const FaxState state = records.at(records.size() - 1 - sourceRow).state;
    const bool open = !isFinished(state);
    const bool failed = state == FaxState::Failed;
    switch (m_show) {
    case Show::All:
        return true;
    case Show::OpenOrFailed:
        return open || failed;
    case Show::Open:
        return open;
    case Show::Failed:
        return failed;
    }
    return true;
}

} // namespace kestrel
