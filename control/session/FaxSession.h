#pragma once

#include "DataChannel.h"
#include "JobQuery.h"
#include "Logger.h"
#include "MessageBox.h"
#include "ReplySplitter.h"
#include "SocketComponent.h"
#include "SubmissionProtocol.h"

#include <QObject>
#include <QTimer>
#include <QVariant>

#include <functional>
#include <memory>
#include <optional>

namespace kestrel {

// What the session needs from the control that runs it.
class SessionHost
{
public:
    virtual ~SessionHost() = default;
    virtual void sessionFaxSubmitted(const QString& jobNumber, const QString& sentFiles) = 0;
    virtual void sessionMessage(const QString& text) = 0;
    virtual void sessionMessageBox(const MessageBoxRequest& request) = 0;
};

// The sockets, timers and waits of a submission (sCmd and the data
// connection); SubmissionProtocol decides what each reply means. Every wait
// is bounded by one limit, and a failure ends the session, closes both
// connections and tells the host.
class FaxSession : public QObject
{
    Q_OBJECT
public:
    static constexpr int DefaultWaitLimitMs = 60000;
    // Before a job whose answer never came is asked about: the server may
    // still be taking in the "jsubm" of the session that was lost.
    static constexpr int SettleDelayMs = 1000;
    // Before such a job, found created but not submitted, is asked about
    // once more: a "jsubm" the server was still taking in would show by then.
    static constexpr int RecheckDelayMs = 2000;

    explicit FaxSession(SessionHost& host, QObject* parent = nullptr);

    void setLogger(Logger logger);
    // The longest the session waits for the greeting, for any reply, or for
    // a transfer to move.
    void setWaitLimitMs(int ms) { m_waitLimitMs = ms; }
    int waitLimitMs() const { return m_waitLimitMs; }

    // Starts a submission on the fax server at `server`. Any session in
    // progress is dropped first and never submitted. Returns "OnRun" once the
    // server greeted and the user name went out, an invalid variant when the
    // session did not start (the host has been told why) or was replaced by
    // another start meanwhile.
    QVariant start(const QString& server, Submission submission);
    // The close-down. A host that calls it itself gets the pause before the
    // command connection is looked at; after a confirmed job there is none.
    void chiuditutto(bool calledByHost = true);
    // The control that ran the session is gone: whatever was under way ends
    // without a word, and nothing reaches the host any more.
    void retire();

    SocketComponent& sCmd() { return m_cmd; }
    DataChannel& data() { return m_data; }
    bool isActive() const { return m_active; }

private:
    void onCommandData();
    void execute(const ProtocolStep& step);
    void send(const QStringList& commands);
    void startUpload(int file);
    void onFileSent();
    void armReplyTimer();
    // Closes both connections and stops the timers; whatever was under way
    // is dropped.
    void endSession();
    void finish();
    void abandon(const QString& why, const QString& message);
    // The session failed after "jsubm" went out and before its answer: the
    // server is asked whether it queued the job, and the host is told.
    // failure: what the user reads of the session's end.
    void settle(const QString& job, const QString& why, const QString& failure);
    void askAboutUnsettled(int delayMs);
    void onSettled(const QString& error);
    void loginRefused();
    void log(const QString& line) const;

    SessionHost* m_host;
    Logger m_log;
    int m_waitLimitMs = DefaultWaitLimitMs;
    SocketComponent m_cmd;
    DataChannel m_data;
    ReplySplitter m_splitter;
    std::unique_ptr<SubmissionProtocol> m_protocol;
    QString m_server;
    QTimer m_replyTimer;
    // The job being settled after a lost answer, and what to report of it.
    struct Unsettled
    {
        QString job;
        QString number;
        QString fileName;
        int numbersLeft = 0;
        QString failure; // what the user reads of the session's end
        QString user;
        QString password;
        // The server's listing of the job, once it answered about it.
        std::optional<JobReport> report;
        bool rechecked = false; // found created only, and asked once more
    };
    std::unique_ptr<JobQuery> m_check;
    Unsettled m_unsettled;
    QTimer m_stallTimer;
    bool m_active = false;
    // Changes whenever a session starts or ends: code that ran the host's
    // handlers, or waited, checks it before going on with its own session.
    quint64 m_generation = 0;
};

} // namespace kestrel
