#pragma once

#include "FaxHistory.h"
#include "FaxStatusHost.h"

#include <QObject>

#include <functional>
#include <optional>

namespace kestrel {

class OneShotTimer;

// Keeps the history's unfinished faxes up to date. While any fax of the
// appliance in use is unfinished it asks the fax server about all of them in
// one session, at most once every 30 seconds; while none is, it asks
// nothing. The appliance's pending and finished pages settle the faxes
// they carry as well. faxEnded tells when a fax was sent, failed or was
// cancelled.
class StatusTracker : public QObject
{
    Q_OBJECT
public:
    static constexpr int DefaultIntervalMs = 30000;

    struct Server
    {
        QString address;
        QString user;
        QString password;
    };

    StatusTracker(FaxHistory& history, FaxStatusHost& host, OneShotTimer& timer, QObject* parent = nullptr);
    // The timer may outlive it: nothing it started calls back afterwards.
    ~StatusTracker() override;

    // The appliance and login in force, read before each question.
    void setServer(std::function<Server()> server) { m_server = std::move(server); }
    // The shortest time between two questions (benchmarks shorten it).
    void setIntervalMs(int ms) { m_intervalMs = ms; }

    // A fax was added, or the program has started: asks at once unless a
    // question is open or was asked less than an interval ago.
    void wake();

    // The appliance's pages, as the control hands them over.
    void takePendingPage(const QString& xml);
    void takeFinishedPage(const QString& xml);

Q_SIGNALS:
    // The history's fax at index was sent, failed or was cancelled.
    void faxEnded(int index);

private:
    void ask();
    void onReport(const JobReport& report);
    void onQueryEnded();
    void takePage(const QString& xml, bool finished);
    void apply(const QString& appliance, const QString& job, const JobUpdate& update);

    FaxHistory& m_history;
    FaxStatusHost& m_host;
    OneShotTimer& m_timer;
    std::function<Server()> m_server;
    int m_intervalMs = DefaultIntervalMs;
    // The appliance the open question went to.
    QString m_askedAppliance;
    std::optional<FaxHistory::Batch> m_answers;
};

} // namespace kestrel
