// The platform layers: the component registry, the wait helper, the socket
// component's numeric states.

#include "ComponentRegistry.h"
#include "Corvanefax.h"
#include "SocketComponent.h"
#include "Wait.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

using namespace kestrel;

class TestPlatform : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void registryFiles();
    void controlThroughItsProgId();
    void registryFallsBackAndNamesItsFiles();
    void waitSaysWhyItReturned();
    void socketStates();
    void methodErrorIsTrueWhenTheCallFailed_data();
    void methodErrorIsTrueWhenTheCallFailed();
};

void TestPlatform::registryFiles()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(u"sub/components.reg"_s);
    QVERIFY(ComponentRegistry::write(file, u"A.b"_s, u"/lib/one.so"_s));
    QVERIFY(ComponentRegistry::write(file, u"C.d"_s, u"/lib/two.so"_s));
    QVERIFY(ComponentRegistry::write(file, u"a.B"_s, u"/lib/three.so"_s));
    QCOMPARE(ComponentRegistry::lookupIn(file, u"A.B"_s), u"/lib/three.so"_s);
    QCOMPARE(ComponentRegistry::lookupIn(file, u"C.d"_s), u"/lib/two.so"_s);
    QVERIFY(ComponentRegistry::remove(file, u"A.b"_s));
    QCOMPARE(ComponentRegistry::lookupIn(file, u"A.b"_s), QString());
    QCOMPARE(ComponentRegistry::lookupIn(file, u"C.d"_s), u"/lib/two.so"_s);

    const QByteArray saved = qgetenv(ComponentRegistry::OverrideVariable);
    qputenv(ComponentRegistry::OverrideVariable, dir.filePath(u"none.reg"_s).toLocal8Bit());
    const Expected<void*> none = ComponentRegistry::createInstance(u"No.Such"_s, "x");
    QVERIFY(!none);
    QVERIFY(none.error().message.contains(u"not registered"_s));
    qputenv(ComponentRegistry::OverrideVariable, saved);
}

void TestPlatform::controlThroughItsProgId()
{
    // The build registered the library; a host finds it by ProgID only.
    const Expected<void*> object =
        ComponentRegistry::createInstance(QString::fromLatin1(CorvanefaxProgId), CorvanefaxInterfaceId);
    QVERIFY2(object, qPrintable(object ? QString() : object.error().message));
    auto* control = static_cast<ICorvanefax*>(*object);
    control->InitProperties();
    QCOMPARE(control->IndirizzoIP(), u"ipdelfax"_s);
    control->setNomeUtente(u"Mario"_s);
    QCOMPARE(control->NomeUtente(), u"Mario"_s);
    QVERIFY(!ComponentRegistry::createInstance(QString::fromLatin1(CorvanefaxProgId), "other.Interface"));
    delete control;

    // Controls made again and again (a reload, say) share the library
    // loaded first: nothing is held per creation.
    const int loaded = ComponentRegistry::loadedLibraryCount();
    QVERIFY(loaded >= 1);
    for (int i = 0; i < 21; ++i) {
        const Expected<void*> again =
            ComponentRegistry::createInstance(QString::fromLatin1(CorvanefaxProgId), CorvanefaxInterfaceId);
        QVERIFY(again);
        delete static_cast<ICorvanefax*>(*again);
    }
    QCOMPARE(ComponentRegistry::loadedLibraryCount(), loaded);
}

void TestPlatform::registryFallsBackAndNamesItsFiles()
{
    const QString library = ComponentRegistry::lookupIn(QString::fromUtf8(KESTREL_BUILD_REGISTRY),
                                                        QString::fromLatin1(CorvanefaxProgId));
    QVERIFY(!library.isEmpty());
    QTemporaryDir dir;
    const QByteArray saved = qgetenv(ComponentRegistry::OverrideVariable);
    qunsetenv(ComponentRegistry::OverrideVariable);
    qputenv("XDG_CONFIG_HOME", dir.filePath(u"user"_s).toLocal8Bit());
    qputenv("XDG_CONFIG_DIRS", dir.filePath(u"system"_s).toLocal8Bit());
    const QString progId = QString::fromLatin1(CorvanefaxProgId);
    const QString user = ComponentRegistry::userPath();
    const QString system = ComponentRegistry::systemPath();
    QVERIFY(user.startsWith(dir.path()) && system.startsWith(dir.path()));

    // A user entry left behind by a library that is gone gives way to the
    // system's.
    QVERIFY(ComponentRegistry::write(user, progId, dir.filePath(u"gone/libKestrelOCX.so"_s)));
    QVERIFY(ComponentRegistry::write(system, progId, library));
    const Expected<void*> object = ComponentRegistry::createInstance(progId, CorvanefaxInterfaceId);
    QVERIFY2(object, qPrintable(object ? QString() : object.error().message));
    delete static_cast<ICorvanefax*>(*object);

    // Every failure names the registry file and the library.
    QVERIFY(ComponentRegistry::write(system, progId, dir.filePath(u"also-gone.so"_s)));
    Expected<void*> failed = ComponentRegistry::createInstance(progId, CorvanefaxInterfaceId);
    QVERIFY(!failed);
    const QString error = failed.error().message;
    for (const QString& name :
         {user, system, dir.filePath(u"gone/libKestrelOCX.so"_s), dir.filePath(u"also-gone.so"_s)})
        QVERIFY2(error.contains(name), qPrintable(error));

    // A library path that is not absolute is refused, written or read.
    const Status relative = ComponentRegistry::write(user, progId, u"libKestrelOCX.so"_s);
    QVERIFY(!relative);
    QVERIFY(relative.error().message.contains(user));
    QFile file(user);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("KestrelOCX.corvanefax = libKestrelOCX.so\n");
    file.close();
    QVERIFY(ComponentRegistry::write(system, progId, dir.filePath(u"also-gone.so"_s)));
    failed = ComponentRegistry::createInstance(progId, CorvanefaxInterfaceId);
    QVERIFY(!failed);
    QVERIFY2(failed.error().message.contains(u"not an absolute path"_s) &&
                 failed.error().message.contains(user),
             qPrintable(failed.error().message));

    // A desktop that puts its own folder first still finds the system's
    // registration further down the list, and /etc/xdg at its end.
    QFile::remove(user);
    qputenv("XDG_CONFIG_DIRS", (dir.filePath(u"desktop"_s) + u':' + dir.filePath(u"system"_s)).toLocal8Bit());
    QVERIFY(ComponentRegistry::write(system, progId, library));
    QCOMPARE(ComponentRegistry::lookup(progId), library);
    QCOMPARE(ComponentRegistry::lookupFiles().last(), u"/etc/xdg/kestrel/components.reg"_s);

    qunsetenv("XDG_CONFIG_HOME");
    qunsetenv("XDG_CONFIG_DIRS");
    qputenv(ComponentRegistry::OverrideVariable, saved);
}

void TestPlatform::waitSaysWhyItReturned()
{
    bool flag = false;
    QTimer::singleShot(20, this, [&flag] { flag = true; });
    QCOMPARE(waitUntil([&flag] { return flag; }, 5000), WaitOutcome::Done);

    bool broken = false;
    QTimer::singleShot(20, this, [&broken] { broken = true; });
    QCOMPARE(waitUntil([] { return false; }, 5000, [&broken] { return broken; }), WaitOutcome::Failed);

    QElapsedTimer clock;
    clock.start();
    QCOMPARE(waitUntil([] { return false; }, 100), WaitOutcome::TimedOut);
    QVERIFY(clock.elapsed() >= 90);
}

void TestPlatform::socketStates()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));

    SocketComponent socket;
    QCOMPARE(socket.state(), int(SocketComponent::Closed));
    QSignalSpy connected(&socket, &SocketComponent::Connect);
    socket.connectTo(u"127.0.0.1"_s, server.serverPort());
    QVERIFY(connected.wait(5000));
    QCOMPARE(socket.state(), int(SocketComponent::Connected));
    QTRY_VERIFY(server.hasPendingConnections());
    QTcpSocket* peer = server.nextPendingConnection();

    QSignalSpy arrived(&socket, &SocketComponent::DataArrival);
    peer->write("hello");
    QVERIFY(arrived.wait(5000));
    QCOMPARE(socket.getData(), QByteArray("hello"));

    QSignalSpy closed(&socket, &SocketComponent::Close);
    peer->disconnectFromHost();
    QVERIFY(closed.wait(5000));
    socket.close();
    QCOMPARE(socket.state(), int(SocketComponent::Closed));

    // A refused connection ends in the error state with the Windows number.
    const quint16 port = server.serverPort();
    server.close();
    QSignalSpy failed(&socket, &SocketComponent::Error);
    socket.connectTo(u"127.0.0.1"_s, port);
    QVERIFY(failed.wait(5000));
    QCOMPARE(failed.at(0).at(0).toInt(), int(SocketComponent::ConnectionRefused));
    QCOMPARE(socket.state(), int(SocketComponent::ErrorState));

    // A listener, and a second listener on the same port that cannot open.
    SocketComponent listener;
    QVERIFY(listener.listen());
    QCOMPARE(listener.state(), int(SocketComponent::Listening));
    QVERIFY(!listener.listen());
    QCOMPARE(listener.lastErrorNumber(), int(SocketComponent::InvalidOperation));
}

// The contract's error is a COM error: number 0 is success, and as a bare
// condition it is true when the call failed (the opposite of Status).
void TestPlatform::methodErrorIsTrueWhenTheCallFailed_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<bool>("failed");
    QTest::newRow("success") << 0 << false;
    QTest::newRow("printer not checked") << 462 << true;
    QTest::newRow("negative") << -1 << true;
}

void TestPlatform::methodErrorIsTrueWhenTheCallFailed()
{
    QFETCH(int, number);
    QFETCH(bool, failed);
    const MethodError error{number, {}};
    QCOMPARE(error.failed(), failed);
    QCOMPARE(error.succeeded(), !failed);
    QCOMPARE(static_cast<bool>(error), failed);
}

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
