#include "ClientTexts.h"
#include "FileContactStore.h"
#include "ListingCopy.h"
#include "OpenContactStore.h"
#include "PrivatePostgres.h"
#include "ServerContactStore.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace kestrel;

// The shared address book against a real PostgreSQL server of the test's
// own: desks that see each other's changes, conflicts refused, the server
// going away and coming back.
class TestServerContactStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void twoDesksFollowEachOther();
    void staleChangeRefused_data();
    void staleChangeRefused();
    void valuesReadBackExactly_data();
    void valuesReadBackExactly();
    void nulRefused();
    void roleWithoutCreateRightsNamesTheScript();
    void importTwiceAddsNothingMore();
    void passwordNeverShown_data();
    void passwordNeverShown();
    void serverStoppedAndStartedUnderAStore();
    void frozenServerIsLeft();
    void copyOfTheLastListing_data();
    void copyOfTheLastListing();

private:
    QString uri(const QString& user, const QString& database, const QString& password = {}) const;
    void psql(const QString& database, const QString& statement);

    PrivatePostgres m_server;
    QTemporaryDir m_home;
};

namespace {

constexpr int Generous = 20000;
const auto CreatorPassword = u"Cre'ator p%1w;\\1"_s;
const auto DeskPassword = u"desk-S3cret"_s;

// Runs a listing and waits for its answer.
Expected<QList<ContactRow>> listing(ContactStore& store)
{
    QSignalSpy spy(&store, &ContactStore::listed);
    const int ticket = store.list();
    if (!spy.wait(Generous) && spy.isEmpty())
        return Error{u"no answer"_s};
    const QList<QVariant> answer = spy.takeFirst();
    if (answer.at(0).toInt() != ticket)
        return Error{u"another ticket"_s};
    return *static_cast<const Expected<QList<ContactRow>>*>(answer.at(1).constData());
}

QList<ContactRow> rowsOf(ContactStore& store)
{
    const Expected<QList<ContactRow>> rows = listing(store);
    return rows ? *rows : QList<ContactRow>{ContactRow{u"error"_s, rows.error().message, {}}};
}

// Makes one change and waits for its answer (one change is in flight at a time).
template <typename Call> ContactStore::ChangeResult finished(ContactStore& store, Call call)
{
    QSignalSpy spy(&store, &ContactStore::changeFinished);
    const int ticket = call();
    if ((spy.isEmpty() && !spy.wait(Generous)) || spy.first().at(0).toInt() != ticket)
        return {ContactStore::Outcome::Failed, u"no answer"_s, {}};
    return spy.first().at(1).value<ContactStore::ChangeResult>();
}
ContactStore::ChangeResult added(ContactStore& store, const ContactRow& row)
{
    return finished(store, [&] { return store.add(row); });
}
ContactStore::ChangeResult changed(ContactStore& store, const ContactRow& listed, const ContactRow& row)
{
    return finished(store, [&] { return store.change(listed, row); });
}
ContactStore::ChangeResult removed(ContactStore& store, const ContactRow& listed)
{
    return finished(store, [&] { return store.remove(listed); });
}

} // namespace

QString TestServerContactStore::uri(const QString& user, const QString& database,
                                    const QString& password) const
{
    const QString secret =
        password.isEmpty() ? QString() : u':' + QString::fromLatin1(QUrl::toPercentEncoding(password));
    return u"postgresql://"_s + user + secret + u"@127.0.0.1:"_s + QString::number(m_server.port()) + u'/' +
           database + u"?sslmode=disable"_s;
}

void TestServerContactStore::psql(const QString& database, const QString& statement)
{
    QString why;
    m_server.sql(database, statement, &why);
    QVERIFY2(why.isEmpty(), qPrintable(why));
}

void TestServerContactStore::initTestCase()
{
    qRegisterMetaType<Expected<QList<ContactRow>>>();
    qRegisterMetaType<ContactStore::ChangeResult>();
    QString why;
    if (PrivatePostgres::binDir(&why).isEmpty())
        QSKIP(qPrintable(why));
    QVERIFY2(m_server.create(&why), qPrintable(why));
    qInfo("%s on 127.0.0.1:%d", qPrintable(m_server.version()), m_server.port());
    // creator owns the database "office" (and so may create in its schema
    // public); desk may log in and nothing more.
    psql(u"postgres"_s,
         u"CREATE ROLE creator LOGIN PASSWORD '%1'"_s.arg(QString(CreatorPassword).replace(u"'"_s, u"''"_s)));
    psql(u"postgres"_s, u"CREATE ROLE desk LOGIN PASSWORD '%1'"_s.arg(DeskPassword));
    psql(u"postgres"_s, u"CREATE DATABASE office OWNER creator"_s);
    psql(u"postgres"_s, u"CREATE DATABASE bare"_s);
    psql(u"postgres"_s, u"CREATE DATABASE moving OWNER creator"_s);
    psql(u"postgres"_s, u"CREATE DATABASE copies OWNER creator"_s);
    // The copies of the listings go to a data folder of the test's own.
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_home.filePath(u"data"_s)));
    // desk's password comes from a password file, read by libpq.
    const QString passfile = m_home.filePath(u"pgpass"_s);
    QFile file(passfile);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(u"127.0.0.1:%1:*:desk:%2\n"_s.arg(m_server.port()).arg(DeskPassword).toUtf8());
    file.close();
    QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner));
    qputenv("PGPASSFILE", QFile::encodeName(passfile));
}

void TestServerContactStore::twoDesksFollowEachOther()
{
    ServerContactStore one(uri(u"creator"_s, u"office"_s, CreatorPassword));
    // The other desk opens it as the client opens what RUBRICA names.
    const std::unique_ptr<ContactStore> opened =
        openContactStore(uri(u"creator"_s, u"office"_s, CreatorPassword));
    QVERIFY(dynamic_cast<ServerContactStore*>(opened.get()));
    QVERIFY(dynamic_cast<FileContactStore*>(openContactStore(u"/tmp/rubrica.db"_s).get()));
    ContactStore& other = *opened;
    // The first listing waits for the connection behind it.
    QVERIFY(listing(one));
    QVERIFY(listing(other));
    QSignalSpy changes(&other, &ContactStore::contactsChanged);

    QElapsedTimer clock;
    clock.start();
    const ContactStore::ChangeResult add = added(one, {u"0611"_s, u"Alfa"_s, u"Clienti"_s});
    QCOMPARE(add.outcome, ContactStore::Outcome::Done);
    QTRY_VERIFY_WITH_TIMEOUT(!changes.isEmpty(), Generous);
    // A figure for the record, not a limit.
    qInfo("an addition reached the other desk after %lld ms", static_cast<long long>(clock.elapsed()));
    QList<ContactRow> rows = rowsOf(other);
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.first(), (ContactRow{u"0611"_s, u"Alfa"_s, u"Clienti"_s}));
    QCOMPARE(other.nameOfNumber(u"06 11"_s), u"Alfa"_s);

    changes.clear();
    QCOMPARE(changed(one, *add.current, {u"0622"_s, u"Beta"_s, u"Fornitori"_s}).outcome,
             ContactStore::Outcome::Done);
    QTRY_VERIFY_WITH_TIMEOUT(!changes.isEmpty(), Generous);
    rows = rowsOf(other);
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.first(), (ContactRow{u"0622"_s, u"Beta"_s, u"Fornitori"_s}));

    changes.clear();
    QCOMPARE(removed(one, rows.first()).outcome, ContactStore::Outcome::Done);
    QTRY_VERIFY_WITH_TIMEOUT(!changes.isEmpty(), Generous);
    QVERIFY(rowsOf(other).isEmpty());
}

void TestServerContactStore::staleChangeRefused_data()
{
    QTest::addColumn<bool>("deleteIt");
    QTest::newRow("edit of a contact changed meanwhile") << false;
    QTest::newRow("delete of a contact changed meanwhile") << true;
}

void TestServerContactStore::staleChangeRefused()
{
    QFETCH(bool, deleteIt);
    ServerContactStore one(uri(u"creator"_s, u"office"_s, CreatorPassword));
    ServerContactStore other(uri(u"creator"_s, u"office"_s, CreatorPassword));
    const ContactStore::ChangeResult add = added(one, {u"0700"_s, u"Gamma"_s, u""_s});
    QCOMPARE(add.outcome, ContactStore::Outcome::Done);
    const ContactRow listedByOther = *add.current;

    const ContactRow first{u"0701"_s, u"Gamma Srl"_s, u"Clienti"_s};
    QCOMPARE(changed(one, listedByOther, first).outcome, ContactStore::Outcome::Done);
    const ContactStore::ChangeResult late =
        deleteIt ? removed(other, listedByOther)
                 : changed(other, listedByOther, {u"0799"_s, u"Delta"_s, u""_s});
    QCOMPARE(late.outcome, ContactStore::Outcome::RowChanged);
    QVERIFY(late.current);
    QCOMPARE(*late.current, first);
    QCOMPARE(late.current->version, listedByOther.version + 1);
    QCOMPARE(late.message, texts::book::contactChanged(u"Gamma"_s, u"0700"_s));
    QVERIFY(rowsOf(other).contains(first));

    // Gone meanwhile: refused too, with nothing to show.
    QCOMPARE(removed(one, *late.current).outcome, ContactStore::Outcome::Done);
    const ContactStore::ChangeResult gone = changed(other, *late.current, {u"1"_s, u"x"_s, u""_s});
    QCOMPARE(gone.outcome, ContactStore::Outcome::RowChanged);
    QVERIFY(!gone.current);
}

void TestServerContactStore::valuesReadBackExactly_data()
{
    QTest::addColumn<ContactRow>("row");
    QTest::newRow("quotes and a statement")
        << ContactRow{u"0'1\"2"_s, u"O'Brien\"; DROP TABLE anagrafica; --"_s, u"\\ backslash $1 ?"_s};
    QTest::newRow("100 KB name") << ContactRow{u"0612"_s, QString(100 * 1024, u'n'), u"g"_s};
    QTest::newRow("accents and emoji") << ContactRow{u"+39 06"_s, u"Società Ünïcode 😀"_s, u"Città"_s};
    QTest::newRow("empty texts") << ContactRow{};
    QTest::newRow("tabs, line breaks and backslashes")
        << ContactRow{u"\\t\t\\"_s, u"a\tb\nc\r\n\\n\\\\ \\"_s, u"\n\t\\"_s};
}

void TestServerContactStore::valuesReadBackExactly()
{
    QFETCH(ContactRow, row);
    ServerContactStore one(uri(u"creator"_s, u"office"_s, CreatorPassword));
    const ContactStore::ChangeResult add = added(one, row);
    QVERIFY2(add.outcome == ContactStore::Outcome::Done, qPrintable(add.message));
    ServerContactStore other(uri(u"creator"_s, u"office"_s, CreatorPassword));
    const QList<ContactRow> rows = rowsOf(other);
    QCOMPARE(rows.count(row), 1);
    QCOMPARE(removed(one, *add.current).outcome, ContactStore::Outcome::Done);
}

// PostgreSQL's text cannot hold a NUL character: the contact is refused whole
// rather than stored cut short.
void TestServerContactStore::nulRefused()
{
    ServerContactStore one(uri(u"creator"_s, u"office"_s, CreatorPassword));
    const int before = rowsOf(one).size();
    const ContactRow row{u"0613"_s, u"Nul"_s + QChar(u'\0') + u"after"_s, u""_s};
    const ContactStore::ChangeResult add = added(one, row);
    QCOMPARE(add.outcome, ContactStore::Outcome::Failed);
    QCOMPARE(add.message, texts::sharedbook::NulCharacter);
    QCOMPARE(rowsOf(one).size(), before);
}

void TestServerContactStore::roleWithoutCreateRightsNamesTheScript()
{
    ServerContactStore desk(uri(u"desk"_s, u"bare"_s));
    QSignalSpy availability(&desk, &ContactStore::availabilityChanged);
    const Expected<QList<ContactRow>> refused = listing(desk);
    QVERIFY(!refused);
    QVERIFY2(refused.error().message.contains(ServerContactStore::setupScriptPath()),
             qPrintable(refused.error().message));
    QVERIFY(desk.isReadOnly());
    QCOMPARE(availability.size(), 1);
    QCOMPARE(availability.first().first().toBool(), false);

    // The administrator runs the shipped script; the open store finds the
    // table by itself, and the desk's grants are enough for its work.
    QString why;
    m_server.psql(u"bare"_s,
                  {u"-v"_s, u"desk=desk"_s, u"-f"_s, QStringLiteral(KESTREL_RUBRICA_SERVER_SQL_SOURCE)},
                  &why);
    QVERIFY2(why.isEmpty(), qPrintable(why));
    QTRY_COMPARE_WITH_TIMEOUT(availability.size(), 2, Generous);
    QCOMPARE(availability.last().first().toBool(), true);
    const ContactStore::ChangeResult add = added(desk, {u"0614"_s, u"Epsilon"_s, u""_s});
    QCOMPARE(add.outcome, ContactStore::Outcome::Done);
    QCOMPARE(changed(desk, *add.current, {u"0615"_s, u"Epsilon"_s, u""_s}).outcome,
             ContactStore::Outcome::Done);
    QCOMPARE(rowsOf(desk).size(), 1);
    // Nothing more than the rows: the table itself stays out of its reach.
    QCOMPARE(m_server
                 .sql(u"bare"_s,
                      u"SELECT has_table_privilege('desk', 'anagrafica', 'TRUNCATE') OR "
                      u"has_database_privilege('desk', 'bare', 'CREATE')"_s,
                      &why)
                 .trimmed(),
             u"f"_s);
}

// A desk's file with a contact twice: both copied once, none the second time.
void TestServerContactStore::importTwiceAddsNothingMore()
{
    const QString file = m_home.filePath(u"rubrica.db"_s);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"desk-file"_s);
        db.setDatabaseName(file);
        QVERIFY(db.open());
        QSqlQuery query(db);
        QVERIFY(query.exec(u"CREATE TABLE anagrafica (fax TEXT, nome TEXT, gruppo TEXT)"_s));
        QVERIFY(query.exec(
            u"INSERT INTO anagrafica VALUES ('0611', 'Alfa', 'Clienti'), ('0622', 'O''Brien', ''), "
            u"('0611', 'Alfa', 'Clienti')"_s));
    }
    QSqlDatabase::removeDatabase(u"desk-file"_s);

    const QString address = uri(u"creator"_s, u"moving"_s, CreatorPassword);
    for (const QString& expected :
         {texts::sharedbook::importSummary(3, 0), texts::sharedbook::importSummary(0, 3)}) {
        QProcess tool;
        tool.start(QStringLiteral(KESTREL_RUBRICA_TOOL), {u"import"_s, file, address});
        QVERIFY(tool.waitForFinished(Generous * 3));
        QCOMPARE(tool.exitCode(), 0);
        QCOMPARE(QString::fromLocal8Bit(tool.readAllStandardOutput()).trimmed(), expected);
    }
    ServerContactStore store(address);
    const QList<ContactRow> rows = rowsOf(store);
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows.count(ContactRow{u"0611"_s, u"Alfa"_s, u"Clienti"_s}), 2);
}

void TestServerContactStore::passwordNeverShown_data()
{
    QTest::addColumn<QString>("database");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("raw");
    QTest::newRow("right password") << u"office"_s << CreatorPassword << false;
    QTest::newRow("wrong password") << u"office"_s << u"Wr0ng-Secret"_s << false;
    QTest::newRow("no such database") << u"nowhere"_s << CreatorPassword << false;
    // libpq's message quotes what it could not decode.
    QTest::newRow("password libpq cannot read") << u"office"_s << u"Sec%zzret"_s << true;
}

void TestServerContactStore::passwordNeverShown()
{
    QFETCH(QString, database);
    QFETCH(QString, password);
    QFETCH(bool, raw);
    const QString encoded = QString::fromLatin1(QUrl::toPercentEncoding(password));
    const QString address = raw ? u"postgresql://creator:"_s + password + u"@127.0.0.1/office"_s
                                : uri(u"creator"_s, database, password);
    ServerContactStore store(address);
    QStringList seen{store.description()};
    const Expected<QList<ContactRow>> rows = listing(store);
    if (!rows)
        seen << rows.error().message;
    seen << added(store, {u"0616"_s, u"Zeta"_s, u""_s}).message;
    for (const QString& text : std::as_const(seen)) {
        QVERIFY2(!text.contains(password) && !text.contains(encoded), qPrintable(text));
    }
    QVERIFY(seen.first().contains(u"creator:***@127.0.0.1"_s));
}

void TestServerContactStore::serverStoppedAndStartedUnderAStore()
{
    ServerContactStore store(uri(u"creator"_s, u"office"_s, CreatorPassword));
    QCOMPARE(added(store, {u"0617"_s, u"Eta"_s, u""_s}).outcome, ContactStore::Outcome::Done);
    const QList<ContactRow> before = rowsOf(store);
    QSignalSpy availability(&store, &ContactStore::availabilityChanged);
    QSignalSpy changes(&store, &ContactStore::contactsChanged);

    m_server.stop();
    QTRY_COMPARE_WITH_TIMEOUT(availability.size(), 1, Generous);
    QCOMPARE(availability.first().first().toBool(), false);
    QVERIFY(store.isReadOnly());
    QCOMPARE(added(store, {u"0618"_s, u"Theta"_s, u""_s}).outcome, ContactStore::Outcome::ReadOnly);
    // Listed meanwhile: the contacts last read.
    const Expected<QList<ContactRow>> away = listing(store);
    QVERIFY(away);
    QCOMPARE(*away, before);
    QCOMPARE(store.nameOfNumber(u"0617"_s), u"Eta"_s);

    // Changed while this store was away: the fresh listing shows it.
    QString why;
    QVERIFY2(m_server.start(&why), qPrintable(why));
    psql(u"office"_s, u"INSERT INTO anagrafica (fax, nome, gruppo) VALUES ('0619', 'Iota', '')"_s);
    changes.clear();
    QTRY_COMPARE_WITH_TIMEOUT(availability.size(), 2, Generous);
    QCOMPARE(availability.last().first().toBool(), true);
    QTRY_VERIFY_WITH_TIMEOUT(!changes.isEmpty(), Generous);
    QVERIFY(!store.isReadOnly());
    const QList<ContactRow> after = rowsOf(store);
    QCOMPARE(after.size(), before.size() + 1);
    QVERIFY(after.contains(ContactRow{u"0619"_s, u"Iota"_s, u""_s}));

    // Listening again, once: another desk's change is announced.
    changes.clear();
    ServerContactStore other(uri(u"creator"_s, u"office"_s, CreatorPassword));
    QCOMPARE(added(other, {u"0620"_s, u"Kappa"_s, u""_s}).outcome, ContactStore::Outcome::Done);
    QTRY_VERIFY_WITH_TIMEOUT(!changes.isEmpty(), Generous);
    QTest::qWait(200);
    QCOMPARE(changes.size(), 1);
}

// A server that stops answering (its host frozen): the statement waiting on
// it fails within its limit, and the store comes back once the server does.
void TestServerContactStore::frozenServerIsLeft()
{
    ServerContactStore store(uri(u"creator"_s, u"office"_s, CreatorPassword));
    QVERIFY(listing(store));
    auto leaving = std::make_unique<ServerContactStore>(uri(u"creator"_s, u"office"_s, CreatorPassword));
    QVERIFY(listing(*leaving));
    QSignalSpy availability(&store, &ContactStore::availabilityChanged);
    m_server.freeze(true);
    // Deleted while its statement waits: it does not wait with it.
    (void)leaving->list();
    QTest::qWait(300);
    leaving.reset();
    const Expected<QList<ContactRow>> stalled = listing(store);
    m_server.freeze(false);
    // Given up: the contacts last read, and the store read-only.
    QVERIFY(stalled);
    QCOMPARE(availability.size(), 1);
    QCOMPARE(availability.first().first().toBool(), false);
    QTRY_COMPARE_WITH_TIMEOUT(availability.size(), 2, Generous);
    QVERIFY(listing(store));
}

void TestServerContactStore::copyOfTheLastListing_data()
{
    // What is done to the copy before a program starts with the server away.
    QTest::addColumn<QString>("spoil");
    QTest::newRow("kept as written") << QString();
    QTest::newRow("readable by others") << u"mode"_s;
    QTest::newRow("a symlink to a copy") << u"link"_s;
    QTest::newRow("another user's") << u"owner"_s;
}

// The last listing read is kept in a private file: a program started while
// the server is away lists it, exactly, read-only; a copy that is not the
// user's own private file is left alone.
void TestServerContactStore::copyOfTheLastListing()
{
    QFETCH(QString, spoil);
    if (spoil == "owner"_L1 && ::geteuid() != 0)
        QSKIP("only root can give a file to another user");
    const QString address = uri(u"creator"_s, u"copies"_s, CreatorPassword);
    const QList<ContactRow> kept{
        {u"0'1\"2"_s, u"O'Brien\"; DROP TABLE anagrafica; --"_s, u"\\ $1 ?"_s},
        {u"0612"_s, QString(100 * 1024, u'n'), u"g"_s},
        {u"+39 06"_s, u"Società Ünïcode 😀"_s, u"Città"_s},
        {},
    };
    {
        ServerContactStore store(address);
        QVERIFY(listing(store));
        psql(u"copies"_s, u"DELETE FROM anagrafica"_s);
        for (const ContactRow& row : kept)
            QCOMPARE(added(store, row).outcome, ContactStore::Outcome::Done);
        QCOMPARE(rowsOf(store).size(), kept.size());
    }
    const Expected<QString> copy = ListingCopy::pathFor(address);
    QVERIFY(copy);
    QCOMPARE(QFileInfo(*copy).permissions(),
             QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    // Nothing was left aside of it.
    QCOMPARE(QDir(QFileInfo(*copy).path()).entryList(QDir::Files).filter(u".new-"_s), QStringList());
    if (spoil == "mode"_L1) {
        QVERIFY(QFile::setPermissions(*copy, QFileInfo(*copy).permissions() | QFile::ReadOther));
    } else if (spoil == "link"_L1) {
        QVERIFY(QFile::rename(*copy, *copy + u".target"_s));
        QVERIFY(QFile::link(*copy + u".target"_s, *copy));
    } else if (spoil == "owner"_L1) {
        QCOMPARE(::chown(QFile::encodeName(*copy).constData(), 65534, 65534), 0);
    }

    m_server.stop();
    ServerContactStore started(address);
    const Expected<QList<ContactRow>> rows = listing(started);
    const bool readOnly = started.isReadOnly();
    const QString named = started.nameOfNumber(u"0612"_s);
    QString why;
    QVERIFY2(m_server.start(&why), qPrintable(why));
    QVERIFY(readOnly);
    if (!spoil.isEmpty()) {
        QVERIFY(!rows);
        QVERIFY(named.isEmpty());
        return;
    }
    QVERIFY(rows);
    QCOMPARE(rows->size(), kept.size());
    for (const ContactRow& row : kept)
        QCOMPARE(rows->count(row), 1);
    QCOMPARE(named, kept.at(1).description);
}

QTEST_GUILESS_MAIN(TestServerContactStore)
#include "tst_servercontactstore.moc"
