#pragma once

#include "FaxHistory.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QSortFilterProxyModel>

namespace kestrel {

// The history as the status window lists it: newest first, one row a fax.
// The state is in words, in its colour; every cell's description is the
// whole row in a sentence, which screen readers say after the cell.
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

// Which faxes the window lists.
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

    explicit FaxHistoryFilter(const FaxHistory& history, QObject* parent = nullptr);
    void setShow(Show show);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    const FaxHistory& m_history;
    Show m_show = Show::All;
};

} // namespace kestrel
