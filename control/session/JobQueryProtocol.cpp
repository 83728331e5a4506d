#include "JobQueryProtocol.h"

#include "ControlTexts.h"
#include "JobListing.h"
#include "SessionText.h"

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

// hfaxd: "500 Cannot set job 7; job does not exist (No such file or directory)."
bool unknownJob(const Reply& reply, const QString& line)
{
    return reply.code == 500 && line.contains(u"does not exist"_s);
}

} // namespace

JobQueryProtocol::JobQueryProtocol(QString userName, QString password, QStringList jobs)
    : m_userName(std::move(userName)), m_password(std::move(password)), m_jobs(std::move(jobs))
{}

QString JobQueryProtocol::trouble(Trouble trouble, const QString& server) const
{
    switch (trouble) {
    case Trouble::Unreachable:
        return texts::statusUnreachable(server);
    case Trouble::NoReply:
        return texts::statusNoReply();
    case Trouble::Dropped:
        return texts::statusConnectionDropped();
    case Trouble::TooLong:
        return texts::statusReplyTooLong();
    }
    return {};
}

void JobQueryProtocol::report(JobReport report)
{
    m_reports.append(std::move(report));
}

QStringList JobQueryProtocol::next()
{
    m_reselected = false;
    while (++m_index < m_jobs.size()) {
        // A number that cannot be a job's never goes on the wire.
        if (isPlainJobNumber(currentJob())) {
            m_step = Step::Job;
            return {u"JOB "_s + currentJob()};
        }
        JobReport unknown;
        unknown.job = currentJob();
        report(std::move(unknown));
    }
    m_step = Step::Quit;
    return {u"QUIT"_s};
}

QStringList JobQueryProtocol::giveUp(const QString& why)
{
    m_problems << why;
    m_step = Step::Quit;
    return {u"QUIT"_s};
}

void JobQueryProtocol::fail(const QString& why)
{
    if (done())
        return;
    // Everything was asked: a goodbye unanswered loses nothing.
    if (m_step != Step::Quit)
        m_problems << why;
    m_step = Step::Done;
}

QStringList JobQueryProtocol::onReply(const Reply& reply)
{
    if (done() || reply.code < 0 || reply.isPreliminary())
        return {};
    const QString line = reply.text.section(u"\r\n"_s, 0, 0);
    switch (m_step) {
    case Step::Greeting:
    case Step::User:
    case Step::Pass: {
        const LoginAnswer answer = answerLogin(m_step, reply, m_userName, m_password,
                                               texts::statusUnexpectedReply(serverText(line)));
        if (!answer.problem.isEmpty())
            return giveUp(answer.problem);
        return answer.loggedIn ? next() : answer.commands;
    }
    case Step::Job:
        if (reply.code / 100 == 2) {
            m_step = Step::Listing;
            return {u"JPARM"_s};
        }
        if (unknownJob(reply, line)) {
            JobReport unknown;
            unknown.job = currentJob();
            unknown.reason = serverText(line.mid(4));
            report(std::move(unknown));
        } else {
            m_problems << texts::statusRefused(currentJob(), serverText(line));
        }
        return next();
    case Step::Listing:
        if (reply.code == 217) {
            if (const std::optional<JobReport> read = readJobListing(currentJob(), m_userName, reply.text))
                report(*read);
            else
                m_problems << texts::statusRefused(currentJob(), serverText(line));
            return next();
        }
        // hfaxd: "500 Cannot access job state; job deleted by another party."
        // when the job moved to the finished ones between the two commands:
        // selected again, it is found there.
        if (reply.code == 500 && line.contains(u"deleted"_s) && !m_reselected) {
            m_reselected = true;
            m_step = Step::Job;
            return {u"JOB "_s + currentJob()};
        }
        m_problems << texts::statusRefused(currentJob(), serverText(line));
        return next();
    case Step::Quit:
        // "221 Goodbye.", or whatever comes: the session is over.
        m_step = Step::Done;
        return {};
    case Step::Done:
        break;
    }
    return {};
}

} // namespace kestrel
