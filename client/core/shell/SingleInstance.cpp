#include "SingleInstance.h"

#include <QLocalSocket>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

constexpr int AnswerMs = 2000;
const QByteArray ShowRequest = "show\n";

} // namespace

SingleInstance::SingleInstance(const QString& key, QObject* parent)
    : QObject(parent), m_name(key + u'-' + QString::number(::getuid()))
{
    // Only the user's own processes may ask.
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* peer = m_server.nextPendingConnection()) {
            connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
            connect(peer, &QLocalSocket::readyRead, this, [this, peer] {
                if (peer->readAll().contains(ShowRequest))
                    Q_EMIT activationRequested();
                peer->disconnectFromServer();
            });
        }
    });
}

bool SingleInstance::askRunningInstance() const
{
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(AnswerMs))
        return false;
    socket.write(ShowRequest);
    socket.waitForBytesWritten(AnswerMs);
    return true;
}

bool SingleInstance::claim()
{
    if (askRunningInstance())
        return false;
    if (m_server.listen(m_name))
        return true;
    // A socket left by an instance that crashed: nobody answered on it.
    QLocalServer::removeServer(m_name);
    return m_server.listen(m_name);
}

} // namespace kestrel
