#pragma once

#include "ControlTexts.h"
#include "FaxStatus.h"
#include "ReplySplitter.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace kestrel {

// One short session with the fax server about jobs already submitted,
// without sockets: a reply in, the commands to send out (JobQuery carries
// it). The session ends with "QUIT": asked() once it went out, done() once
// the server answered it.
class JobSessionProtocol
{
public:
    // Why the connection could not serve the session, for trouble().
    enum class Trouble
    {
        Unreachable, // no connection to the server
        NoReply,     // a reply did not come in time
        Dropped,     // the server closed the connection
        TooLong,     // a reply was too long
    };

    virtual ~JobSessionProtocol() = default;

    // The commands the reply calls for.
    virtual QStringList onReply(const Reply& reply) = 0;
    // The connection failed or a reply did not come: the jobs not dealt
    // with yet stay so, for this reason.
    virtual void fail(const QString& why) = 0;
    virtual bool asked() const = 0;
    virtual bool done() const = 0;
    virtual bool greeted() const = 0;
    // Empty when every job was dealt with.
    virtual QString error() const = 0;
    // The trouble in the user's words, for a session with server.
    virtual QString trouble(Trouble trouble, const QString& server) const = 0;

    // The session is over and asks to be made again in a new connection,
    // a little later (the server's view of a job in this session was older
    // than the job); restart() then begins it anew.
    virtual bool wantsNewSession() const { return false; }
    virtual void restart() {}

    // What the session learnt since the last call: listings, changes.
    virtual QList<JobReport> takeReports() { return {}; }
    virtual QList<JobActionReport> takeActions() { return {}; }
};

// What a reply during the login calls for.
struct LoginAnswer
{
    QStringList commands;  // to send next
    bool loggedIn = false; // the server took the user: the session's own commands follow
    QString problem;       // the login failed, why: the session gives up
};

// The login every job session opens with: the greeting, the user, and the
// password when the server asks for one. step is the session's own step,
// moved from Greeting through User to Pass; unexpected is what to say of a
// reply that fits none of them.
template <typename Step>
LoginAnswer answerLogin(Step& step, const Reply& reply, const QString& user, const QString& password,
                        const QString& unexpected)
{
    switch (step) {
    case Step::Greeting:
        if (reply.code != 220)
            return {{}, false, unexpected};
        step = Step::User;
        return {{QStringLiteral("USER ") + user}, false, {}};
    case Step::User:
        if (reply.code == 331) {
            step = Step::Pass;
            return {{QStringLiteral("PASS ") + password}, false, {}};
        }
        [[fallthrough]];
    default:
        if (reply.code == 530)
            return {{}, false, texts::loginRefused()};
        if (reply.code != 230)
            return {{}, false, unexpected};
        return {{}, true, {}};
    }
}

} // namespace kestrel
