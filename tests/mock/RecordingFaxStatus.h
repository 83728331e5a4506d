#pragma once

#include "FaxStatus.h"

#include <QList>
#include <QStringList>

namespace kestrel::test {

// A stand-in for the control library's job status query: it records the
// questions and answers when the test says so, as the real one answers from
// the event loop.
class RecordingFaxStatus : public IFaxStatus
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

} // namespace kestrel::test
