#pragma once

#include "FaxStatus.h"

#include <QDateTime>
#include <QList>
#include <QStringList>

namespace kestrel::test {

// A stand-in for the control library's job status query: it records the
// questions and answers when the test says so, as the real one answers from
// the event loop. It takes requests to change jobs too, and answers them
// when the test says so.
class RecordingFaxStatus : public IFaxStatus2
{
public:
    QList<QStringList> queries;
    QString address, user, password;
    IFaxStatusEvents* events = nullptr;
    bool open = false;

    void SetServer(const QString& a, const QString& u, const QString& p) override
    {
        address = a;
        user = u;
        password = p;
    }
    void SetWaitLimitMs(int) override {}
    void Advise(IFaxStatusEvents* sink) override { events = sink; }
    bool Query(const QStringList& jobs) override
    {
        if (open || jobs.isEmpty())
            return false;
        queries << jobs;
        open = true;
        return true;
    }
    bool IsQuerying() const override { return open; }

    QList<QStringList> cancels;
    QList<std::pair<QString, QDateTime>> moves;
    IFaxStatusActionEvents* actionEvents = nullptr;
    bool acting = false;

    void AdviseActions(IFaxStatusActionEvents* sink) override { actionEvents = sink; }
    bool Cancel(const QStringList& jobs) override
    {
        if (acting || jobs.isEmpty())
            return false;
        cancels << jobs;
        acting = true;
        return true;
    }
    bool MoveSendTime(const QString& job, const QDateTime& when) override
    {
        if (acting || job.isEmpty() || !when.isValid())
            return false;
        moves.append({job, when});
        acting = true;
        return true;
    }
    bool IsActing() const override { return acting; }

    // The answer to the open change.
    void act(const QList<JobActionReport>& reports, const QString& error = {})
    {
        for (const JobActionReport& report : reports)
            actionEvents->JobActed(report);
        acting = false;
        actionEvents->ActionsEnded(error);
    }

    // The answer to the open question.
    void answer(const QList<JobReport>& reports, const QString& error = {})
    {
        for (const JobReport& report : reports)
            events->JobStatus(report);
        open = false;
        events->QueryEnded(error);
    }
};

inline JobReport report(const QString& job, JobReport::State state, const QString& reason = {}, int sent = 0,
                        int total = 0, int tries = 0)
{
    JobReport r;
    r.job = job;
    r.state = state;
    r.reason = reason;
    r.pagesSent = sent;
    r.pagesTotal = total;
    r.tries = tries;
    return r;
}

inline JobActionReport acted(const QString& job, JobActionReport::Outcome outcome, const QString& reason = {},
                             JobActionReport::Action action = JobActionReport::Action::Cancel)
{
    JobActionReport r;
    r.job = job;
    r.action = action;
    r.outcome = outcome;
    r.reason = reason;
    return r;
}

} // namespace kestrel::test
