#pragma once

#include "Expected.h"
#include "FaxStatusHost.h"
#include "FaxStatusPoll.h"

#include <QObject>
#include <QStringList>
#include <QTimer>

namespace kestrel {

// Waits for the outcome of jobs already submitted: asks the fax server
// about those not ended yet, through the control library's job status
// query (a FaxStatusPoll, as the client asks), a second after starting and
// then every few seconds, and prints each job on standard output as it
// ends ("<job> inviato", "<job> non riuscito: <reason>", "<job>
// annullato"; a reason the server's reasons know reads in Italian, the
// server's own text in brackets). Ends when every job has ended, when the
// overall limit passes, or on stop().
class OutcomeWaiter : public QObject
{
    Q_OBJECT
public:
    // How finished() ends the wait.
    enum Verdict
    {
        AllSent = 0,
        NotAllSent = 1,   // a job failed, was cancelled or is unknown to the server
        StillPending = 3, // the wait ended first; none had failed
    };

    static constexpr int FirstAskMs = 1000;
    static constexpr int LongestIntervalMs = 5000;

    explicit OutcomeWaiter(QObject* parent = nullptr);
    ~OutcomeWaiter() override;

    // Makes the status query through the component registry.
    Status create();
    void setServer(const QString& address, const QString& userName, const QString& password);
    void setReplyLimitMs(int ms) { m_replyLimitMs = ms; }
    // 0: no limit.
    void setOverallLimitMs(qint64 ms) { m_overallLimitMs = ms; }

    void start(const QStringList& jobs);
    // Ends the wait now (Ctrl-C): the jobs not ended yet are named.
    void stop();

Q_SIGNALS:
    void finished(int verdict);

private:
    void onReport(const JobReport& report);
    void onQueryEnded(const QString& error);

    void ask();
    void finish();

    FaxStatusHost m_host;
    FaxStatusPoll m_poll{m_host, FirstAskMs, LongestIntervalMs};
    QStringList m_pending;
    bool m_anyNotSent = false;
    bool m_finished = false;
    QString m_lastError;
    int m_replyLimitMs = 60000;
    qint64 m_overallLimitMs = 0;
    QTimer m_next;
    QTimer m_limit;
};

} // namespace kestrel
