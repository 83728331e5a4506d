#pragma once

#include "Expected.h"
#include "FaxStatus.h"

#include <QObject>

#include <memory>
#include <type_traits>

namespace kestrel {

// Hosts the job status query of the control library for a program: creates
// it by its ProgID through the component registry, is its event sink, and
// turns its events into Qt signals. Without the query (the library is too
// old to have it) create() says why and ask() does nothing.
//
// Signals arrive from the event loop, never inside ask(); a handler may ask
// again from queryEnded, but must not destroy the host.
//
// A library that has the query's second interface also changes jobs
// (cancelJobs, moveJob): one change at a time, beside any question, its
// reports as jobActed, then actionsEnded.
class FaxStatusHost : public QObject, private IFaxStatusEvents, private IFaxStatusActionEvents
{
    Q_OBJECT
public:
    explicit FaxStatusHost(QObject* parent = nullptr);
    ~FaxStatusHost() override;

    Status create();
    // Hosts a query made elsewhere (tests hand in a stand-in); one that has
    // the second interface changes jobs too.
    template <typename Query> void adopt(std::unique_ptr<Query> query)
    {
        IFaxStatus2* changing = nullptr;
        if constexpr (std::is_base_of_v<IFaxStatus2, Query>)
            changing = query.get();
        adoptQuery(std::move(query), changing);
    }
    void destroy();
    bool isCreated() const { return m_query != nullptr; }

    void setServer(const QString& address, const QString& userName, const QString& password);
    void setWaitLimitMs(int ms);
    // One session about these jobs; false when none could start (no query,
    // one still open, no jobs).
    bool ask(const QStringList& jobNumbers);
    bool isAsking() const;

    // The query can change jobs (the library has the second interface).
    bool canChangeJobs() const { return m_changing != nullptr; }
    // Stops these jobs, or moves one to another send time, in one session;
    // false when none could start (no such query, a change still open, no
    // jobs, no valid time).
    bool cancelJobs(const QStringList& jobNumbers);
    bool moveJob(const QString& jobNumber, const QDateTime& sendTime);
    bool isChanging() const;

Q_SIGNALS:
    void jobReported(const kestrel::JobReport& report);
    void queryEnded(const QString& error);
    void jobActed(const kestrel::JobActionReport& report);
    void actionsEnded(const QString& error);

private:
    void JobStatus(const JobReport& report) override;
    void QueryEnded(const QString& error) override;
    void JobActed(const JobActionReport& report) override;
    void ActionsEnded(const QString& error) override;
    void adoptQuery(std::unique_ptr<IFaxStatus> query, IFaxStatus2* changing);

    std::unique_ptr<IFaxStatus> m_query;
    IFaxStatus2* m_changing = nullptr; // m_query, when it has the second interface
};

} // namespace kestrel
