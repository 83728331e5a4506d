#include "JobChanges.h"

#include "ClientTexts.h"

namespace kestrel {

JobChanges::JobChanges(FaxHistory& history, FaxStatusHost& host, const StatusTracker& tracker,
                       QObject* parent)
    : QObject(parent), m_history(history), m_host(host), m_tracker(tracker)
{
    connect(&m_host, &FaxStatusHost::jobActed, this, &JobChanges::onActed);
    connect(&m_host, &FaxStatusHost::actionsEnded, this, &JobChanges::onEnded);
}

bool JobChanges::canCancel(const FaxRecord& record)
{
    return !record.lost && (record.state == FaxState::Queued || record.state == FaxState::Sending);
}

bool JobChanges::canMove(const FaxRecord& record)
{
    return !record.lost && record.state == FaxState::Queued;
}

QString JobChanges::sendTimeProblem(const QDateTime& when, const QDateTime& now)
{
    // The server takes the minute: one already begun has passed.
    if (!when.isValid() || when < now)
        return texts::history::SendTimePast;
    if (when > now.addYears(1))
        return texts::history::SendTimeTooFar;
    return {};
}

bool JobChanges::cancel(int index)
{
    return start(index, true, {});
}

bool JobChanges::move(int index, const QDateTime& when)
{
    return start(index, false, when);
}

bool JobChanges::start(int index, bool cancelling, const QDateTime& when)
{
    if (m_open || index < 0 || index >= m_history.records().size())
        return false;
    const FaxRecord& record = m_history.records().at(index);
    if (cancelling ? !canCancel(record) : !canMove(record))
        return false;
    const StatusTracker::Server server = m_tracker.server();
    m_host.setServer(record.appliance, server.user, server.password);
    const bool started = cancelling ? m_host.cancelJobs({record.job}) : m_host.moveJob(record.job, when);
    if (!started)
        return false;
    m_open = true;
    m_reported = false;
    m_appliance = record.appliance;
    m_job = record.job;
    return true;
}

void JobChanges::onActed(const JobActionReport& report)
{
    if (!m_open || m_reported || report.job != m_job)
        return;
    m_reported = true;
    const int index = m_history.indexOf(m_appliance, m_job);
    const bool done = report.outcome == JobActionReport::Outcome::Done;
    QString message = report.reason;
    if (done && report.action == JobActionReport::Action::Cancel) {
        message = texts::history::cancelConfirmed(m_job);
        if (index >= 0) {
            JobUpdate update;
            update.state = FaxState::Cancelled;
            update.reason = QString();
            update.number = m_history.records().at(index).number;
            if (m_history.update(m_appliance, m_job, update, QString()).ended)
                Q_EMIT faxEnded(index);
        }
    } else if (done) {
        message = texts::history::moveConfirmed(m_job, report.sendTime.toLocalTime());
        if (index >= 0) {
            JobUpdate update;
            update.planned = report.sendTime;
            update.number = m_history.records().at(index).number;
            (void)m_history.update(m_appliance, m_job, update, QString()); // a move never ends a fax
        }
    }
    Q_EMIT changeEnded(m_history.indexOf(m_appliance, m_job), done, message);
}

void JobChanges::onEnded(const QString& error)
{
    if (!std::exchange(m_open, false) || m_reported)
        return;
    // The server was not reached, or went before it answered for the job.
    Q_EMIT changeEnded(
        m_history.indexOf(m_appliance, m_job), false,
        texts::history::changeNotDone(m_job, error.isEmpty() ? texts::history::NoReason : error));
}

} // namespace kestrel
