#pragma once

#include "FaxHistory.h"
#include "FaxStatusPoll.h"

#include <QObject>
#include <QSet>

#include <functional>
#include <optional>

namespace kestrel {

class OneShotTimer;

// Keeps the history's unfinished faxes up to date. While any fax of the
// appliance in use is unfinished it asks the fax server about all of them in
// one session, at most once every 30 seconds; while none is, it asks
// nothing. A question left unanswered is asked again after twice the wait
// of the last one, up to 10 minutes; after a refused login nothing is asked
// until the settings are saved or give another login. serverNote says in
// the user's words why the states shown are those of an older answer (empty
// while the server answers). The fax server's listing tells how a fax
// ended; the appliance's pending page may only move a fax on its way
// (queued to sending) while the listing has not spoken of it this run.
// faxEnded tells when a fax was sent, failed or was cancelled.
class StatusTracker : public QObject
{
    Q_OBJECT
public:
    static constexpr int DefaultIntervalMs = 30000;
    static constexpr int LongestWaitMs = 10 * 60 * 1000;

    struct Server
    {
        QString address;
        QString user;
        QString password;
        bool operator==(const Server&) const = default;
    };

    StatusTracker(FaxHistory& history, FaxStatusHost& host, OneShotTimer& timer, QObject* parent = nullptr);
    // The timer may outlive it: nothing it started calls back afterwards.
    ~StatusTracker() override;

    // The appliance and login in force, read before each question.
    void setServer(std::function<Server()> server) { m_server = std::move(server); }
    Server server() const { return m_server(); }
    // The shortest time between two questions (benchmarks shorten it).
    void setIntervalMs(int ms) { m_poll.setShortestMs(ms); }

    // A fax was added, or the program has started: asks at once unless a
    // question is open or was asked less than an interval ago.
    void wake();

    // The appliance's pages, as the control hands them over.
    void takePendingPage(const QString& xml);
    void takeFinishedPage(const QString& xml);

    // The settings were saved: a login refused before is tried again.
    void settingsChanged();
    QString serverNote() const { return m_note; }

Q_SIGNALS:
    // The history's fax at index was sent, failed or was cancelled.
    void faxEnded(int index);
    void serverNoteChanged(const QString& note);

private:
    void ask();
    void onReport(const JobReport& report);
    void onQueryEnded(const QString& error);
    void setNote(const QString& note);
    void settleForgotten();
    void takePage(const QString& xml, bool finished);
    void apply(const QString& appliance, const QString& job, const JobUpdate& update);

    FaxHistory& m_history;
    FaxStatusHost& m_host;
    OneShotTimer& m_timer;
    std::function<Server()> m_server;
    // The wait before the next question: the interval, longer while the
    // server does not answer.
    FaxStatusPoll m_poll;
    // The appliance and login the open question went to.
    Server m_asked;
    // The login the server refused; none is asked with again.
    std::optional<Server> m_refused;
    QString m_note;
    // The faxes (appliance and job) the server's listing spoke of this run.
    QSet<QString> m_listed;
    bool m_forgottenSettled = false;
    std::optional<FaxHistory::Batch> m_answers;
};

} // namespace kestrel
