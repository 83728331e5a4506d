#include "ClientTexts.h"
#include "DesktopContactsLoader.h"

#include <QFile>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <memory>

using namespace Qt::StringLiterals;

using kestrel::DesktopContacts;
using kestrel::DesktopContactsLoader;
namespace book = kestrel::texts::book;

namespace {

// A reading that shows its notice, then waits until the test lets it go.
struct HeldReading
{
    QSemaphore release;
    QSemaphore done;
    QThread* thread = nullptr;
};

DesktopContactsLoader::Reader held(const std::shared_ptr<HeldReading>& reading)
{
    return [reading](const QString& source, const DesktopContacts::Notice& notice) {
        reading->thread = QThread::currentThread();
        notice.show(book::LoadingDesktopContacts);
        reading->release.acquire();
        DesktopContacts contacts;
        contacts.take(1, {kestrel::ContactItem::ContactClass, source, u"Anna"_s, u"Rossi"_s, {}});
        notice.close();
        reading->done.release();
        return contacts;
    };
}

// The notices, each with the thread it came on.
DesktopContacts::Notice recording(QStringList& log)
{
    const auto on = [] {
        return QThread::currentThread() == qApp->thread() ? u"owner: "_s : u"other: "_s;
    };
    return {[&log, on](const QString& text) { log << on() + u"show "_s + text; },
            [&log, on] { log << on() + u"close"_s; },
            [&log, on](const QString& text) {
                log << on() + u"tell "_s + text;
            }};
}

} // namespace

class tst_DesktopContactsLoader : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void readsOffTheOwnersThreadAndHandsOverOnIt();
    void aLoaderGoneBeforeTheReadingEndsHearsNothing();
    void filesTooLargeAreToldInOneNotice();
};

void tst_DesktopContactsLoader::readsOffTheOwnersThreadAndHandsOverOnIt()
{
    const auto reading = std::make_shared<HeldReading>();
    QStringList log;
    DesktopContactsLoader loader(recording(log), held(reading));
    QSignalSpy loaded(&loader, &DesktopContactsLoader::loaded);
    loader.start(u"0612345"_s); // returns while the reading waits
    QVERIFY(!loader.isLoaded());
    reading->release.release();
    QVERIFY(loaded.wait());
    QVERIFY(reading->thread != QThread::currentThread());
    QCOMPARE(log, (QStringList{u"owner: show "_s + book::LoadingDesktopContacts, u"owner: close"_s}));
    QCOMPARE(loader.contacts().listed(), (QList<kestrel::DesktopContact>{{u"0612345"_s, u"Anna Rossi "_s}}));
    // Read once a run: the send window loads again after new settings.
    loader.start(u"0698765"_s);
    QVERIFY(!loaded.wait(200));
}

void tst_DesktopContactsLoader::aLoaderGoneBeforeTheReadingEndsHearsNothing()
{
    const auto reading = std::make_shared<HeldReading>();
    QStringList log;
    auto loader = std::make_unique<DesktopContactsLoader>(recording(log), held(reading));
    loader->start(u"0612345"_s);
    QTRY_COMPARE(log.size(), 1); // the notice of the waiting reading
    loader.reset();
    reading->release.release();
    QVERIFY(reading->done.tryAcquire(1, 5000));
    QTest::qWait(50);
    QCOMPARE(log.size(), 1);
}

void tst_DesktopContactsLoader::filesTooLargeAreToldInOneNotice()
{
    QTemporaryDir dir;
    for (const QString& name : {u"a.vcf"_s, u"b.vcf"_s}) {
        QFile large(dir.filePath(name)); // sparse
        QVERIFY(large.open(QIODevice::WriteOnly) && large.resize(DesktopContacts::MaxFileBytes + 1));
    }
    QStringList log;
    DesktopContactsLoader loader(recording(log));
    QSignalSpy loaded(&loader, &DesktopContactsLoader::loaded);
    loader.start(dir.path());
    QVERIFY(loaded.wait());
    QCOMPARE(log.last(), u"owner: tell "_s + book::contactFilesTooLarge(
                                                 {dir.filePath(u"a.vcf"_s), dir.filePath(u"b.vcf"_s)}));
    QCOMPARE(log.size(), 3); // after the loading notice and its close
}

QTEST_GUILESS_MAIN(tst_DesktopContactsLoader)
#include "tst_desktopcontactsloader.moc"
