#pragma once

// The fax server's word on jobs already submitted: a second class of the
// control library, "KestrelOCX.faxstatus", created by its ProgID through the
// component registry like the control. A host asks it about the jobs it
// submitted; it asks the appliance's fax server, over the protocol the
// control submits with, in one short session per question.

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace kestrel {

constexpr const char* FaxStatusProgId = "KestrelOCX.faxstatus";
constexpr const char* FaxStatusInterfaceId = "kestrel.IFaxStatus/1";

// One job as the fax server reports it.
struct JobReport
{
    enum class State
    {
        Queued,    // waiting for its turn or for its next try
        Sending,   // a line is dialling or sending it now
        Sent,      // delivered
        Failed,    // given up by the server; reason says why
        Cancelled, // killed on the server before it went
        Unknown,   // the server does not know the job (any more)
    };

    QString job;
    State state = State::Unknown;
    QString serverState; // the server's own word (READY, ACTIVE, DONE, FAILED ...)
    QString reason;      // the server's last status text for the job
    QString number;      // the number dialled
    int pagesSent = 0;
    int pagesTotal = 0;
    int tries = 0;
    int dials = 0;
    // Not empty when the server's listing was not of this job as this
    // client submitted it (another job's number, another user's job): why,
    // in the user's words. The state is then Unknown and nothing else is
    // filled.
    QString mismatch;

    bool finished() const
    {
        return state == State::Sent || state == State::Failed || state == State::Cancelled;
    }
};

// What the query tells its host, on the host's thread, from the event loop.
class IFaxStatusEvents
{
public:
    virtual ~IFaxStatusEvents() = default;
    // One per job the server could be asked about, in the order asked.
    virtual void JobStatus(const JobReport& report) = 0;
    // The question is answered: error is empty, or says why some or all of
    // the jobs could not be asked about (server away, login refused ...).
    virtual void QueryEnded(const QString& error) = 0;
};

class IFaxStatus
{
public:
    virtual ~IFaxStatus() = default;

    // The fax server (the appliance's address) and the login to ask as.
    virtual void SetServer(const QString& address, const QString& userName, const QString& password) = 0;
    // The longest any reply is waited for, in milliseconds (60 s by default).
    virtual void SetWaitLimitMs(int ms) = 0;
    virtual void Advise(IFaxStatusEvents* sink) = 0;
    // Asks about these jobs in one session, without waiting: JobStatus for
    // each, then QueryEnded. False, and nothing happens, while a question is
    // still open or when the list is empty.
    virtual bool Query(const QStringList& jobNumbers) = 0;
    virtual bool IsQuerying() const = 0;
};

// The second interface of the same class: it also changes jobs on the fax
// server (stops them, moves their send time), one short session per request,
// with the server and login of SetServer(). A host asks the registry for
// FaxStatus2InterfaceId; a library that only knows FaxStatusInterfaceId
// cannot change jobs.
constexpr const char* FaxStatus2InterfaceId = "kestrel.IFaxStatus/2";

// What the fax server did with one job asked to be changed.
struct JobActionReport
{
    enum class Action
    {
        Cancel, // the job stopped on the server (it then reads Cancelled)
        Move,   // a queued job moved to another send time
    };
    enum class Outcome
    {
        Done,    // the server confirmed it for this job
        Refused, // the server refused it: reason says why
        Unknown, // the server does not know the job (any more)
    };

    QString job;
    Action action = Action::Cancel;
    Outcome outcome = Outcome::Refused;
    // Not empty unless Done: why, in the user's words with the server's own
    // text.
    QString reason;
    // Move, Done: the send time the server now holds for the job (UTC, to
    // the minute).
    QDateTime sendTime;
};

class IFaxStatusActionEvents
{
public:
    virtual ~IFaxStatusActionEvents() = default;
    // One per job the server could be asked to change, in the order asked.
    virtual void JobActed(const JobActionReport& report) = 0;
    // The request is over: error is empty, or says why some or all of the
    // jobs could not be asked about (server away, login refused ...); those
    // jobs have no JobActed.
    virtual void ActionsEnded(const QString& error) = 0;
};

class IFaxStatus2 : public IFaxStatus
{
public:
    virtual void AdviseActions(IFaxStatusActionEvents* sink) = 0;
    // Stops these jobs in one session, without waiting: JobActed for each,
    // then ActionsEnded. False, and nothing happens, while a change is still
    // open or when the list is empty. Runs beside an open Query.
    virtual bool Cancel(const QStringList& jobNumbers) = 0;
    // Moves a queued job to another send time (any time zone; the server
    // keeps it to the minute), keeping its number, documents and how long
    // the server may try it. False as for Cancel, and for an invalid time.
    virtual bool MoveSendTime(const QString& jobNumber, const QDateTime& sendTime) = 0;
    virtual bool IsActing() const = 0;
};

} // namespace kestrel
