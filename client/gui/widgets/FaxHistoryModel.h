#pragma once

#include "FaxHistory.h"
#include "FaxSearch.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QSortFilterProxyModel>
#include <QThreadPool>

#include <atomic>

namespace kestrel {

// The history as the status window lists it: newest first, one row a fax.
// The state is in words, in its colour; the server's reason in Italian
// where the table of its reasons knows it, its own text in the tooltip.
// Every cell's description is the whole row in a sentence, which screen
// readers say after the cell.
class FaxHistoryModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column
    {
        DateColumn,
        DestinationColumn,
        NumberColumn,
        StateColumn,
        PagesColumn,
        TriesColumn,
        ReasonColumn,
        JobColumn,
        ColumnCount
    };
    // The history's index of the fax on a row.
    static constexpr int FaxRole = Qt::UserRole;

    explicit FaxHistoryModel(const FaxHistory& history, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    int rowOf(int fax) const { return int(m_history.records().size()) - 1 - fax; }
    int faxOf(int row) const { return int(m_history.records().size()) - 1 - row; }

    static QString stateText(FaxState state);
    static QColor stateColour(FaxState state);

private:
    QString cellText(const FaxRecord& record, int column) const;

    const FaxHistory& m_history;
};

// Which faxes the window lists: those of a state (setShow) that the search
// finds (setSearch, see faxSearch).
//
// The search of a long history runs on a worker thread, on a copy of the
// records: a result is used only when it is the last search's and the
// history has not changed since it started (else that search runs again).
// Until it is in, the list stays as the search before left it. Faxes
// added or changed meanwhile are matched at once.
class FaxHistoryFilter : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    enum class Show
    {
        All,
        OpenOrFailed, // what still needs the user's eye
        Open,
        Failed,
    };
    // From this many faxes on, a search runs on the worker thread.
    static constexpr int BackgroundFrom = 5000;

    explicit FaxHistoryFilter(const FaxHistory& history, QObject* parent = nullptr);
    // Waits for a search still running.
    ~FaxHistoryFilter() override;
    void setShow(Show show);

    void setSearch(const QString& typed);
    // Makes the faxes' keys on the worker, ahead of a search of a long
    // history (the search box has the focus).
    void prepareSearch();
    QString search() const { return m_typed; }
    // Whether the list is the one of the last search.
    bool isSearchSettled() const { return !m_pending; }
    // Tests move where the worker takes over.
    void setBackgroundFrom(int faxes) { m_backgroundFrom = faxes; }

Q_SIGNALS:
    // The list is that of the last search.
    void searchSettled();

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    bool found(int fax) const;
    void startSearch();
    void searchDone(quint64 generation, quint64 version, QStringList keys, QList<bool> found);
    void faxAdded(int fax);

    const FaxHistory& m_history;
    Show m_show = Show::All;
    QString m_typed;
    faxSearch::Query m_query;
    // Each fax's key and whether the search found it, by the history's
    // index; empty until a search needs them.
    QStringList m_keys;
    QList<bool> m_found;
    faxSearch::Query m_foundQuery; // what m_found answers
    // Counts the history's changes that move its indices (the file's faxes
    // read late): a search started before is of no use.
    quint64 m_version = 0;
    // The last search's; a search on the worker that is not gives up.
    std::atomic<quint64> m_generation{0};
    bool m_pending = false;
    bool m_preparing = false;
    int m_backgroundFrom = BackgroundFrom;
    // Last: its tasks use the members above.
    QThreadPool m_pool;
};

} // namespace kestrel
