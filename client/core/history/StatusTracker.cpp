#include "StatusTracker.h"

#include "ApplianceJobPage.h"
#include "ClientTexts.h"
#include "OneShotTimer.h"

namespace kestrel {

StatusTracker::StatusTracker(FaxHistory& history, FaxStatusHost& host, OneShotTimer& timer, QObject* parent)
    : QObject(parent), m_history(history), m_host(host), m_timer(timer), m_server([] { return Server(); })
{
    connect(&m_host, &FaxStatusHost::jobReported, this, &StatusTracker::onReport);
    connect(&m_host, &FaxStatusHost::queryEnded, this, &StatusTracker::onQueryEnded);
}

StatusTracker::~StatusTracker()
{
    m_timer.stop();
}

void StatusTracker::wake()
{
    // An open question asks again when it ends, a running interval when it
    // runs out.
    if (m_host.isAsking() || m_timer.isActive())
        return;
    ask();
}

void StatusTracker::ask()
{
    const Server server = m_server();
    const QStringList jobs = m_history.trackedJobs(server.address);
    if (jobs.isEmpty())
        return;
    m_host.setServer(server.address, server.user, server.password);
    m_askedAppliance = server.address;
    // Running before the question goes out: a query that answered at once
    // would otherwise ask again from inside this one.
    m_timer.start(m_intervalMs, [this] { wake(); });
    if (!m_host.ask(jobs))
        m_timer.stop();
}

void StatusTracker::onReport(const JobReport& report)
{
    // The answers of one question go to the file together.
    if (!m_answers)
        m_answers.emplace(m_history);
    apply(m_askedAppliance, report.job, JobUpdate::fromReport(report));
}

void StatusTracker::onQueryEnded()
{
    m_answers.reset();
    // The question outlasted the interval: the next one is due now.
    wake();
}

void StatusTracker::takePendingPage(const QString& xml)
{
    takePage(xml, false);
}

void StatusTracker::takeFinishedPage(const QString& xml)
{
    takePage(xml, true);
}

void StatusTracker::takePage(const QString& xml, bool finished)
{
    const QString appliance = m_server().address;
    const QList<ApplianceJobPage::Job> jobs = ApplianceJobPage::parse(xml);
    FaxHistory::Batch batch(m_history);
    for (const ApplianceJobPage::Job& job : jobs) {
        if (m_history.indexOf(appliance, job.job) >= 0)
            apply(appliance, job.job, JobUpdate::fromPageState(job.state, finished));
    }
}

void StatusTracker::apply(const QString& appliance, const QString& job, const JobUpdate& update)
{
    const JobChange change = m_history.update(appliance, job, update, texts::history::NotOnServer);
    if (change.ended)
        Q_EMIT faxEnded(m_history.indexOf(appliance, job));
}

} // namespace kestrel
