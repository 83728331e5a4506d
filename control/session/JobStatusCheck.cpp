#include "JobStatusCheck.h"

#include "Ports.h"
#include "SessionText.h"
#include "SubmissionProtocol.h"

using namespace Qt::StringLiterals;

namespace kestrel {

JobStatusCheck::JobStatusCheck(QObject* parent) : QObject(parent)
{
    m_cmd.setLowDelay(true);
    m_delay.setSingleShot(true);
    m_replyTimer.setSingleShot(true);
    connect(&m_delay, &QTimer::timeout, this, &JobStatusCheck::connectNow);
    connect(&m_cmd, &SocketComponent::DataArrival, this, &JobStatusCheck::onData);
    connect(&m_cmd, &SocketComponent::Close, this, [this] {
        onData();
        end(u"the fax server closed the connection"_s);
    });
    connect(&m_cmd, &SocketComponent::Error, this, [this](int number, const QString& description) {
        end(u"connection error %1: %2"_s.arg(number).arg(description));
    });
    connect(&m_replyTimer, &QTimer::timeout, this,
            [this] { end(u"no reply within %1 s"_s.arg(m_waitLimitMs / 1000.0)); });
}

void JobStatusCheck::log(const QString& line) const
{
    if (m_log)
        m_log(line);
}

void JobStatusCheck::start(const QString& server, const QString& userName, const QString& password,
                           const QString& job, int waitLimitMs, int delayMs)
{
    m_protocol = std::make_unique<JobStatusProtocol>(userName, password, job);
    m_server = server;
    m_waitLimitMs = waitLimitMs;
    m_delay.start(qMax(0, delayMs));
}

void JobStatusCheck::connectNow()
{
    m_cmd.connectTo(m_server, ports::faxServer());
    m_replyTimer.start(m_waitLimitMs);
}

void JobStatusCheck::onData()
{
    if (m_finished || !m_protocol)
        return;
    if (!m_splitter.feed(m_cmd.getData())) {
        end(u"a reply longer than %1 bytes"_s.arg(ReplySplitter::MaxReply));
        return;
    }
    while (m_splitter.hasReply() && !m_finished) {
        const Reply reply = m_splitter.takeReply();
        log(reply.text);
        const QStringList commands = m_protocol->onReply(reply);
        for (const QString& command : commands)
            log(SubmissionProtocol::shownCommand(command));
        if (!commands.isEmpty())
            m_cmd.sendData(commandBytes(commands));
        if (m_protocol->done()) {
            end(QString());
            return;
        }
        m_replyTimer.start(m_waitLimitMs);
    }
}

void JobStatusCheck::end(const QString& why)
{
    if (m_finished || !m_protocol)
        return;
    m_finished = true;
    m_delay.stop();
    m_replyTimer.stop();
    m_protocol->fail(why);
    // The goodbye, when there was one, leaves before the connection closes.
    m_cmd.close();
    // From the event loop: the owner may delete this object in its handler.
    QMetaObject::invokeMethod(
        this, [this] { Q_EMIT finished(m_protocol->outcome(), m_protocol->detail()); }, Qt::QueuedConnection);
}

} // namespace kestrel
