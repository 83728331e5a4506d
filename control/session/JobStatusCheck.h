#pragma once

#include "JobStatusProtocol.h"
#include "ReplySplitter.h"
#include "SocketComponent.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

namespace kestrel {

// The connection of a JobStatusProtocol: one short session with the fax
// server that asks about one job, every reply awaited within the time limit.
// finished() comes once, from the event loop, whatever happens.
class JobStatusCheck : public QObject
{
    Q_OBJECT
public:
    explicit JobStatusCheck(QObject* parent = nullptr);

    void setLogger(std::function<void(const QString&)> logger) { m_log = std::move(logger); }
    // Connects to the server after delayMs (the server may still be taking
    // in what the session before this one sent) and asks about job.
    void start(const QString& server, const QString& userName, const QString& password, const QString& job,
               int waitLimitMs, int delayMs);

Q_SIGNALS:
    void finished(kestrel::JobStatusProtocol::Outcome outcome, const QString& detail);

private:
    void connectNow();
    void onData();
    void end(const QString& why);
    void log(const QString& line) const;

    SocketComponent m_cmd;
    ReplySplitter m_splitter;
    std::unique_ptr<JobStatusProtocol> m_protocol;
    std::function<void(const QString&)> m_log;
    QString m_server;
    int m_waitLimitMs = 60000;
    QTimer m_delay;
    QTimer m_replyTimer;
    bool m_finished = false;
};

} // namespace kestrel
