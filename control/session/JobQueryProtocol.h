#pragma once

#include "JobSessionProtocol.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace kestrel {

// Asks the fax server about several jobs in one session, without sockets: a
// reply in, the commands to send out. It logs in, then for each job selects
// it ("JOB n") and reads its whole listing ("JPARM"), and says goodbye. Each
// job the server answers for gives a report, in the order asked; a job the
// server does not know, or whose listing is another job's or another
// user's, gives an Unknown one. Why a job, or the rest, could not be asked
// about is gathered in error(), in the user's words. The session ends with
// "QUIT": asked() once it went out, done() once the server answered it.
class JobQueryProtocol : public JobSessionProtocol
{
public:
    JobQueryProtocol(QString userName, QString password, QStringList jobs);

    // The commands the reply calls for.
    QStringList onReply(const Reply& reply) override;
    // The connection failed or a reply did not come: the jobs not asked
    // about yet stay so, for this reason.
    void fail(const QString& why) override;

    // The reports gathered since the last call.
    QList<JobReport> takeReports() override { return std::exchange(m_reports, {}); }
    bool asked() const override { return m_step == Step::Quit || m_step == Step::Done; }
    bool done() const override { return m_step == Step::Done; }
    bool greeted() const override { return m_step != Step::Greeting; }
    // Empty when every job was asked about.
    QString error() const override { return m_problems.join(u"; "); }
    QString trouble(Trouble trouble, const QString& server) const override;

private:
    enum class Step
    {
        Greeting,
        User,
        Pass,
        Job,
        Listing,
        Quit,
        Done,
    };

    // The next job's selection, or the goodbye after the last one.
    QStringList next();
    QStringList giveUp(const QString& why);
    void report(JobReport report);
    const QString& currentJob() const { return m_jobs.at(m_index); }

    QString m_userName;
    QString m_password;
    QStringList m_jobs;
    qsizetype m_index = -1;
    bool m_reselected = false; // the current job was selected again once
    Step m_step = Step::Greeting;
    QList<JobReport> m_reports;
    QStringList m_problems;
};

} // namespace kestrel
