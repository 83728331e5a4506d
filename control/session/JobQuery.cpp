#include "JobQuery.h"

#include "JobQueryProtocol.h"
#include "Ports.h"
#include "SessionText.h"
#include "SubmissionProtocol.h"

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

// The goodbye's answer is waited for this long at most: everything was
// asked by then.
constexpr int GoodbyeWaitMs = 2000;
// A session made again waits this long first: hfaxd sees a job's queue
// file change only once its modification time, to the second, has moved.
constexpr int NewSessionDelayMs = 1500;

} // namespace

JobQuery::JobQuery(QObject* parent) : QObject(parent)
{
    m_cmd.setLowDelay(true);
    m_replyTimer.setSingleShot(true);
    connect(&m_cmd, &SocketComponent::DataArrival, this, &JobQuery::onData);
    connect(&m_cmd, &SocketComponent::Close, this, [this] {
        onData();
        end(trouble(JobSessionProtocol::Trouble::Dropped), u"the fax server closed the connection"_s);
    });
    connect(&m_cmd, &SocketComponent::Error, this, [this](int number, const QString& description) {
        const bool greeted = m_protocol && m_protocol->greeted();
        end(trouble(greeted ? JobSessionProtocol::Trouble::Dropped
                            : JobSessionProtocol::Trouble::Unreachable),
            u"connection error %1: %2"_s.arg(number).arg(description));
    });
    connect(&m_replyTimer, &QTimer::timeout, this, [this] {
        if (m_protocol && m_protocol->asked())
            end(QString(), QString());
        else
            end(trouble(JobSessionProtocol::Trouble::NoReply),
                u"no reply within %1 s"_s.arg(m_waitLimitMs / 1000.0));
    });
}

void JobQuery::log(const QString& line) const
{
    if (m_log)
        m_log(line);
}

void JobQuery::start(const QString& server, const QString& userName, const QString& password,
                     const QStringList& jobs, int waitLimitMs)
{
    log(u"Status: asking %1 about jobs %2"_s.arg(server, jobs.join(u", "_s)));
    start(server, std::make_unique<JobQueryProtocol>(userName, password, jobs), waitLimitMs);
}

void JobQuery::start(const QString& server, std::unique_ptr<JobSessionProtocol> protocol, int waitLimitMs)
{
    m_protocol = std::move(protocol);
    m_server = server;
    m_waitLimitMs = waitLimitMs;
    m_cmd.connectTo(m_server, ports::faxServer());
    m_replyTimer.start(m_waitLimitMs);
}

QString JobQuery::trouble(JobSessionProtocol::Trouble trouble) const
{
    return m_protocol ? m_protocol->trouble(trouble, m_server) : QString();
}

void JobQuery::stop()
{
    m_stopped = true;
    m_finished = true;
    m_replyTimer.stop();
    m_cmd.close();
}

void JobQuery::onData()
{
    if (m_finished || m_pausing || !m_protocol)
        return;
    if (!m_splitter.feed(m_cmd.getData())) {
        end(trouble(JobSessionProtocol::Trouble::TooLong),
            u"a reply longer than %1 bytes"_s.arg(ReplySplitter::MaxReply));
        return;
    }
    while (m_splitter.hasReply() && !m_finished) {
        const Reply reply = m_splitter.takeReply();
        // A job's listing is long: its first line tells enough.
        log(reply.code == 217 ? reply.text.section(u"\r\n"_s, 0, 0) + u" [...]"_s : reply.text);
        const QStringList commands = m_protocol->onReply(reply);
        for (const QString& command : commands)
            log(SubmissionProtocol::shownCommand(command));
        if (!commands.isEmpty())
            m_cmd.sendData(commandBytes(commands));
        passOnReports();
        if (m_protocol->done()) {
            end(QString(), QString());
            return;
        }
        m_replyTimer.start(m_protocol->asked() ? qMin(GoodbyeWaitMs, m_waitLimitMs) : m_waitLimitMs);
    }
}

void JobQuery::passOnReports()
{
    for (const JobReport& report : m_protocol->takeReports()) {
        log(u"Status: job %1 %2 %3"_s.arg(report.job, report.serverState, report.reason).trimmed());
        // From the event loop, in order with finished().
        QMetaObject::invokeMethod(
            this,
            [this, report] {
                if (!m_stopped)
                    Q_EMIT reported(report);
            },
            Qt::QueuedConnection);
    }
    for (const JobActionReport& report : m_protocol->takeActions()) {
        log(u"Status: job %1 %2 %3"_s.arg(report.job)
                .arg(report.outcome == JobActionReport::Outcome::Done ? u"changed"_s : u"not changed"_s)
                .arg(report.reason)
                .trimmed());
        QMetaObject::invokeMethod(
            this,
            [this, report] {
                if (!m_stopped)
                    Q_EMIT acted(report);
            },
            Qt::QueuedConnection);
    }
}

void JobQuery::startAgain()
{
    m_pausing = true;
    m_replyTimer.stop();
    m_cmd.close();
    log(u"Status: the server's view of the job was older than the job; asking again in a new session"_s);
    QTimer::singleShot(NewSessionDelayMs, this, [this] {
        m_pausing = false;
        if (m_stopped || m_finished)
            return;
        m_splitter.reset();
        m_protocol->restart();
        m_cmd.connectTo(m_server, ports::faxServer());
        m_replyTimer.start(m_waitLimitMs);
    });
}

void JobQuery::end(const QString& why, const QString& logged)
{
    if (m_finished || m_pausing || !m_protocol)
        return;
    if (!m_stopped && m_protocol->wantsNewSession()) {
        startAgain();
        return;
    }
    m_finished = true;
    m_replyTimer.stop();
    // After the goodbye the session may end any way: nothing was left to ask.
    if (!why.isEmpty() && !m_protocol->asked()) {
        log(u"Status: "_s + logged);
        m_protocol->fail(why);
    }
    m_cmd.close();
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!m_stopped)
                Q_EMIT finished(m_protocol->error());
        },
        Qt::QueuedConnection);
}

} // namespace kestrel
