#pragma once

#include "RuntimeFolder.h"

#include <QLocalServer>
#include <QObject>

namespace kestrel {

// One running program per user: the first start listens on a local socket
// in the user's private runtime folder; a later start finds it, asks it to
// come to the front and leaves (two programs would fight over the capture
// port). No other user can make that name, and each side checks that the
// other runs as the same user before it trusts it.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    // key names the program (and its socket).
    explicit SingleInstance(const QString& key, QObject* parent = nullptr);
    SingleInstance(const QString& key, const RuntimeFolder::Sources& sources, QObject* parent = nullptr);

    // False when another instance of this user runs and has been asked to
    // come forward. True otherwise: this one runs, and answers later starts
    // when it could listen (without a private folder it cannot, and runs
    // unguarded rather than not at all).
    bool claim();
    bool isListening() const { return m_server.isListening(); }
    // The socket's full path; empty without a private folder.
    QString serverName() const { return m_name; }

Q_SIGNALS:
    // A later start asked this instance to show itself.
    void activationRequested();

private:
    bool askRunningInstance() const;

    QString m_name;
    QLocalServer m_server;
};

} // namespace kestrel
