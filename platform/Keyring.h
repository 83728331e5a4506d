#pragma once

#include <QObject>
#include <QString>

#include <functional>

namespace kestrel {

// The desktop's secret store (the Secret Service on the session bus), where
// the appliance password is kept under the program's service name and
// "user@address". Every call is asynchronous: the answer comes later from
// the event loop, never inside the call, so it may arrive inside any nested
// wait. A locked store asks for its password through the desktop's own
// prompt meanwhile.
namespace keyring {

using namespace Qt::StringLiterals;

inline const QString Service = u"corvafax"_s;

// The entry of a login: "user@address".
QString keyOf(const QString& user, const QString& address);

struct Answer
{
    enum class Kind
    {
        Done,        // read: found (password holds it); write: stored
        NotFound,    // read: the store answered and holds no such entry
        Unavailable, // no store on the bus, refused, locked and not opened, or no answer in time
    };
    Kind kind = Kind::Unavailable;
    QString password;
    QString reason; // with Unavailable: the store's words, for a log or a message
};

using Handler = std::function<void(const Answer&)>;

// Starts a read or a write. handler runs once, later, on receiver's thread;
// not at all when receiver is gone by then. A request the store never
// answers stays pending (its job frees itself if an answer ever comes):
// callers that cannot wait forever keep their own limit.
void read(const QString& key, QObject* receiver, Handler handler);
void write(const QString& key, const QString& password, QObject* receiver, Handler handler);

// For a program without windows: reads and waits, nested, at most limitMs
// (Unavailable, saying so, when the store has not answered by then).
Answer readWaiting(const QString& key, int limitMs);

} // namespace keyring

} // namespace kestrel
