#include "ClientTexts.h"
#include "ContactDatabase.h"
#include "FileContactStore.h"
#include "ScriptedMessageBox.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <map>
#include <optional>

using namespace Qt::StringLiterals;

using kestrel::ContactDatabase;
using kestrel::ContactRow;
using kestrel::ContactStore;
using kestrel::Expected;
using kestrel::FileContactStore;
using kestrel::test::ScriptedMessageBox;
using Outcome = ContactStore::Outcome;
using Rows = QList<ContactRow>;

namespace {

// The answers of one store, as the window would take them, and the thread
// each came on.
struct Answers
{
    explicit Answers(ContactStore& store)
    {
        QObject::connect(&store, &ContactStore::listed, &store,
                         [this](int ticket, const Expected<Rows>& rows) {
                             onOwnersThread = onOwnersThread && QThread::currentThread() == qApp->thread();
                             listings.insert_or_assign(ticket, rows);
                         });
        QObject::connect(&store, &ContactStore::changeFinished, &store,
                         [this](int ticket, const ContactStore::ChangeResult& result) {
                             onOwnersThread = onOwnersThread && QThread::currentThread() == qApp->thread();
                             changes.insert(ticket, result);
                         });
        QObject::connect(&store, &ContactStore::contactsChanged, &store, [this] { ++contactsChanged; });
    }
    std::map<int, Expected<Rows>> listings;
    QHash<int, ContactStore::ChangeResult> changes;
    int contactsChanged = 0;
    bool onOwnersThread = true;
};

// Another program's hold on the file: an exclusive transaction on a
// connection of the test's own thread, until release().
class Lock
{
public:
    explicit Lock(const QString& path)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, m_name);
        db.setDatabaseName(path);
        m_locked = db.open() && QSqlQuery(db).exec(u"BEGIN EXCLUSIVE"_s);
    }
    ~Lock()
    {
        release();
        QSqlDatabase::removeDatabase(m_name);
    }
    bool locked() const { return m_locked; }
    void release()
    {
        if (!QSqlDatabase::contains(m_name))
            return;
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        if (m_locked)
            QSqlQuery(db).exec(u"COMMIT"_s);
        m_locked = false;
        db.close();
    }

private:
    const QString m_name = u"another-program"_s;
    bool m_locked = false;
};

} // namespace

class tst_FileContactStore : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void changes_data();
    void changes();
    void failures_data();
    void failures();
    void windowRunsWhileFileIsLocked();
    void nameOfNumberFromLastListing();
    void deletedWithRequestsPending();

private:
    QString freshDatabase(const Rows& rows);
    Rows listedNow(const QString& path);

    QTemporaryDir m_dir;
};

void tst_FileContactStore::init()
{
    QTest::failOnWarning(QRegularExpression(u".*"_s));
}

QString tst_FileContactStore::freshDatabase(const Rows& rows)
{
    const QString path = m_dir.filePath(u"rubrica.db"_s);
    QFile::remove(path);
    if (!QFile::copy(QString::fromUtf8(KESTREL_SHIPPED_RUBRICA), path))
        qFatal("cannot copy the shipped database");
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    ScriptedMessageBox box;
    ContactDatabase db(path, box);
    for (const ContactRow& row : rows) {
        if (!db.insertContact(row))
            qFatal("cannot seed the database");
    }
    return path;
}

Rows tst_FileContactStore::listedNow(const QString& path)
{
    ScriptedMessageBox box;
    const Expected<Rows> rows = ContactDatabase(path, box).listContacts();
    return rows ? *rows : Rows{};
}

// Texts only: the rows as a user sees them.
static QStringList texts(const Rows& rows)
{
    QStringList out;
    for (const ContactRow& row : rows)
        out << row.group + u'|' + row.description + u'|' + row.number;
    return out;
}

void tst_FileContactStore::changes_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<bool>("changedMeanwhile");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QStringList>("after");

    const QStringList untouched{u"1|Bianchi|022"_s, u"1|Rossi|021"_s};
    QTest::newRow("add") << u"add"_s << false << int(Outcome::Done)
                         << QStringList{u"1|Bianchi|022"_s, u"1|Rossi|021"_s, u"2|Verdi|023"_s};
    QTest::newRow("change") << u"change"_s << false << int(Outcome::Done)
                            << QStringList{u"1|Bianchi|022"_s, u"2|Verdi|023"_s};
    QTest::newRow("remove") << u"remove"_s << false << int(Outcome::Done) << QStringList{u"1|Bianchi|022"_s};
    QTest::newRow("change of a row changed meanwhile")
        << u"change"_s << true << int(Outcome::RowChanged)
        << QStringList{u"1|Bianchi|022"_s, u"1|Rossi altro|021"_s};
    QTest::newRow("remove of a row changed meanwhile")
        << u"remove"_s << true << int(Outcome::RowChanged)
        << QStringList{u"1|Bianchi|022"_s, u"1|Rossi altro|021"_s};
}

void tst_FileContactStore::changes()
{
    QFETCH(QString, operation);
    QFETCH(bool, changedMeanwhile);
    QFETCH(int, outcome);
    QFETCH(QStringList, after);
    const QString path = freshDatabase({{u"021"_s, u"Rossi"_s, u"1"_s}, {u"022"_s, u"Bianchi"_s, u"1"_s}});
    FileContactStore store(path);
    Answers answers(store);

    const int listing = store.list();
    QTRY_VERIFY(answers.listings.contains(listing));
    const Expected<Rows> rows = answers.listings.at(listing);
    QVERIFY(rows);
    QCOMPARE(texts(*rows), (QStringList{u"1|Bianchi|022"_s, u"1|Rossi|021"_s}));
    const ContactRow rossi = rows->at(1);
    if (changedMeanwhile) {
        ScriptedMessageBox box;
        QVERIFY(ContactDatabase(path, box).ExecuteSql(
            u"UPDATE anagrafica SET nome='Rossi altro' WHERE rowid=%1"_s.arg(rossi.rowid)));
    }

    const ContactRow verdi{u"023"_s, u"Verdi"_s, u"2"_s};
    const int ticket = operation == u"add"_s      ? store.add(verdi)
                       : operation == u"change"_s ? store.change(rossi, verdi)
                                                  : store.remove(rossi);
    QVERIFY(ticket != listing);
    QTRY_VERIFY(answers.changes.contains(ticket));
    QCOMPARE(int(answers.changes.value(ticket).outcome), outcome);
    QCOMPARE(answers.changes.value(ticket).message, QString());
    QCOMPARE(answers.contactsChanged, outcome == int(Outcome::Done) ? 1 : 0);
    QVERIFY(answers.onOwnersThread);
    QCOMPARE(texts(listedNow(path)), after);
}

void tst_FileContactStore::failures_data()
{
    QTest::addColumn<bool>("missing");
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("description");

    for (const QString& operation : {u"list"_s, u"add"_s, u"change"_s, u"remove"_s}) {
        QTest::addRow("missing file, %s", qPrintable(operation)) << true << operation << u"unable to open"_s;
        QTest::addRow("locked longer than the busy timeout, %s", qPrintable(operation))
            << false << operation << u"locked"_s;
    }
}

// A failure comes back as the SQL error dialog's text (with no dialog shown
// on the store's thread), for the window to show on its own; nothing waits
// past the busy timeout.
void tst_FileContactStore::failures()
{
    QFETCH(bool, missing);
    QFETCH(QString, operation);
    QFETCH(QString, description);
    QString path = freshDatabase({{u"021"_s, u"Rossi"_s, u"1"_s}});
    const ContactRow listed = listedNow(path).constFirst();
    if (missing)
        path = m_dir.filePath(u"altrove/rubrica.db"_s);
    std::optional<Lock> lock;
    if (!missing) {
        lock.emplace(path);
        QVERIFY(lock->locked());
    }

    FileContactStore store(path);
    store.setBusyTimeout(100);
    Answers answers(store);
    const ContactRow verdi{u"023"_s, u"Verdi"_s, u"2"_s};
    const int ticket = operation == u"list"_s     ? store.list()
                       : operation == u"add"_s    ? store.add(verdi)
                       : operation == u"change"_s ? store.change(listed, verdi)
                                                  : store.remove(listed);
    QTRY_VERIFY(answers.listings.contains(ticket) || answers.changes.contains(ticket));

    QString message;
    if (operation == u"list"_s) {
        const Expected<Rows> rows = answers.listings.at(ticket);
        QVERIFY(!rows);
        message = rows.error().message;
    } else {
        QCOMPARE(answers.changes.value(ticket).outcome, Outcome::Failed);
        message = answers.changes.value(ticket).message;
    }
    namespace book = kestrel::texts::book;
    QVERIFY2(message.startsWith(book::SqlErrorNumber), qPrintable(message));
    QVERIFY2(message.contains(book::SqlErrorDescription) && message.contains(description),
             qPrintable(message));
    QVERIFY2(message.endsWith(ContactDatabase::connectionStringFor(path) + u'\n'), qPrintable(message));
    QCOMPARE(answers.contactsChanged, 0);
    QVERIFY(answers.onOwnersThread);
}

// Another program holds the file for a while: the listing waits on its own
// thread, and the window's loop runs meanwhile. Here it is that loop which
// lets the file go; a store waiting on the window's thread would run out of
// its busy timeout first and fail.
void tst_FileContactStore::windowRunsWhileFileIsLocked()
{
    const QString path = freshDatabase({{u"021"_s, u"Rossi"_s, u"1"_s}});
    Lock lock(path);
    QVERIFY(lock.locked());
    FileContactStore store(path);
    store.setBusyTimeout(60'000);
    Answers answers(store);

    bool releasedBeforeAnswer = false;
    const int ticket = store.list();
    QTimer::singleShot(200, this, [&] {
        releasedBeforeAnswer = !answers.listings.contains(ticket);
        lock.release();
    });
    QTRY_VERIFY_WITH_TIMEOUT(answers.listings.contains(ticket), 30'000);
    QVERIFY(releasedBeforeAnswer);
    QVERIFY(answers.listings.at(ticket));
    QCOMPARE(texts(*answers.listings.at(ticket)), QStringList{u"1|Rossi|021"_s});
}

void tst_FileContactStore::nameOfNumberFromLastListing()
{
    const QString path =
        freshDatabase({{u"02 123"_s, u"Rossi"_s, u"1"_s}, {u"02123"_s, u"Secondo"_s, u"2"_s}});
    FileContactStore store(path);
    Answers answers(store);
    QCOMPARE(store.nameOfNumber(u"02123"_s), QString());

    const int listing = store.list();
    QTRY_VERIFY(answers.listings.contains(listing));
    QCOMPARE(store.nameOfNumber(u"02-123"_s), u"Rossi"_s);
    QCOMPARE(store.nameOfNumber(u"999"_s), QString());
    QCOMPARE(store.nameOfNumber(QString()), QString());

    // A failed listing keeps the last one read.
    QFile::remove(path);
    const int failed = store.list();
    QTRY_VERIFY(answers.listings.contains(failed));
    QVERIFY(!answers.listings.at(failed));
    QCOMPARE(store.nameOfNumber(u"02123"_s), u"Rossi"_s);
}

// A window closed while its requests are queued: the store goes at once
// with the statement running, and nothing is answered afterwards.
void tst_FileContactStore::deletedWithRequestsPending()
{
    const QString path = freshDatabase({});
    int answered = 0;
    {
        FileContactStore store(path);
        connect(&store, &ContactStore::changeFinished, this, [&] { ++answered; });
        for (int i = 0; i < 50; ++i)
            store.add(ContactRow{QString::number(i), u"Rossi"_s, u"1"_s});
    }
    QTest::qWait(50);
    QCOMPARE(answered, 0);
}

QTEST_GUILESS_MAIN(tst_FileContactStore)
#include "tst_filecontactstore.moc"
