// One running program per user: a second start hands over to the first,
// starts at the same moment leave one running, and no other user can take
// the name it listens on or turn the guard off.

#include "SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QProcess>
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
    void startsAtTheSameMoment();
    void nameTakenByAnotherUser_data();
    void nameTakenByAnotherUser();
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
    QTest::newRow("own name a symlink: the cache folder") << u"own symlink"_s << u"cache"_s;
    QTest::newRow("own name a file: the cache folder") << u"own file"_s << u"cache"_s;
    QTest::newRow("own name and cache name files") << u"own file, cache file"_s << u""_s;
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

    const QString cache = root.filePath(u"home/.cache"_s);
    const QString ownCache = cache + u"/kestrel-"_s + QString::number(::geteuid());
    RuntimeFolder::Sources sources{runtime, temp, cache};
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
    } else if (setup.startsWith(u"own file"_s)) {
        QFile file(own);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    if (setup.endsWith(u"cache file"_s)) {
        QVERIFY(QDir().mkpath(cache));
        QFile file(ownCache);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }

    const QString chosen = RuntimeFolder::resolve(sources);
    const QString wanted = expected == u"runtime"_s ? runtime
                           : expected == u"own"_s   ? own
                           : expected == u"cache"_s ? ownCache
                                                    : QString();
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

// Thirty starts at once, as at a login that starts the program twice over,
// round after round (a race is lost in some rounds only): one holds the
// instance, every other one asks it to come forward and leaves.
void TestSingleInstance::startsAtTheSameMoment()
{
    constexpr int Rounds = 10;
    constexpr int Starts = 30;
    QTemporaryDir runtime;
    QVERIFY(::chmod(QFile::encodeName(runtime.path()).constData(), 0700) == 0);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"XDG_RUNTIME_DIR"_s, runtime.path());
    for (int round = 0; round < Rounds; ++round) {
        const QString key = uniqueKey();
        std::vector<std::unique_ptr<QProcess>> starts;
        for (int i = 0; i < Starts; ++i) {
            starts.push_back(std::make_unique<QProcess>());
            starts.back()->setProcessEnvironment(environment);
        }
        for (const auto& start : starts)
            start->start(QStringLiteral(KESTREL_SINGLEINSTANCE_START), {key});
        QList<QProcess*> holders;
        int asked = 0;
        for (const auto& start : starts) {
            QVERIFY(start->waitForStarted());
            QVERIFY(start->waitForReadyRead(60000));
            const QByteArray said = start->readLine();
            if (said == "holder\n")
                holders << start.get();
            else if (said == "asked\n" && start->waitForFinished(60000))
                ++asked;
        }
        // Every later start reached the holder (what it said may be read
        // already, behind its first line).
        QByteArray shown = holders.size() == 1 ? holders.constFirst()->readAll() : QByteArray();
        while (holders.size() == 1 && shown.count("shown") < Starts - 1 &&
               holders.constFirst()->waitForReadyRead(60000))
            shown += holders.constFirst()->readAll();
        for (QProcess* holder : std::as_const(holders)) {
            holder->kill();
            holder->waitForFinished();
        }
        QCOMPARE(holders.size(), 1);
        QCOMPARE(asked, Starts - 1);
        QCOMPARE(shown.count("shown"), Starts - 1);
    }
}

// Another user made a folder or a file at the name of the
// user's folder in the shared temporary folder: the guard still holds.
void TestSingleInstance::nameTakenByAnotherUser_data()
{
    QTest::addColumn<QString>("planted");
    QTest::newRow("folder") << u"folder"_s;
    QTest::newRow("file") << u"file"_s;
}

void TestSingleInstance::nameTakenByAnotherUser()
{
    QFETCH(QString, planted);
    if (::geteuid() != 0)
        QSKIP("making a name another user's needs root");
    QTemporaryDir root;
    const QString temp = root.filePath(u"tmp"_s);
    QVERIFY(QDir().mkpath(temp));
    const QString name = temp + u"/kestrel-"_s + QString::number(::geteuid());
    if (planted == u"folder"_s) {
        QVERIFY(QDir().mkdir(name));
        QVERIFY(::chmod(QFile::encodeName(name).constData(), 0777) == 0);
    } else {
        QFile file(name);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QVERIFY(::lchown(QFile::encodeName(name).constData(), 65534, 65534) == 0);
    const RuntimeFolder::Sources sources{QString(), temp, root.filePath(u"home/.cache"_s)};

    const QString key = uniqueKey();
    SingleInstance first(key, sources);
    QVERIFY(first.claim());
    QVERIFY(first.isListening());
    QVERIFY(!first.serverName().startsWith(name));
    QSignalSpy activation(&first, &SingleInstance::activationRequested);
    SingleInstance second(key, sources);
    QVERIFY(!second.claim());
    QVERIFY(activation.wait(5000));
}

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
