#pragma once

#include "SimulatorOptions.h"

#include <QHostAddress>
#include <QObject>
#include <QTcpServer>

namespace kestrel::simulator {

class FaultPlan;
class JobStore;

// Accepts command connections and gives each its own session.
class FaxServer : public QObject
{
    Q_OBJECT
public:
    FaxServer(JobStore& store, FaultPlan& faults, const LoginPolicy& login, QObject* parent = nullptr);

    bool listen(const QHostAddress& address, quint16 port, QString* error);
    quint16 port() const { return m_server.serverPort(); }

private:
    void onNewConnection();

    QTcpServer m_server;
    JobStore& m_store;
    FaultPlan& m_faults;
    LoginPolicy m_login;
    QString m_hostName;
};

} // namespace kestrel::simulator
