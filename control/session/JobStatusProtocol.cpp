#include "JobStatusProtocol.h"

using namespace Qt::StringLiterals;

namespace kestrel {

JobStatusProtocol::JobStatusProtocol(QString userName, QString password, QString job)
    : m_userName(std::move(userName)), m_password(std::move(password)), m_job(std::move(job))
{}

QStringList JobStatusProtocol::finish(Outcome outcome, const QString& detail)
{
    m_outcome = outcome;
    m_detail = detail;
    m_step = Step::Quit;
    return {u"QUIT"_s};
}

void JobStatusProtocol::fail(const QString& why)
{
    if (done())
        return;
    m_outcome = Outcome::Unknown;
    m_detail = why;
}

QStringList JobStatusProtocol::onReply(const Reply& reply)
{
    if (done() || reply.code < 0 || reply.isPreliminary())
        return {};
    const QString line = reply.text.section(u"\r\n"_s, 0, 0);
    switch (m_step) {
    case Step::Greeting:
        if (reply.code != 220)
            return finish(Outcome::Unknown, u"no greeting: "_s + line);
        m_step = Step::User;
        return {u"USER "_s + m_userName};
    case Step::User:
        if (reply.code == 331) {
            m_step = Step::Pass;
            return {u"PASS "_s + m_password};
        }
        [[fallthrough]];
    case Step::Pass:
        if (reply.code != 230)
            return finish(Outcome::Unknown, u"login: "_s + line);
        m_step = Step::Job;
        return {u"JOB "_s + m_job};
    case Step::Job:
        if (reply.code / 100 == 2) {
            m_step = Step::State;
            return {u"JPARM STATE"_s};
        }
        // hfaxd: "500 Cannot set job 7; job does not exist (...)".
        if (reply.code == 500 && line.contains(u"does not exist"_s))
            return finish(Outcome::NotHeld, line);
        return finish(Outcome::Unknown, u"JOB "_s + m_job + u": "_s + line);
    case Step::State:
        // The job was selected: the server holds it, whatever its state.
        return finish(Outcome::Held, reply.code == 213 ? line.mid(4).trimmed() : QString());
    case Step::Quit:
        break;
    }
    return {};
}

} // namespace kestrel
