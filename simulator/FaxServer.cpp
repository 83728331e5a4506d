#include "FaxServer.h"

#include "FaxServerSession.h"

#include <QSysInfo>
#include <QTcpSocket>

namespace kestrel::simulator {

FaxServer::FaxServer(JobStore& store, FaultPlan& faults, const LoginPolicy& login, QObject* parent)
    : QObject(parent), m_store(store), m_faults(faults), m_login(login),
      m_hostName(QSysInfo::machineHostName())
{
    connect(&m_server, &QTcpServer::newConnection, this, &FaxServer::onNewConnection);
}

bool FaxServer::listen(const QHostAddress& address, quint16 port, QString* error)
{
    if (m_server.listen(address, port))
        return true;
    *error = m_server.errorString();
    return false;
}

void FaxServer::onNewConnection()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        // Replies go out as written; no waiting to coalesce small segments.
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        auto* session = new FaxServerSession(socket, m_store, m_faults, m_login, m_hostName, this);
        connect(session, &FaxServerSession::finished, session, &QObject::deleteLater);
        session->start();
    }
}

} // namespace kestrel::simulator
