#include "SingleInstance.h"

#include "OwnFile.h"

#include <QDeadlineTimer>
#include <QLocalSocket>
#include <QThread>

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

constexpr int AnswerMs = 2000;
constexpr int AskAgainMs = 50;
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

SingleInstance::~SingleInstance()
{
    m_server.close();
    if (m_lockFd >= 0)
        ::close(m_lockFd);
}

SingleInstance::Lock SingleInstance::takeLock()
{
    // The folder is the user's alone; still, only a plain file of the user's
    // own is taken as the lock.
    Expected<OwnFile> lock =
        OwnFile::open(lockName(), {.flags = O_RDWR | O_CREAT, .mode = OwnFile::Mode::MakeOwnerOnly});
    if (!lock)
        return Lock::Unusable;
    int taken;
    do
        taken = ::flock(lock->descriptor(), LOCK_EX | LOCK_NB);
    while (taken != 0 && errno == EINTR);
    if (taken != 0)
        return errno == EWOULDBLOCK ? Lock::Held : Lock::Unusable;
    m_lockFd = lock->release();
    return Lock::Taken;
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

void SingleInstance::listen()
{
    // The lock is this process's: a socket file there was left by an
    // instance that ended without closing it, and nobody answers on it.
    QLocalServer::removeServer(m_name);
    m_server.listen(m_name);
}

bool SingleInstance::claim()
{
    if (m_name.isEmpty())
        return true;
    switch (takeLock()) {
    case Lock::Taken:
        listen();
        return true;
    case Lock::Unusable:
        // No lock can be had there: ask whoever listens, else run unguarded.
        if (askRunningInstance())
            return false;
        listen();
        return true;
    case Lock::Held:
        break;
    }
    // Another process holds the instance; it may still be starting and not
    // listen yet, or be ending and let go of the lock.
    const QDeadlineTimer deadline(AskForMs);
    while (!deadline.hasExpired()) {
        if (askRunningInstance())
            return false;
        QThread::msleep(AskAgainMs);
        if (takeLock() == Lock::Taken) {
            listen();
            return true;
        }
    }
    // It holds the instance and runs, answering or not: this start leaves.
    return false;
}

} // namespace kestrel
