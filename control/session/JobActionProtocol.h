#pragma once

#include "JobSessionProtocol.h"

#include <QDateTime>

namespace kestrel {

// Changes jobs on the fax server in one session, without sockets. It logs
// in, then for each job selects it ("JOB n"), reads its owner and changes
// it only when the owner is the user logged in:
//  - cancel: "JKILL", as the server's own removal tool does;
//  - move: reads its state and kill time ("JPARM STATE", "JPARM LASTTIME"),
//    suspends it ("JSUSP"), sets the send time ("JPARM SENDTIME"), sets the
//    kill time again relative to it so the server tries the job as long as
//    before, submits it again ("JSUBM") and reads the send time back. A job
//    suspended is always submitted again, whatever was refused after.
// A server's confirmation is believed only when it names the job asked
// about. Each job gives one report, in the order asked; why the rest could
// not be dealt with is gathered in error(), in the user's words.
class JobActionProtocol : public JobSessionProtocol
{
public:
    // Cancels the jobs.
    JobActionProtocol(QString userName, QString password, QStringList jobs);
    // Moves the job to sendTime (taken to the minute, in UTC on the wire).
    JobActionProtocol(QString userName, QString password, const QString& job, const QDateTime& sendTime);

    QStringList onReply(const Reply& reply) override;
    void fail(const QString& why) override;
    bool asked() const override { return m_step == Step::Quit || m_step == Step::Done; }
    bool done() const override { return m_step == Step::Done; }
    bool greeted() const override { return m_step != Step::Greeting; }
    QString error() const override { return m_problems.join(u"; "); }
    QString trouble(Trouble trouble, const QString& server) const override;
    QList<JobActionReport> takeActions() override { return std::exchange(m_reports, {}); }
    bool wantsNewSession() const override { return m_stale && asked(); }
    void restart() override;

    // The send time as the server takes it: "YYYYMMDDHHMM", UTC.
    static QString wireTime(const QDateTime& time);

private:
    enum class Step
    {
        Greeting,
        User,
        Pass,
        Job,
        Owner,
        Kill,
        State,
        KillTime,
        Suspend,
        SendTime,
        SetKillTime,
        Submit,
        ReadBack,
        Quit,
        Done,
    };

    QStringList next();
    QStringList giveUp(const QString& why);
    // The current job gets its report; the next one is taken up.
    QStringList settle(JobActionReport::Outcome outcome, const QString& reason);
    // After the job was suspended: submitted again, the refusal kept.
    QStringList resubmit(const QString& refusal);
    // The server refused the move as if the job were not suspended, after
    // it confirmed the suspension: a new session, or the refusal.
    QStringList staleOr(const QString& refusal);
    QStringList onJobReply(const Reply& reply, const QString& line);
    bool namesJob(const QString& line) const;
    const QString& currentJob() const { return m_jobs.at(m_index); }

    JobActionReport::Action m_action;
    QString m_userName;
    QString m_password;
    QStringList m_jobs;
    QDateTime m_sendTime;
    qsizetype m_index = -1;
    Step m_step = Step::Greeting;
    int m_sessions = 1;   // sessions made for the request
    bool m_stale = false; // this session's view of the job is older than the job
    QString m_killSpan;   // the job's kill time, relative to its send time
    QString m_refusal;    // why the move was refused after the suspension
    QDateTime m_readBack; // the send time the server gave back
    QList<JobActionReport> m_reports;
    QStringList m_problems;
};

} // namespace kestrel
