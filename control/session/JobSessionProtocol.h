#pragma once

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

} // namespace kestrel
