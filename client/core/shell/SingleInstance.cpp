#include "SingleInstance.h"

#include <QLocalSocket>

#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

constexpr int AnswerMs = 2000;
const QByteArray ShowRequest = "show\n";

// The process at the other end of a local socket runs as this user.
bool peerIsThisUser(const QLocalSocket& socket)
{
    struct ucred peer = {};
    socklen_t length = sizeof peer;
    return ::getsockopt(int(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0 &&
           peer.uid == ::geteuid();
}

QString socketPath(const QString& folder, const QString& key)
{
    return folder.isEmpty() ? QString() : folder + u'/' + key;
}

} // namespace

SingleInstance::SingleInstance(const QString& key, QObject* parent)
    : SingleInstance(key, RuntimeFolder::currentSources(), parent)
{}

SingleInstance::SingleInstance(const QString& key, const RuntimeFolder::Sources& sources, QObject* parent)
    : QObject(parent), m_name(socketPath(RuntimeFolder::resolve(sources), key))
{
    // Only the user's own processes may ask.
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* peer = m_server.nextPendingConnection()) {
            connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
            if (!peerIsThisUser(*peer)) {
                peer->abort();
                peer->deleteLater();
                continue;
            }
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
    // Whatever listens there as another user is not this program.
    if (!peerIsThisUser(socket))
        return false;
    socket.write(ShowRequest);
    socket.waitForBytesWritten(AnswerMs);
    return true;
}

bool SingleInstance::claim()
{
    if (m_name.isEmpty())
        return true;
    if (askRunningInstance())
        return false;
    if (!m_server.listen(m_name)) {
        // A socket left by an instance that crashed: nobody answered on it.
        QLocalServer::removeServer(m_name);
        m_server.listen(m_name);
    }
    return true;
}

} // namespace kestrel
