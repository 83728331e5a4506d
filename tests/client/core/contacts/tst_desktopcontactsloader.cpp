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

using kestrel::ContactItem;
using kestrel::DesktopContacts;
using kestrel::DesktopContactsLoader;

namespace {

// A reading that waits until the test lets it go, and says on which thread
// it ran and which notices it gave.
struct HeldReading
{
    QSemaphore release;
    QSemaphore done;
    QThread* thread = nullptr;

    DesktopContactsLoader::Reader reader()
    {
        return [this](const QString& source, const DesktopContacts::Notice& notice) {
            thread = QThread::currentThread();
            notice.show(texts());
            release.acquire();
            DesktopContacts contacts;
            contacts.take(1, ContactItem{ContactItem::ContactClass, source, u"Anna"_s, u"Rossi"_s, {}});
            notice.close();
            done.release();
            return contacts;
        };
    }
    static QString texts() { return kestrel::texts::book::LoadingDesktopContacts; }
};

} // namespace

class tst_DesktopContactsLoader : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void readsOffTheOwnersThreadAndHandsOverOnIt();
    void readsOnceARun();
    void aLoaderGoneBeforeTheReadingEndsHearsNothing();
    void filesTooLargeAreToldOnce();

private:
    DesktopContacts::Notice recordingNotice(QStringList& log)
    {
        const auto where = [] {
            return QThread::currentThread() == qApp->thread() ? u"owner: "_s : u"other: "_s;
        };
        return {[&log, where](const QString& text) { log << where() + u"show "_s + text; },
                [&log, where] { log << where() + u"close"_s; },
                [&log, where](const QString& text) {
                    log << where() + u"tell "_s + text;
                }};
    }
};

void tst_DesktopContactsLoader::readsOffTheOwnersThreadAndHandsOverOnIt()
{
    auto reading = std::make_shared<HeldReading>();
    QStringList log;
    DesktopContactsLoader loader(recordingNotice(log), reading->reader());
    QSignalSpy loaded(&loader, &DesktopContactsLoader::loaded);
    loader.start(u"0612345"_s); // returns while the reading waits
    QVERIFY(!loader.isLoaded());
    QVERIFY(loader.contacts().listed().isEmpty());
    reading->release.release();
    QVERIFY(loaded.wait());
    QVERIFY(reading->thread && reading->thread != QThread::currentThread());
    QCOMPARE(log, (QStringList{u"owner: show "_s + HeldReading::texts(), u"owner: close"_s}));
    QVERIFY(loader.isLoaded());
    QCOMPARE(loader.contacts().listed(), (QList<kestrel::DesktopContact>{{u"0612345"_s, u"Anna Rossi "_s}}));
}

void tst_DesktopContactsLoader::readsOnceARun()
{
    int readings = 0;
    DesktopContactsLoader loader({}, [&readings](const QString&, const DesktopContacts::Notice&) {
        ++readings;
        return DesktopContacts();
    });
    QSignalSpy loaded(&loader, &DesktopContactsLoader::loaded);
    loader.start(u"a"_s);
    QVERIFY(loaded.wait());
    loader.start(u"b"_s); // the send window loads again after new settings
    QVERIFY(!loaded.wait(200));
    QCOMPARE(readings, 1);
}

void tst_DesktopContactsLoader::aLoaderGoneBeforeTheReadingEndsHearsNothing()
{
    auto reading = std::make_shared<HeldReading>();
    QStringList log;
    auto loader = std::make_unique<DesktopContactsLoader>(recordingNotice(log), reading->reader());
    loader->start(u"0612345"_s);
    QTRY_COMPARE(log.size(), 1); // the notice of the reading that waits
    loader.reset();
    reading->release.release();
    QVERIFY(reading->done.tryAcquire(1, 5000));
    QTest::qWait(50);
    QCOMPARE(log.size(), 1);
}

void tst_DesktopContactsLoader::filesTooLargeAreToldOnce()
{
    // Two files over the bound: one notice naming both.
    QTemporaryDir dir;
    for (const QString& name : {u"a.vcf"_s, u"b.vcf"_s}) {
        QFile large(dir.filePath(name));
        QVERIFY(large.open(QIODevice::WriteOnly));
        QVERIFY(large.resize(DesktopContacts::MaxFileBytes + 1));
    }
    QStringList log;
    DesktopContactsLoader loader(recordingNotice(log));
    QSignalSpy loaded(&loader, &DesktopContactsLoader::loaded);
    loader.start(dir.path());
    QVERIFY(loaded.wait());
    QCOMPARE(log,
             (QStringList{u"owner: show "_s + HeldReading::texts(), u"owner: close"_s,
                          u"owner: tell "_s + kestrel::texts::book::contactFilesTooLarge(
                                                  {dir.filePath(u"a.vcf"_s), dir.filePath(u"b.vcf"_s)})}));
}

QTEST_GUILESS_MAIN(tst_DesktopContactsLoader)
#include "tst_desktopcontactsloader.moc"
