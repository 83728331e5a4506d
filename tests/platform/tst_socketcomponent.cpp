// The socket component as a listener: a connection request accepted on the
// listener itself (which then is the connection), one refused by not
// accepting it, and connections handed out as descriptors while the
// listener stays open.

#include "SocketComponent.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace kestrel;

class TestSocketComponent : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void requestAcceptedOnTheListener();
    void requestNotAcceptedIsRefused();
    void descriptorsLeaveTheListenerOpen();

private:
    quint16 m_port = 0;
};

void TestSocketComponent::init()
{
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    m_port = probe.serverPort();
}

void TestSocketComponent::requestAcceptedOnTheListener()
{
    SocketComponent socket;
    socket.setLocalPort(m_port);
    QVERIFY(socket.listen());
    connect(&socket, &SocketComponent::ConnectionRequest, this, [&socket](qintptr id) {
        socket.close();
        QVERIFY(socket.accept(id));
    });
    QSignalSpy arrived(&socket, &SocketComponent::DataArrival);
    QTcpSocket peer;
    peer.connectToHost(QHostAddress::LocalHost, m_port);
    QVERIFY(peer.waitForConnected(3000));
    peer.write("hello");
    QVERIFY(arrived.wait(3000));
    QCOMPARE(socket.state(), int(SocketComponent::Connected));
    QCOMPARE(socket.getData(), QByteArray("hello"));
    QVERIFY(!socket.accept(12345)); // no such request
    QCOMPARE(socket.lastErrorNumber(), int(SocketComponent::InvalidOperation));
}

void TestSocketComponent::requestNotAcceptedIsRefused()
{
    SocketComponent socket;
    socket.setLocalPort(m_port);
    QVERIFY(socket.listen());
    QSignalSpy requests(&socket, &SocketComponent::ConnectionRequest);
    QTcpSocket peer;
    peer.connectToHost(QHostAddress::LocalHost, m_port);
    QVERIFY(peer.waitForConnected(3000));
    QVERIFY(requests.wait(3000));
    QTRY_COMPARE(peer.state(), QAbstractSocket::UnconnectedState);
    QCOMPARE(socket.state(), int(SocketComponent::Listening));
}

void TestSocketComponent::descriptorsLeaveTheListenerOpen()
{
    SocketComponent socket;
    socket.setLocalPort(m_port);
    QVERIFY(socket.listen());
    QList<qintptr> taken;
    connect(&socket, &SocketComponent::ConnectionRequest, this,
            [&socket, &taken](qintptr id) { taken.append(socket.takeConnectionDescriptor(id)); });
    QTcpSocket first;
    first.connectToHost(QHostAddress::LocalHost, m_port);
    QVERIFY(first.waitForConnected(3000));
    QTRY_COMPARE(taken.size(), 1);
    QTcpSocket second;
    second.connectToHost(QHostAddress::LocalHost, m_port);
    QVERIFY(second.waitForConnected(3000));
    QTRY_COMPARE(taken.size(), 2);
    QVERIFY(taken.at(0) >= 0 && taken.at(1) >= 0 && taken.at(0) != taken.at(1));
    QCOMPARE(socket.state(), int(SocketComponent::Listening));
    // Each descriptor is the connection itself.
    first.write("one");
    QVERIFY(first.waitForBytesWritten(3000));
    QByteArray received;
    const auto receive = [&received, fd = static_cast<int>(taken.at(0))] {
        char buffer[8];
        const ssize_t count = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (count > 0)
            received.append(buffer, count);
        return received;
    };
    QTRY_COMPARE(receive(), QByteArray("one"));
    for (const qintptr descriptor : taken)
        ::close(static_cast<int>(descriptor));
    QTRY_COMPARE(second.state(), QAbstractSocket::UnconnectedState);
    QCOMPARE(socket.takeConnectionDescriptor(99), qintptr(-1));
}

QTEST_GUILESS_MAIN(TestSocketComponent)
#include "tst_socketcomponent.moc"
