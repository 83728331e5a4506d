#include "OutcomeWaiter.h"

#include "ServerReasons.h"

#include <cstdio>

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

void printLine(std::FILE* stream, const QString& text)
{
    QString line = text;
    line.replace(u'\r', u' ').replace(u'\n', u' ');
    std::fprintf(stream, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stream);
}

// The server's reason in Italian, its own text after it for whoever looks
// it up; a text the table does not know as it came.
QString reasonShown(const QString& reason)
{
    const std::optional<QString> italian = serverReasons::known(reason);
    return italian ? u"%1 (%2)"_s.arg(*italian, reason) : reason;
}

// The line that tells how a job ended; empty while it has not.
QString endOf(const JobReport& report)
{
    switch (report.state) {
    case JobReport::State::Sent:
        return u"%1 inviato"_s.arg(report.job);
    case JobReport::State::Failed:
        return report.reason.isEmpty() ? u"%1 non riuscito"_s.arg(report.job)
                                       : u"%1 non riuscito: %2"_s.arg(report.job, reasonShown(report.reason));
    case JobReport::State::Cancelled:
        return u"%1 annullato"_s.arg(report.job);
    case JobReport::State::Unknown:
        return u"%1 non trovato sul server fax"_s.arg(report.job);
    case JobReport::State::Queued:
    case JobReport::State::Sending:
        break;
    }
    return {};
}

} // namespace

OutcomeWaiter::OutcomeWaiter(QObject* parent) : QObject(parent)
{
    m_next.setSingleShot(true);
    m_limit.setSingleShot(true);
    connect(&m_next, &QTimer::timeout, this, &OutcomeWaiter::ask);
    connect(&m_limit, &QTimer::timeout, this, &OutcomeWaiter::stop);
    connect(&m_poll, &FaxStatusPoll::jobReported, this, &OutcomeWaiter::onReport);
    connect(&m_poll, &FaxStatusPoll::queryEnded, this, &OutcomeWaiter::onQueryEnded);
}

OutcomeWaiter::~OutcomeWaiter() = default;

Status OutcomeWaiter::create()
{
    return m_host.create();
}

void OutcomeWaiter::setServer(const QString& address, const QString& userName, const QString& password)
{
    m_host.setServer(address, userName, password);
}

void OutcomeWaiter::start(const QStringList& jobs)
{
    m_pending = jobs;
    if (m_pending.isEmpty() || !m_host.isCreated()) {
        m_anyNotSent = m_anyNotSent || !m_host.isCreated();
        finish();
        return;
    }
    m_host.setWaitLimitMs(m_replyLimitMs);
    if (m_overallLimitMs > 0)
        m_limit.start(std::chrono::milliseconds(m_overallLimitMs));
    m_next.start(m_poll.waitMs());
}

void OutcomeWaiter::ask()
{
    if (m_finished)
        return;
    if (!m_poll.ask(m_pending)) {
        m_next.start(m_poll.waitMs());
        return;
    }
    m_poll.lengthenWait();
}

void OutcomeWaiter::onReport(const JobReport& report)
{
    const QString line = endOf(report);
    if (line.isEmpty() || !m_pending.removeOne(report.job))
        return;
    if (report.state != JobReport::State::Sent)
        m_anyNotSent = true;
    printLine(stdout, line);
}

void OutcomeWaiter::onQueryEnded(const QString& error)
{
    // A server that does not answer for a while is said once, not at every
    // question.
    if (!error.isEmpty() && error != m_lastError)
        printLine(stderr, u"corvafax-send: "_s + error);
    m_lastError = error;
    if (m_pending.isEmpty())
        finish();
    else if (!m_finished)
        m_next.start(m_poll.waitMs());
}

void OutcomeWaiter::stop()
{
    if (m_finished)
        return;
    if (!m_pending.isEmpty())
        printLine(stderr, u"corvafax-send: esito non ancora noto: "_s + m_pending.join(u", "_s));
    finish();
}

void OutcomeWaiter::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    m_next.stop();
    m_limit.stop();
    const int verdict = m_anyNotSent ? NotAllSent : m_pending.isEmpty() ? AllSent : StillPending;
    // Once the status query's event, if one is on its way out, has left.
    QTimer::singleShot(0, this, [this, verdict] { Q_EMIT finished(verdict); });
}

} // namespace kestrel
