#pragma once

#include "RuntimeFolder.h"

#include <QLocalServer>
#include <QObject>

namespace kestrel {

// One running program per user. The first start takes a lock file in the
// user's private runtime folder (flock: atomic, and released by the system
// when the process ends, however it ends) and only then listens on a local
// socket beside it; a later start that does not get the lock asks the
// holder, over that socket, to come to the front and leaves (two programs
// would fight over the capture port). No other user can make those names,
// and each side checks that the other runs as the same user before it
// trusts it.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    // How long a later start keeps asking a holder that is still starting
    // (it has the lock but does not listen yet).
    static constexpr int AskForMs = 10000;

    // key names the program (its lock file and socket).
    explicit SingleInstance(const QString& key, QObject* parent = nullptr);
    SingleInstance(const QString& key, const RuntimeFolder::Sources& sources, QObject* parent = nullptr);
    ~SingleInstance() override;

    // False when another instance of this user runs (it has been asked to
    // come forward when it answered). True otherwise: this one holds the
    // instance and listens, or, without a private folder, runs unguarded
    // rather than not at all.
    bool claim();
    bool isListening() const { return m_server.isListening(); }
    // The socket's full path; empty without a private folder.
    QString serverName() const { return m_name; }
    // The lock file's full path; empty without a private folder.
    QString lockName() const { return m_name.isEmpty() ? QString() : m_name + u".lock"; }

Q_SIGNALS:
    // A later start asked this instance to show itself.
    void activationRequested();

private:
    enum class Lock
    {
        Taken,
        Held, // by another process
        Unusable
    };
    Lock takeLock();
    bool askRunningInstance() const;
    void listen();

    QString m_name;
    QLocalServer m_server;
    int m_lockFd = -1;
};

} // namespace kestrel
