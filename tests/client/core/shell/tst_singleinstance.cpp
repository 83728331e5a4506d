// One running program per user: a second start hands over to the first,
// and no other user can take the name it listens on.

#include "SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

using namespace kestrel;

namespace {

QString uniqueKey()
{
    return u"kestrel-test-"_s + QUuid::createUuid().toString(QUuid::Id128);
}

int modeOf(const QString& path)
{
    struct stat info = {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void secondStartHandsOver();
    void socketLeftByACrash();
    void nameInSharedTempIsNotAsked();
    void folderChoice_data();
    void folderChoice();
    void otherUsersFolderRefused();
};

void TestSingleInstance::secondStartHandsOver()
{
    const QString key = uniqueKey();
    SingleInstance first(key);
    QVERIFY(first.claim());
    QVERIFY(first.isListening());
    QSignalSpy activation(&first, &SingleInstance::activationRequested);
    SingleInstance second(key);
    QVERIFY(!second.claim());
    QVERIFY(activation.wait(5000));
    // Another program has its own name.
    SingleInstance other(key + u"-other"_s);
    QVERIFY(other.claim());
}

void TestSingleInstance::socketLeftByACrash()
{
    SingleInstance probe(uniqueKey());
    // Where a crashed instance left its socket file behind.
    QFile stale(probe.serverName());
    QVERIFY(stale.open(QIODevice::WriteOnly));
    stale.close();
    QVERIFY(probe.claim());
    QVERIFY(probe.isListening());
}

// Any user may create names in the shared temporary folder: one listening
// under the name a per-user socket there would have is never asked.
void TestSingleInstance::nameInSharedTempIsNotAsked()
{
    const QString key = uniqueKey();
    QLocalServer squatter;
    QVERIFY(squatter.listen(QDir::tempPath() + u'/' + key + u'-' + QString::number(::getuid())));
    SingleInstance start(key);
    QVERIFY(start.claim());
    QVERIFY(!start.serverName().startsWith(QDir::tempPath() + u'/' + key));
    QVERIFY(!squatter.waitForNewConnection(200));
}

// setup: what the temporary folder and the runtime folder hold before;
// expected: which of them is used ("" when neither).
void TestSingleInstance::folderChoice_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("expected");
    QTest::newRow("runtime folder") << u"runtime 0700"_s << u"runtime"_s;
    QTest::newRow("no runtime folder: own one in temp") << u""_s << u"own"_s;
    QTest::newRow("runtime folder open to others") << u"runtime 0755"_s << u"own"_s;
    QTest::newRow("runtime folder a symlink") << u"runtime symlink"_s << u"own"_s;
    QTest::newRow("runtime folder relative") << u"runtime relative"_s << u"own"_s;
    QTest::newRow("own folder narrowed to 0700") << u"own 0755"_s << u"own"_s;
    QTest::newRow("own name a symlink") << u"own symlink"_s << u""_s;
    QTest::newRow("own name a file") << u"own file"_s << u""_s;
}

void TestSingleInstance::folderChoice()
{
    QFETCH(QString, setup);
    QFETCH(QString, expected);
    QTemporaryDir root;
    const QString temp = root.filePath(u"tmp"_s);
    const QString runtime = root.filePath(u"run"_s);
    const QString own = temp + u"/kestrel-"_s + QString::number(::geteuid());
    const QString elsewhere = root.filePath(u"elsewhere"_s);
    QVERIFY(QDir().mkpath(temp) && QDir().mkpath(elsewhere));
    QVERIFY(::chmod(QFile::encodeName(elsewhere).constData(), 0700) == 0);

    RuntimeFolder::Sources sources{runtime, temp};
    if (setup.startsWith(u"runtime 07"_s)) {
        QVERIFY(QDir().mkdir(runtime));
        QVERIFY(::chmod(QFile::encodeName(runtime).constData(), setup.endsWith(u"0700"_s) ? 0700 : 0755) ==
                0);
    } else if (setup == u"runtime symlink"_s) {
        QVERIFY(QFile::link(elsewhere, runtime));
    } else if (setup == u"runtime relative"_s) {
        sources.runtimeDir = u"run"_s;
    } else if (setup == u"own 0755"_s) {
        QVERIFY(QDir().mkdir(own));
        QVERIFY(::chmod(QFile::encodeName(own).constData(), 0755) == 0);
    } else if (setup == u"own symlink"_s) {
        QVERIFY(QFile::link(elsewhere, own));
    } else if (setup == u"own file"_s) {
        QFile file(own);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }

    const QString chosen = RuntimeFolder::resolve(sources);
    const QString wanted = expected == u"runtime"_s ? runtime : expected == u"own"_s ? own : QString();
    QCOMPARE(chosen, wanted);
    if (!chosen.isEmpty())
        QCOMPARE(modeOf(chosen), 0700);
    // Without a safe folder the program still starts, unguarded.
    SingleInstance instance(uniqueKey(), sources);
    QCOMPARE(instance.serverName().isEmpty(), chosen.isEmpty());
    QVERIFY(instance.claim());
}

// Another user made the folder first, even private to them: not used.
void TestSingleInstance::otherUsersFolderRefused()
{
    if (::geteuid() != 0)
        QSKIP("giving a folder to another user needs root");
    QTemporaryDir temp;
    const QString own = temp.filePath(u"kestrel-0"_s);
    QVERIFY(QDir().mkdir(own));
    QVERIFY(::chmod(QFile::encodeName(own).constData(), 0700) == 0);
    QVERIFY(::chown(QFile::encodeName(own).constData(), 65534, 65534) == 0);
    QCOMPARE(RuntimeFolder::resolve({QString(), temp.path()}), QString());
    QCOMPARE(modeOf(own), 0700);
}

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
