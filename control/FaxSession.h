#pragma once

#include "DataChannel.h"
#include "MessageBox.h"
#include "ReplySplitter.h"
#include "SocketComponent.h"

#include <QObject>
#include <QQueue>
#include <QTimer>
#include <QVariant>

namespace kestrel {

struct MethodError;

// What the session needs from the control that runs it.
class SessionHost
{
public:
    virtual ~SessionHost() = default;
    virtual void sessionFaxSubmitted(const QString& jobNumber, const QString& sentFiles) = 0;
    virtual void sessionMessage(const QString& text) = 0;
    virtual IMessageBox& sessionMessageBox() = 0;
};

// Time limits of the session's waits, in milliseconds.
struct SessionLimits
{
    int greeting = 30000;
    int reply = 60000;
    int transferStart = 60000;
    int transferStall = 60000;

    // KESTREL_WAIT_SECONDS, when set, replaces every limit.
    static SessionLimits fromEnvironment();
};

// One job submission on the command connection (sCmd) and the data
// connection: log in, create the job, set its parameters, upload every file,
// submit. Replies are split into lines and handled one at a time; every wait
// is bounded, and a failure ends the session and tells the host.
class FaxSession : public QObject
{
    Q_OBJECT
public:
    explicit FaxSession(SessionHost& host, QObject* parent = nullptr);

    // Runs a submission with the fields already stored in the control state.
    // Returns "OnRun" once the greeting arrived and the user name was sent.
    QVariant start();
    // The close-down. A host that calls it itself gets the pause before the
    // command connection is looked at; after a confirmed job there is none.
    void chiuditutto(bool calledByHost = true);

    SocketComponent& sCmd() { return m_cmd; }
    DataChannel& data() { return m_data; }
    void setLimits(const SessionLimits& limits) { m_limits = limits; }
    const SessionLimits& limits() const { return m_limits; }

private:
    enum class Phase
    {
        Idle,
        Connecting,
        Running,
        Uploading,
        Submitting,
        Submitted,
        Failed
    };

    struct Pending
    {
        QString command;
        bool mayBeRefused = false; // a refusal is logged, the job goes on
    };

    void onCommandData();
    void handleReply(const Reply& reply);
    void send(const QStringList& commands);
    void OpenDataConnection(const QString& reply);
    void UploadFile(const QString& path, const QString& name);
    void onSendComplete();
    void abandon(const QString& why, const QString& message);
    void loginRefused();
    void restartReplyTimer();

    SessionHost& m_host;
    SessionLimits m_limits;
    SocketComponent m_cmd;
    DataChannel m_data;
    ReplySplitter m_splitter;
    QQueue<Pending> m_pending;
    QTimer m_replyTimer;
    QTimer m_stallTimer;
    Phase m_phase = Phase::Idle;
    quint64 m_generation = 0;
};

} // namespace kestrel
