#include "StatusTracker.h"

#include "ApplianceJobPage.h"
#include "ClientTexts.h"
#include "Corvanefax.h"
#include "OneShotTimer.h"

namespace kestrel {
namespace {

QString keyOf(const QString& appliance, const QString& job)
{
    return appliance + u'\n' + job;
}

} // namespace

StatusTracker::StatusTracker(FaxHistory& history, FaxStatusHost& host, OneShotTimer& timer, QObject* parent)
    : QObject(parent), m_history(history), m_host(host), m_timer(timer), m_server([] { return Server(); }),
      m_poll(host, DefaultIntervalMs, LongestWaitMs)
{
    connect(&m_poll, &FaxStatusPoll::jobReported, this, &StatusTracker::onReport);
    connect(&m_poll, &FaxStatusPoll::queryEnded, this, &StatusTracker::onQueryEnded);
}

StatusTracker::~StatusTracker()
{
    m_timer.stop();
}

void StatusTracker::wake()
{
    settleForgotten();
    // An open question asks again when it ends, a running interval when it
    // runs out.
    if (m_poll.isAsking() || m_timer.isActive())
        return;
    ask();
}

void StatusTracker::settleForgotten()
{
    // Faxes a version before this one marked as no longer known to the
    // server, in the state they had then.
    if (std::exchange(m_forgottenSettled, true))
        return;
    JobUpdate forgotten;
    forgotten.unknownToServer = true;
    const QList<FaxRecord>& records = m_history.records();
    std::optional<FaxHistory::Batch> batch;
    for (int i = 0; i < records.size(); ++i) {
        const FaxRecord& record = records.at(i);
        if (record.lost && !record.isFinished() && record.state != FaxState::ToCheck &&
            m_history.indexOf(record.appliance, record.job) == i) {
            if (!batch)
                batch.emplace(m_history);
            m_history.update(record.appliance, record.job, forgotten, record.reason);
        }
    }
}

void StatusTracker::ask()
{
    const Server server = m_server();
    if (m_refused && *m_refused == server)
        return;
    m_refused.reset();
    const QStringList jobs = m_history.trackedJobs(server.address);
    if (jobs.isEmpty())
        return;
    m_host.setServer(server.address, server.user, server.password);
    m_asked = server;
    // Running before the question goes out: a query that answered at once
    // would otherwise ask again from inside this one.
    m_timer.start(m_poll.waitMs(), [this] { wake(); });
    if (!m_poll.ask(jobs))
        m_timer.stop();
}

void StatusTracker::onReport(const JobReport& report)
{
    // The answers of one question go to the file together.
    if (!m_answers)
        m_answers.emplace(m_history);
    m_listed.insert(keyOf(m_asked.address, report.job));
    apply(m_asked.address, report.job, JobUpdate::fromReport(report));
}

void StatusTracker::onQueryEnded(const QString& error)
{
    m_answers.reset();
    if (error.isEmpty()) {
        m_poll.resetWait();
        setNote(QString());
        // The question outlasted the interval: the next one is due now.
        wake();
        return;
    }
    if (error == LoginRefused) {
        m_refused = m_asked;
        m_timer.stop();
        setNote(texts::history::loginRefusedNote(error));
        return;
    }
    // The server away or not answering: asked less and less often.
    const int waitMs = m_poll.lengthenWait();
    m_timer.start(waitMs, [this] { wake(); });
    setNote(texts::history::serverAway(error, (waitMs + 59999) / 60000));
}

void StatusTracker::settingsChanged()
{
    m_refused.reset();
    m_poll.resetWait();
    if (!m_poll.isAsking()) {
        m_timer.stop();
        ask();
    }
}

void StatusTracker::setNote(const QString& note)
{
    if (note == m_note)
        return;
    m_note = note;
    Q_EMIT serverNoteChanged(m_note);
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
    const Server server = m_server();
    const QList<ApplianceJobPage::Job> jobs = ApplianceJobPage::parse(xml);
    FaxHistory::Batch batch(m_history);
    for (const ApplianceJobPage::Job& job : jobs) {
        // The server's listing has spoken of it: it alone tells on.
        if (m_history.indexOf(server.address, job.job) >= 0 &&
            !m_listed.contains(keyOf(server.address, job.job)))
            apply(server.address, job.job, JobUpdate::fromPage(job, finished, server.user));
    }
}

void StatusTracker::apply(const QString& appliance, const QString& job, const JobUpdate& update)
{
    const JobChange change = m_history.update(appliance, job, update, texts::history::NotOnServer);
    if (change.ended)
        Q_EMIT faxEnded(m_history.indexOf(appliance, job));
}

} // namespace kestrel
