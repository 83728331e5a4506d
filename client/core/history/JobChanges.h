#pragma once

#include "FaxHistory.h"
#include "FaxStatusHost.h"
#include "StatusTracker.h"

#include <QDateTime>
#include <QObject>

namespace kestrel {

// Stops a fax of the history on the fax server, or moves a queued one to
// another send time, through the status host (one short session each, off
// the windows' thread), and brings the history in line with what the
// server confirmed: a fax the server confirms killed reads Cancelled (and
// faxEnded tells it); a refusal, a job the server does not know, a server
// away change nothing in the history. Each request ends with changeEnded,
// saying to the user what happened.
class JobChanges : public QObject
{
    Q_OBJECT
public:
    // The server and login are the tracker's, read at each request.
    JobChanges(FaxHistory& history, FaxStatusHost& host, const StatusTracker& tracker,
               QObject* parent = nullptr);

    // The control library can change jobs.
    bool available() const { return m_host.canChangeJobs(); }
    // A request is open: no other starts until it ends.
    bool busy() const { return m_open; }
    static bool canCancel(const FaxRecord& record);
    static bool canMove(const FaxRecord& record);
    // Why a send time cannot be asked for (past, more than a year ahead), in
    // the user's words; empty when it can.
    static QString sendTimeProblem(const QDateTime& when, const QDateTime& now);

    // The history's fax at index: false (and nothing asked) when it cannot
    // be changed that way now, or the host cannot start a session.
    bool cancel(int index);
    bool move(int index, const QDateTime& when);

Q_SIGNALS:
    // The history's fax at index was confirmed cancelled.
    void faxEnded(int index);
    // The request about the history's fax at index is over: done tells
    // whether the server confirmed it; message says what happened.
    void changeEnded(int index, bool done, const QString& message);

private:
    bool start(int index, bool cancelling, const QDateTime& when);
    void onActed(const JobActionReport& report);
    void onEnded(const QString& error);

    FaxHistory& m_history;
    FaxStatusHost& m_host;
    const StatusTracker& m_tracker;
    bool m_open = false;
    // The open request's fax, by appliance and job (indices may move while
    // the history reads its file).
    QString m_appliance;
    QString m_job;
    bool m_reported = false; // the server answered for the job
};

} // namespace kestrel
