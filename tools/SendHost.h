#pragma once

#include "CorvanefaxHost.h"
#include "OutcomeWaiter.h"
#include "SendOptions.h"
#include "SignalWatcher.h"

#include <QObject>
#include <QStringList>

namespace kestrel {

// Sends the documents to every number with one SendFax: one session, one
// upload, one job per number. Prints each job number as the fax server
// accepts it; reports the numbers whose fax did not go. With wait, it then
// waits for the outcome of the jobs (OutcomeWaiter).
class SendHost : public QObject
{
    Q_OBJECT
public:
    SendHost(CorvanefaxHost& host, SendRequest request);

    // Activates the control and starts the submission. The host is done
    // when finished() is emitted: 0 when every job was accepted (with wait:
    // and sent), else an OutcomeWaiter::Verdict.
    void start();
    // Ctrl-C: a wait for outcomes ends now.
    void interrupt();

Q_SIGNALS:
    void finished(int exitCode);

private:
    void onSubmitted(const QString& jobNumber);
    void onOutcomeUnknown(const QString& jobNumber);
    void onMessage(const QString& message);
    void onFailed(const QString& reason);
    void submitted(int exitCode);
    void finish(int exitCode);

    CorvanefaxHost& m_host;
    SendRequest m_request;
    QStringList m_jobs;       // every job made, accepted or not known to be
    bool m_unsettled = false; // a job was made whose acceptance is not known
    bool m_submitted = false;
    std::unique_ptr<OutcomeWaiter> m_waiter;
    std::unique_ptr<SignalWatcher> m_signals;
    bool m_offline = false;
    bool m_finished = false;
};

} // namespace kestrel
