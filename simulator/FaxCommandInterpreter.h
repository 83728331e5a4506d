#pragma once

#include "FaultPlan.h"
#include "JobStore.h"
#include "SimulatorOptions.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace kestrel::simulator {

using namespace Qt::StringLiterals;

// The command side of one fax server session, without sockets: a command
// line in, replies out. Data transfers are left to the caller, which is told
// through Outcome::next what to do after sending the replies.
class FaxCommandInterpreter
{
public:
    enum class Next
    {
        Continue,
        OpenPassive, // open a data listener and answer 227 (or 425)
        Store,       // receive a file into /tmp/storeName over the data connection
        Close,       // close the command connection once the replies are out
    };

    struct Outcome
    {
        QList<QByteArray> replies;
        Next next = Next::Continue;
        QString storeName;       // Store: the file name under /tmp
        QString storePath;       // Store: the path as the client wrote it
        bool compressed = false; // Store: the data comes in the compressed mode
    };

    FaxCommandInterpreter(JobStore& store, const LoginPolicy& policy, FaultPlan& faults);
    // The session ends: the jobs it made and never submitted go, as on hfaxd.
    ~FaxCommandInterpreter();
    FaxCommandInterpreter(const FaxCommandInterpreter&) = delete;
    FaxCommandInterpreter& operator=(const FaxCommandInterpreter&) = delete;

    Outcome handle(const QByteArray& line);
    Outcome handleTooLong();

private:
    struct Command
    {
        QString line;     // the whole line, for error texts
        QString verb;     // upper case
        bool hasArgument; // a space followed the verb
        QString argument; // everything after that space
    };

    enum class ParameterKind
    {
        String,
        Number,
        Boolean,
        SendTime,
        Digits4,
        Digits6,
        Document
    };

    Outcome dispatch(const Command& command);
    Outcome user(const Command& command);
    Outcome pass(const Command& command);
    Outcome loginFailed();
    Outcome type(const Command& command);
    Outcome cwd(const Command& command);
    Outcome stor(const Command& command);
    Outcome jnew();
    Outcome jparm(const Command& command);
    Outcome setParameter(const Command& command, const QString& name, ParameterKind kind,
                         const QString& value);
    Outcome addDocument(const QString& path);
    Outcome queryParameter(const QString& name, ParameterKind kind) const;
    Outcome jobState() const;
    Outcome submittedJobState() const;
    // The current job's read-only parameters (STATE, STATUS, pages, tries,
    // dials), by their names.
    QList<QPair<QString, QString>> progress() const;
    Outcome job(const Command& command);
    Outcome mode(const Command& command);
    Outcome jkill(const Command& command);
    Outcome jsubm(const Command& command);
    Outcome size(const Command& command);

    JobRecord& currentJob() { return m_job ? *m_job : m_defaultJob; }
    const JobRecord& currentJob() const { return m_job ? *m_job : m_defaultJob; }
    QString currentJobName() const;
    QString resolve(const QString& path) const;
    static std::optional<ParameterKind> parameterKind(const QString& lowerName);

    JobStore& m_store;
    LoginPolicy m_policy;
    FaultPlan& m_faults;

    QString m_pendingUser;
    QString m_user;
    bool m_loggedIn = false;
    int m_loginFailures = 0;
    QString m_cwd = u"/"_s;

    JobRecord m_defaultJob;         // what JPARM changes before any JNEW
    std::optional<JobRecord> m_job; // the job made by the last JNEW
    bool m_jobSubmitted = false;
    bool m_jobOfAnotherSession = false; // selected by JOB, made and not submitted elsewhere
    QList<int> m_madeHere;              // the jobs this session made
    bool m_keepMade = false;            // drop-later-jsubm: the server's side of the session lives on
    int m_submittedInSession = 0;
    bool m_zipMode = false; // MODE Z
};

} // namespace kestrel::simulator
