#pragma once

#include <QString>
#include <QStringList>

namespace kestrel::simulator {

// Scripted misbehaviour, chosen on the command line, so the client's tests can
// reproduce each failure deterministically.
enum class Fault : unsigned
{
    RefuseLogin,       // every login attempt gets 530
    NoGreeting,        // accept, then stay silent forever
    GreetAfter130,     // two 130 warnings before the greeting
    MultilineGreeting, // greeting as 220- lines followed by 220
    MergeReplies,      // replies to one read leave in one write
    ByteByByte,        // replies leave one byte per write
    DropUpload,        // the first upload is cut and both connections dropped
    RefuseStor,        // STOR gets 550
    RefuseJsubm,       // jsubm gets 460
    RefuseLaterJsubm,  // every jsubm of a session after its first gets 460
    No150,             // STOR accepted silently, transfer never opened
    CutData,           // the first upload's data connection is cut: 426, the session goes on
    Unasked227,        // after login, a passive reply every millisecond, unasked
    EndlessGreeting,   // "220-" lines that never end
    PasvElsewhere,     // the passive reply names an address where nobody listens
    SlowGreeting,      // the greeting comes after half a second
    CutAfterJsubm,     // jsubm queues the job, then the connection closes without a reply
    SilentAfterJsubm,  // jsubm queues the job and is never answered
    LoseJsubm,         // jsubm is dropped unanswered and the connection closes: no job
    CloseAfterJsubm,   // jsubm is answered, then the connection closes
    DropLaterJsubm,    // a later jsubm of a session is dropped and the client cut; its job stays made
    Keep1000,          // an upload is confirmed, but only its first 1,000 bytes are stored
    StoreCompressed,   // a compressed upload is stored as it came, not inflated
    DropTail,          // the last bytes of an upload's stream are dropped, the transfer confirmed
    SizeUnknown,       // SIZE is not a command this server knows
};

enum class HttpFault : unsigned
{
    NoClosingTag,    // pages lack their closing tag
    UpperClosingTag, // closing tags in upper case
    NoAnswer,        // connections accepted, never answered
    HttpRefuse,      // no HTTP listener at all
};

class FaultPlan
{
public:
    // False for an unknown name.
    bool add(const QString& name);
    bool addHttp(const QString& name);

    bool has(Fault fault) const { return m_faults & bit(fault); }
    // cut-after-command-N: the connection closes once the N-th command of a
    // session (USER is the first) is answered; 0: never.
    int cutAfterCommand() const { return m_cutAfterCommand; }
    bool has(HttpFault fault) const { return m_httpFaults & bit(fault); }

    // drop-upload hits only the first upload this server sees, so a test can
    // check that the client recovers on its next attempt.
    bool claimUploadDrop();
    // cut-data, likewise, hits the first upload only.
    bool claimDataCut();

    static QStringList faultNames();
    static QStringList httpFaultNames();

private:
    template <typename E> static unsigned bit(E e) { return 1u << static_cast<unsigned>(e); }

    unsigned m_faults = 0;
    unsigned m_httpFaults = 0;
    int m_cutAfterCommand = 0;
    bool m_uploadDropped = false;
    bool m_dataCut = false;
};

} // namespace kestrel::simulator
