#pragma once

#include <QLocalServer>
#include <QObject>

namespace kestrel {

// One running program per user: the first start listens on a local socket
// named after the user; a later start finds it, asks it to come to the
// front and leaves (two programs would fight over the capture port).
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    // key names the program; the user's id is added to it.
    explicit SingleInstance(const QString& key, QObject* parent = nullptr);

    // True when this is the only instance (it now answers later starts);
    // false when another one runs and has been asked to come forward.
    bool claim();
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
