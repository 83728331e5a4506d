#include "JobActionProtocol.h"

#include "ControlTexts.h"
#include "JobListing.h"
#include "SessionText.h"

#include <QRegularExpression>
#include <QTimeZone>

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

using Outcome = JobActionReport::Outcome;

// hfaxd reads a job's queue file again only when its modification time
// (to the second) has moved: a job suspended within the second the
// scheduler last wrote it stays unsuspended in the eyes of this session
// ("503 Suspend the job with JSUSP first.", "504 Job 7 not submitted; use
// JSUSP first."), and only a new session sees it suspended. At most this
// many sessions are made for one move.
constexpr int MostSessions = 3;

// hfaxd: "500 Cannot set job 7; job does not exist (No such file or
// directory)." (to JOB and JKILL alike).
bool unknownJob(const Reply& reply, const QString& line)
{
    return reply.code == 500 && line.contains(u"does not exist"_s);
}

// A kill time relative to the send time, as hfaxd lists it: "DDHHMM".
// Negative or odd spans ("00-2100": it passed before the send time) are not
// kept.
bool plainSpan(const QString& span)
{
    static const QRegularExpression digits(u"^\\d{6}$"_s);
    return digits.match(span).hasMatch();
}

} // namespace

JobActionProtocol::JobActionProtocol(QString userName, QString password, QStringList jobs)
    : m_action(JobActionReport::Action::Cancel), m_userName(std::move(userName)),
      m_password(std::move(password)), m_jobs(std::move(jobs))
{}

JobActionProtocol::JobActionProtocol(QString userName, QString password, const QString& job,
                                     const QDateTime& sendTime)
    : m_action(JobActionReport::Action::Move), m_userName(std::move(userName)),
      m_password(std::move(password)), m_jobs{job}, m_sendTime(sendTime)
{}

QString JobActionProtocol::wireTime(const QDateTime& time)
{
    return time.toUTC().toString(u"yyyyMMddHHmm"_s);
}

QString JobActionProtocol::trouble(Trouble trouble, const QString& server) const
{
    switch (trouble) {
    case Trouble::Unreachable:
        return texts::actionUnreachable(server);
    case Trouble::NoReply:
        return texts::actionNoReply();
    case Trouble::Dropped:
        return texts::actionConnectionDropped();
    case Trouble::TooLong:
        return texts::actionReplyTooLong();
    }
    return {};
}

void JobActionProtocol::restart()
{
    m_stale = false;
    ++m_sessions;
    m_step = Step::Greeting;
    // The job in hand is taken up again from its selection.
    --m_index;
}

QStringList JobActionProtocol::staleOr(const QString& refusal)
{
    if (m_sessions >= MostSessions)
        return resubmit(refusal);
    m_stale = true;
    m_step = Step::Quit;
    return {u"QUIT"_s};
}

QStringList JobActionProtocol::next()
{
    m_killSpan.clear();
    m_refusal.clear();
    m_readBack = {};
    while (++m_index < m_jobs.size()) {
        // A number that cannot be a job's never goes on the wire.
        if (isPlainJobNumber(currentJob())) {
            m_step = Step::Job;
            return {u"JOB "_s + currentJob()};
        }
        JobActionReport unknown;
        unknown.job = currentJob();
        unknown.action = m_action;
        unknown.outcome = Outcome::Unknown;
        unknown.reason = texts::actionUnknownJob(currentJob(), QString());
        m_reports.append(unknown);
    }
    m_step = Step::Quit;
    return {u"QUIT"_s};
}

QStringList JobActionProtocol::giveUp(const QString& why)
{
    m_problems << why;
    m_step = Step::Quit;
    return {u"QUIT"_s};
}

QStringList JobActionProtocol::settle(Outcome outcome, const QString& reason)
{
    JobActionReport report;
    report.job = currentJob();
    report.action = m_action;
    report.outcome = outcome;
    report.reason = reason;
    if (outcome == Outcome::Done)
        report.sendTime = m_readBack;
    m_reports.append(report);
    return next();
}

QStringList JobActionProtocol::resubmit(const QString& refusal)
{
    if (m_refusal.isEmpty())
        m_refusal = refusal;
    m_step = Step::Submit;
    return {u"JSUBM"_s};
}

bool JobActionProtocol::namesJob(const QString& line) const
{
    // "200 Job 7 killed.", "200 Current job: jobid: 7 groupid: 7."
    static const QRegularExpression named(u"(?:[Jj]ob|jobid:) (\\d+)\\b"_s);
    const QRegularExpressionMatch match = named.match(line);
    return match.hasMatch() && match.captured(1) == currentJob();
}

void JobActionProtocol::fail(const QString& why)
{
    if (done())
        return;
    if (m_step == Step::SendTime || m_step == Step::SetKillTime || m_step == Step::Submit) {
        // Suspended and not submitted again: the user has to know.
        m_problems << texts::moveLeftSuspended(currentJob(), why);
    } else if (m_step != Step::Quit) {
        m_problems << why;
    }
    m_step = Step::Done;
}

QStringList JobActionProtocol::onReply(const Reply& reply)
{
    if (done() || reply.code < 0 || reply.isPreliminary())
        return {};
    const QString line = reply.text.section(u"\r\n"_s, 0, 0);
    switch (m_step) {
    case Step::Greeting:
    case Step::User:
    case Step::Pass: {
        const LoginAnswer answer = answerLogin(m_step, reply, m_userName, m_password,
                                               texts::actionUnexpectedReply(serverText(line)));
        if (!answer.problem.isEmpty())
            return giveUp(answer.problem);
        return answer.loggedIn ? next() : answer.commands;
    }
    case Step::Quit:
        // "221 Goodbye.", or whatever comes: the session is over.
        m_step = Step::Done;
        return {};
    case Step::Done:
        return {};
    default:
        return onJobReply(reply, line);
    }
}

QStringList JobActionProtocol::onJobReply(const Reply& reply, const QString& line)
{
    const bool move = m_action == JobActionReport::Action::Move;
    const QString text = serverText(line);
    const QString value = line.mid(4).trimmed();
    switch (m_step) {
    case Step::Job:
        if (unknownJob(reply, line))
            return settle(Outcome::Unknown, texts::actionUnknownJob(currentJob(), text));
        if (reply.code != 200)
            return settle(Outcome::Refused, texts::actionRefused(move, currentJob(), text));
        if (!namesJob(line))
            return settle(Outcome::Refused, texts::actionUnconfirmed(currentJob(), text));
        m_step = Step::Owner;
        return {u"JPARM OWNER"_s};
    case Step::Owner:
        // The server lets an administrator change anyone's job: this client
        // changes its user's jobs only.
        if (reply.code != 213)
            return settle(Outcome::Refused, texts::actionRefused(move, currentJob(), text));
        if (value != m_userName)
            return settle(Outcome::Refused, texts::statusOtherOwner(currentJob(), serverText(value)));
        if (!move) {
            m_step = Step::Kill;
            return {u"JKILL"_s};
        }
        m_step = Step::State;
        return {u"JPARM STATE"_s};
    case Step::Kill:
        if (unknownJob(reply, line))
            return settle(Outcome::Unknown, texts::actionUnknownJob(currentJob(), text));
        if (reply.code != 200)
            return settle(Outcome::Refused, texts::actionRefused(false, currentJob(), text));
        // "200 Job 7 killed."
        if (!namesJob(line))
            return settle(Outcome::Refused, texts::actionUnconfirmed(currentJob(), text));
        return settle(Outcome::Done, QString());
    case Step::State: {
        if (reply.code != 213)
            return settle(Outcome::Refused, texts::actionRefused(true, currentJob(), text));
        // Only a job waiting for its turn moves: one on the line would be
        // stopped mid-call, one ended cannot go again.
        static const QStringList waiting{u"SUSPENDED"_s, u"PENDING"_s, u"SLEEPING"_s, u"BLOCKED"_s,
                                         u"READY"_s};
        if (!waiting.contains(value))
            return settle(Outcome::Refused, texts::moveNotQueued(currentJob(), serverText(value)));
        m_step = Step::KillTime;
        return {u"JPARM LASTTIME"_s};
    }
    case Step::KillTime:
        if (reply.code == 213 && plainSpan(value))
            m_killSpan = value;
        m_step = Step::Suspend;
        return {u"JSUSP"_s};
    case Step::Suspend:
        if (unknownJob(reply, line))
            return settle(Outcome::Unknown, texts::actionUnknownJob(currentJob(), text));
        // "200 Job 7 suspended."
        if (reply.code != 200)
            return settle(Outcome::Refused, texts::actionRefused(true, currentJob(), text));
        if (!namesJob(line))
            return resubmit(texts::actionUnconfirmed(currentJob(), text));
        m_step = Step::SendTime;
        return {u"JPARM SENDTIME "_s + wireTime(m_sendTime)};
    case Step::SendTime:
        if (reply.code == 213) {
            if (m_killSpan.isEmpty())
                return resubmit(QString());
            m_step = Step::SetKillTime;
            return {u"JPARM LASTTIME "_s + m_killSpan};
        }
        if (line.contains(u"JSUSP"_s))
            return staleOr(texts::actionRefused(true, currentJob(), text));
        return resubmit(texts::actionRefused(true, currentJob(), text));
    case Step::SetKillTime:
        // Refused, the job keeps its kill time: it goes at the new time all
        // the same, or expires as the server decides.
        return resubmit(QString());
    case Step::Submit:
        if (reply.code != 200 && line.contains(u"JSUSP"_s) && m_refusal.isEmpty() &&
            m_sessions < MostSessions) {
            m_stale = true;
            m_step = Step::Quit;
            return {u"QUIT"_s};
        }
        // "200 Job 7 submitted."
        if (reply.code != 200)
            return settle(Outcome::Refused, texts::moveLeftSuspended(currentJob(), text));
        if (!m_refusal.isEmpty())
            return settle(Outcome::Refused, m_refusal);
        m_step = Step::ReadBack;
        return {u"JPARM SENDTIME"_s};
    case Step::ReadBack:
        // "213 20261211035700"
        if (reply.code == 213) {
            m_readBack = QDateTime::fromString(value, u"yyyyMMddHHmmss"_s);
            m_readBack.setTimeZone(QTimeZone::utc());
        }
        if (m_readBack.isValid() && wireTime(m_readBack) == wireTime(m_sendTime))
            return settle(Outcome::Done, QString());
        return settle(Outcome::Refused, texts::actionUnconfirmed(currentJob(), text));
    default:
        return {};
    }
}

} // namespace kestrel
