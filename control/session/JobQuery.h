#pragma once

#include "JobSessionProtocol.h"
#include "Logger.h"
#include "ReplySplitter.h"
#include "SocketComponent.h"

#include <QObject>
#include <QTimer>

#include <memory>

namespace kestrel {

// The connection of a JobSessionProtocol (by default a JobQueryProtocol):
// one short session with the fax server about several jobs, every reply awaited within the time limit.
// Each report, then finished() once, come from the event loop, in order,
// never from inside a call of the owner's: the owner may delete this object
// in its handlers (with deleteLater(): the signal is still on its way out).
class JobQuery : public QObject
{
    Q_OBJECT
public:
    explicit JobQuery(QObject* parent = nullptr);

    void setLogger(Logger logger) { m_log = std::move(logger); }
    void start(const QString& server, const QString& userName, const QString& password,
               const QStringList& jobs, int waitLimitMs);
    // Any other session about jobs (changing them): its reports come as
    // acted().
    void start(const QString& server, std::unique_ptr<JobSessionProtocol> protocol, int waitLimitMs);
    // Ends the session at once, saying nothing more to anyone.
    void stop();

Q_SIGNALS:
    void reported(const kestrel::JobReport& report);
    void acted(const kestrel::JobActionReport& report);
    // error: empty, or why some or all of the jobs were not asked about.
    void finished(const QString& error);

private:
    void onData();
    void passOnReports();
    void end(const QString& why, const QString& logged);
    void log(const QString& line) const;
    QString trouble(JobSessionProtocol::Trouble trouble) const;
    void startAgain();

    SocketComponent m_cmd;
    ReplySplitter m_splitter;
    std::unique_ptr<JobSessionProtocol> m_protocol;
    Logger m_log;
    QString m_server;
    int m_waitLimitMs = 60000;
    QTimer m_replyTimer;
    bool m_finished = false;
    bool m_stopped = false;
    bool m_pausing = false; // between two connections of one session
};

} // namespace kestrel
