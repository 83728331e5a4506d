#pragma once

#include "FaxStatusHost.h"

#include <QObject>

namespace kestrel {

// What every program that follows jobs on the fax server does alike: one
// question at a time about some jobs, through the job status query a
// FaxStatusHost holds, and the wait before the next question, which starts
// at the shortest and doubles, up to the longest. When to ask is the
// caller's: it runs the timer, with waitMs(). Which reports to believe is
// the caller's too: the history takes any the query gives for the
// appliance asked, corvafax-send only those of the jobs it waits for.
//
// Signals are the host's, passed on; a handler may ask again from
// queryEnded.
class FaxStatusPoll : public QObject
{
    Q_OBJECT
public:
    FaxStatusPoll(FaxStatusHost& host, int shortestMs, int longestMs, QObject* parent = nullptr);

    // One question about these jobs; false when none could start (no
    // query, one still open, no jobs).
    bool ask(const QStringList& jobs) { return m_host.ask(jobs); }
    bool isAsking() const { return m_host.isAsking(); }

    int waitMs() const { return m_waitMs; }
    // Twice the wait, at most the longest; returns it.
    int lengthenWait();
    void resetWait() { m_waitMs = m_shortestMs; }
    // Another shortest wait, in force at once.
    void setShortestMs(int ms);

Q_SIGNALS:
    void jobReported(const kestrel::JobReport& report);
    void queryEnded(const QString& error);

private:
    FaxStatusHost& m_host;
    int m_shortestMs;
    int m_longestMs;
    int m_waitMs;
};

} // namespace kestrel
