// One running program per user: a second start hands over to the first.

#include "SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QSignalSpy>
#include <QTest>
#include <QUuid>

using namespace Qt::StringLiterals;

using namespace kestrel;

class TestSingleInstance : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void secondStartHandsOver();
    void socketLeftByACrash();
};

void TestSingleInstance::secondStartHandsOver()
{
    const QString key = u"kestrel-test-"_s + QUuid::createUuid().toString(QUuid::Id128);
    SingleInstance first(key);
    QVERIFY(first.claim());
    QSignalSpy activation(&first, &SingleInstance::activationRequested);
    SingleInstance second(key);
    QVERIFY(!second.claim());
    QVERIFY(activation.wait(5000));
    // Another user's program, or another program, has its own name.
    SingleInstance other(key + u"-other"_s);
    QVERIFY(other.claim());
}

void TestSingleInstance::socketLeftByACrash()
{
    const QString key = u"kestrel-test-"_s + QUuid::createUuid().toString(QUuid::Id128);
    SingleInstance probe(key);
    // Where a crashed instance left its socket file behind.
    const QString path = QDir::tempPath() + u'/' + probe.serverName();
    QFile stale(path);
    QVERIFY(stale.open(QIODevice::WriteOnly));
    stale.close();
    QVERIFY(probe.claim());
    QLocalServer::removeServer(probe.serverName());
}

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
