#include "FaxHistoryModel.h"

#include "ClientTexts.h"
#include "ServerReasons.h"

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
        return serverReasons::inItalian(record.reason);
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
        // The server's own words, under the Italian ones.
        if (index.column() == ReasonColumn && !record.reason.isEmpty())
            return record.reason;
        // A fax for later: when it is to go, on its date and its state.
        if ((index.column() == DateColumn || index.column() == StateColumn) && record.planned.isValid())
            return texts::sendoptions::plannedTip(
                record.planned.toLocalTime().toString(u"dd/MM/yyyy HH:mm"_s));
        return record.documents.join(u'\n');
    case Qt::AccessibleDescriptionRole:
        return texts::history::rowSpoken(cellText(record, DateColumn), record.destination(),
                                         stateText(record.state), cellText(record, ReasonColumn));
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
    m_pool.setMaxThreadCount(1);
    // A fax's name, number and job never change once added: only new faxes
    // need their keys.
    connect(&history, &FaxHistory::added, this, &FaxHistoryFilter::faxAdded);
    connect(&history, &FaxHistory::aboutToPrepend, this, [this] {
        ++m_version;
        m_keys.clear();
        m_found.clear();
    });
    connect(&history, &FaxHistory::prepended, this, [this] {
        if (!m_query.isEmpty())
            startSearch();
    });
}

FaxHistoryFilter::~FaxHistoryFilter()
{
    ++m_generation;
    m_pool.clear();
    m_pool.waitForDone();
}

void FaxHistoryFilter::setShow(Show show)
{
    m_show = show;
    invalidate();
}

void FaxHistoryFilter::setSearch(const QString& typed)
{
    if (typed == m_typed)
        return;
    m_typed = typed;
    m_query = faxSearch::queryOf(typed);
    startSearch();
}

void FaxHistoryFilter::prepareSearch()
{
    const QList<FaxRecord>& records = m_history.records();
    if (m_preparing || records.size() < m_backgroundFrom || m_keys.size() == records.size())
        return;
    m_preparing = true;
    m_pool.start([this, version = m_version, records = records] {
        QStringList keys = faxSearch::keysOf(records);
        QMetaObject::invokeMethod(
            this,
            [this, version, keys = std::move(keys)]() mutable {
                m_preparing = false;
                if (version != m_version || keys.size() <= m_keys.size())
                    return; // the indices moved, or a search made them
                const QList<FaxRecord>& now = m_history.records();
                for (qsizetype fax = keys.size(); fax < now.size(); ++fax)
                    keys << faxSearch::keyOf(now.at(fax));
                m_keys = std::move(keys);
            },
            Qt::QueuedConnection);
    });
}

void FaxHistoryFilter::startSearch()
{
    const quint64 generation = ++m_generation;
    if (m_query.isEmpty()) {
        // Every fax, at once; the keys stay for the next search.
        m_found.clear();
        m_foundQuery = m_query;
        m_pending = false;
        // The mapping made anew: far quicker than rows taken out and put back
        // one range at a time when the faxes found are scattered.
        invalidate();
        Q_EMIT searchSettled();
        return;
    }
    const QList<FaxRecord>& records = m_history.records();
    if (records.size() < m_backgroundFrom) {
        if (m_keys.size() != records.size())
            m_keys = faxSearch::keysOf(records);
        searchDone(generation, m_version, m_keys, faxSearch::matchesOf(m_keys, m_query));
        return;
    }
    m_pending = true;
    // Copies share the history's data until it changes: the worker reads
    // them while the history goes on.
    m_pool.start(
        [this, generation, version = m_version, records = records, keys = m_keys, query = m_query]() mutable {
            if (m_generation != generation)
                return;
            if (keys.size() != records.size())
                keys = faxSearch::keysOf(records);
            QList<bool> found = faxSearch::matchesOf(keys, query);
            // Dropped with this filter when it is gone first.
            QMetaObject::invokeMethod(
                this,
                [this, generation, version, keys = std::move(keys), found = std::move(found)]() mutable {
                    searchDone(generation, version, std::move(keys), std::move(found));
                },
                Qt::QueuedConnection);
        });
}

void FaxHistoryFilter::searchDone(quint64 generation, quint64 version, QStringList keys, QList<bool> found)
{
    if (generation != m_generation)
        return; // a later search is on its way
    if (version != m_version) {
        startSearch(); // the indices moved meanwhile
        return;
    }
    // Faxes added since the search started.
    const QList<FaxRecord>& records = m_history.records();
    for (qsizetype fax = keys.size(); fax < records.size(); ++fax) {
        keys << faxSearch::keyOf(records.at(fax));
        found << faxSearch::matches(keys.last(), m_query);
    }
    m_keys = std::move(keys);
    m_found = std::move(found);
    m_foundQuery = m_query;
    m_pending = false;
    // The mapping made anew: far quicker than rows taken out and put back
    // one range at a time when the faxes found are scattered.
    invalidate();
    Q_EMIT searchSettled();
}

void FaxHistoryFilter::faxAdded(int fax)
{
    if (m_keys.size() != fax)
        return; // no keys yet, or a search will bring them
    m_keys << faxSearch::keyOf(m_history.records().at(fax));
    if (m_found.size() == fax)
        m_found << faxSearch::matches(m_keys.last(), m_foundQuery);
}

bool FaxHistoryFilter::found(int fax) const
{
    if (m_foundQuery.isEmpty())
        return true;
    if (fax < m_found.size())
        return m_found.at(fax);
    // A fax added or read since: its key made now.
    return faxSearch::matches(faxSearch::keyOf(m_history.records().at(fax)), m_foundQuery);
}

bool FaxHistoryFilter::filterAcceptsRow(int sourceRow, const QModelIndex&) const
{
    const auto& records = m_history.records();
    const int fax = int(records.size()) - 1 - sourceRow;
    if (!found(fax))
        return false;
    const FaxState state = records.at(fax).state;
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
