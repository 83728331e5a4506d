#pragma once

#include "ReplySplitter.h"

#include <QString>
#include <QStringList>

namespace kestrel {

// Asks the fax server about one job, without sockets: a reply in, the
// commands to send out. It logs in, selects the job by its number and reads
// its state. The server knows a job only once it has been handed in: one
// that was never submitted is forgotten when its session ends.
class JobStatusProtocol
{
public:
    enum class Outcome
    {
        Pending, // still asking
        Held,    // the server has the job: it was submitted
        NotHeld, // the server does not know the job
        Unknown, // the server could not be asked
    };

    JobStatusProtocol(QString userName, QString password, QString job);

    // The commands the reply calls for; none once the outcome is known
    // (except the goodbye).
    QStringList onReply(const Reply& reply);
    // The connection failed or a reply did not come: nothing was learnt.
    void fail(const QString& why);

    Outcome outcome() const { return m_outcome; }
    bool done() const { return m_outcome != Outcome::Pending; }
    bool greeted() const { return m_step != Step::Greeting; }
    // The server's word for the job's state (Held), or why the answer is
    // not known (Unknown, NotHeld): for the debug log.
    QString detail() const { return m_detail; }

private:
    enum class Step
    {
        Greeting,
        User,
        Pass,
        Job,
        State,
        Quit,
    };

    QStringList finish(Outcome outcome, const QString& detail);

    QString m_userName;
    QString m_password;
    QString m_job;
    Step m_step = Step::Greeting;
    Outcome m_outcome = Outcome::Pending;
    QString m_detail;
};

} // namespace kestrel
