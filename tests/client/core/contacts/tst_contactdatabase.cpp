#include "ClientTexts.h"
#include "ContactDatabase.h"
#include "ScriptedMessageBox.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QSemaphore>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <memory>

using namespace Qt::StringLiterals;

using kestrel::ContactDatabase;
using kestrel::ContactRow;
using kestrel::MsgAnswer;
using kestrel::MsgButtons;
using kestrel::MsgIcon;
using kestrel::test::ScriptedMessageBox;
namespace book = kestrel::texts::book;

using Rows = QList<ContactRow>;

namespace kestrel {
// Found by QCOMPARE through the row's namespace; this file's alone.
static char* toString(const ContactRow& row)
{
    return QTest::toString(u"{"_s + row.number + u" | "_s + row.description + u" | "_s + row.group + u'}');
}
} // namespace kestrel

namespace {

// Holds the database in an exclusive transaction from another thread, as a
// second program would, until holdMs have passed.
class LockHolder
{
public:
    LockHolder(const QString& path, int holdMs)
    {
        m_thread.reset(QThread::create([this, path, holdMs] {
            const QString name = u"lock-holder"_s;
            {
                QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, name);
                db.setDatabaseName(path);
                db.open();
                QSqlQuery query(db);
                m_locked = query.exec(u"BEGIN EXCLUSIVE"_s);
                m_ready.release();
                QThread::msleep(holdMs);
                query.exec(u"COMMIT"_s);
                query.finish();
                db.close();
            }
            QSqlDatabase::removeDatabase(name);
        }));
        m_thread->start();
        m_ready.acquire();
    }
    ~LockHolder() { m_thread->wait(); }
    bool locked() const { return m_locked; }

private:
    std::unique_ptr<QThread> m_thread;
    QSemaphore m_ready;
    bool m_locked = false;
};

} // namespace

class tst_ContactDatabase : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void storesAndListsAsTyped_data();
    void storesAndListsAsTyped();
    void emptyValuesAreEmptyText();
    void sameNumberEachRowItsOwn();
    void listingIgnoresCase();
    void pathWithUriCharacters();
    void missingFileFailsIntoDialog_data();
    void missingFileFailsIntoDialog();
    void failedStatementLetsCallerGoOn();
    void replacement_data();
    void replacement();
    void listedRowChangedMeanwhile_data();
    void listedRowChangedMeanwhile();
    void lockedDatabase_data();
    void lockedDatabase();
    void nameOfNumber_data();
    void nameOfNumber();
    void nameOfNumberIsQuiet();

private:
    QString freshDatabase(const QString& name = u"rubrica.db"_s);
    void addRefusingTrigger(ContactDatabase& db);

    QTemporaryDir m_dir;
    ScriptedMessageBox m_boxes;
};

void tst_ContactDatabase::init()
{
    // Any Qt warning fails the test: a connection still in use when it is
    // removed, an unknown connect option, ...
    QTest::failOnWarning(QRegularExpression(u".*"_s));
    m_boxes.clear();
    m_boxes.setNextAnswers({});
}

void tst_ContactDatabase::cleanup()
{
    QCOMPARE(QSqlDatabase::connectionNames(), QStringList());
}

QString tst_ContactDatabase::freshDatabase(const QString& name)
{
    const QString path = m_dir.filePath(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile::remove(path);
    if (!QFile::copy(QString::fromUtf8(KESTREL_SHIPPED_RUBRICA), path))
        qFatal("cannot copy the shipped database");
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return path;
}

void tst_ContactDatabase::addRefusingTrigger(ContactDatabase& db)
{
    QVERIFY(db.ExecuteSql(u"CREATE TRIGGER refuse BEFORE INSERT ON anagrafica WHEN NEW.nome = 'rifiuta' "
                          u"BEGIN SELECT RAISE(ABORT, 'rifiutato'); END"_s));
}

void tst_ContactDatabase::storesAndListsAsTyped_data()
{
    QTest::addColumn<ContactRow>("row");
    QTest::newRow("apostrophe") << ContactRow{u"0212345"_s, u"Dell'Orto"_s, u"1"_s};
    QTest::newRow("statement in the text") << ContactRow{u"021"_s, u"'); DROP TABLE anagrafica;--"_s, u"2"_s};
    QTest::newRow("quotes and backslashes")
        << ContactRow{u"021"_s, u"\"Ditta\" C:\\fax\\ \\' \\\\"_s, u"Clienti"_s};
    QTest::newRow("non-Latin letters") << ContactRow{u"021"_s, u"Ωμέγα 東京 Ünal 🙂"_s, u"Ü"_s};
    QTest::newRow("leading zeros and plus") << ContactRow{u"+39 0021"_s, u"x"_s, u"007"_s};
    QTest::newRow("hostile number") << ContactRow{u"' OR '1'='1"_s, u"%_*"_s, u"1"_s};
}

void tst_ContactDatabase::storesAndListsAsTyped()
{
    QFETCH(ContactRow, row);
    ContactDatabase db(freshDatabase(), m_boxes);
    QVERIFY(db.insertContact(ContactRow{u"099"_s, u"Zeta"_s, u"9"_s}));
    QVERIFY(db.insertContact(row));
    auto rows = db.listContacts();
    QVERIFY(rows);
    QCOMPARE(rows->size(), 2);
    QVERIFY(rows->contains(row));

    // The statement texts address exactly that row and nothing else.
    QCOMPARE(db.deleteContact(rows->at(rows->indexOf(row))), ContactDatabase::Change::Made);
    rows = db.listContacts();
    QVERIFY(rows);
    QCOMPARE(*rows, (Rows{ContactRow{u"099"_s, u"Zeta"_s, u"9"_s}}));
    QVERIFY(m_boxes.shown().isEmpty());
}

void tst_ContactDatabase::emptyValuesAreEmptyText()
{
    ContactDatabase db(freshDatabase(), m_boxes);
    QVERIFY(db.insertContact(ContactRow{u"021"_s, QString(), QString()}));
    QStringList types;
    QVERIFY(db.ExecuteSql(u"SELECT typeof(fax), typeof(nome), typeof(gruppo) FROM anagrafica"_s,
                          [&types](const QSqlQuery& row) {
                              for (int column = 0; column < 3; ++column)
                                  types << row.value(column).toString();
                          }));
    QCOMPARE(types, (QStringList{u"text"_s, u"text"_s, u"text"_s}));
}

void tst_ContactDatabase::sameNumberEachRowItsOwn()
{
    ContactDatabase db(freshDatabase(), m_boxes);
    QVERIFY(db.insertContact(ContactRow{u"0212"_s, u"Rossi"_s, u"1"_s}));
    QVERIFY(db.insertContact(ContactRow{u"0212"_s, u"Rossi"_s, u"1"_s}));
    QVERIFY(db.insertContact(ContactRow{u"0213"_s, u"Bianchi"_s, u"1"_s}));
    const Rows listed = *db.listContacts();
    QCOMPARE(listed.size(), 3);
    QCOMPARE(QSet<qint64>({listed.at(0).rowid, listed.at(1).rowid, listed.at(2).rowid}).size(), 3);

    ContactRow missing = listed.at(2);
    missing.rowid = 9999;
    QCOMPARE(db.deleteContact(missing), ContactDatabase::Change::RowChanged);
    QCOMPARE(db.listContacts()->size(), 3);
    QCOMPARE(db.deleteContact(listed.at(2)), ContactDatabase::Change::Made); // one of the two alike
    QCOMPARE(*db.listContacts(),
             (Rows{ContactRow{u"0213"_s, u"Bianchi"_s, u"1"_s}, ContactRow{u"0212"_s, u"Rossi"_s, u"1"_s}}));
    QVERIFY(m_boxes.shown().isEmpty());
}

void tst_ContactDatabase::listingIgnoresCase()
{
    ContactDatabase db(freshDatabase(), m_boxes);
    const QStringList names{u"Rossi"_s, u"bianchi"_s, u"alberti"_s, u"Bianchi"_s, u"Conti"_s};
    for (const QString& name : names)
        QVERIFY(db.insertContact(ContactRow{u"021"_s, name, u"1"_s}));
    for (const QString& group : {u"2"_s, u"10"_s, u"clienti"_s, u"Clienti"_s})
        QVERIFY(db.insertContact(ContactRow{u"021"_s, u"x"_s, group}));

    const auto rows = db.listContacts();
    QVERIFY(rows);
    QStringList listed;
    for (const ContactRow& row : *rows)
        listed << (row.group + u'/' + row.description).toLower();
    // Text order for the group ("10" before "2"), case set aside for both.
    QCOMPARE(listed, (QStringList{u"1/alberti"_s, u"1/bianchi"_s, u"1/bianchi"_s, u"1/conti"_s, u"1/rossi"_s,
                                  u"10/x"_s, u"2/x"_s, u"clienti/x"_s, u"clienti/x"_s}));
}

void tst_ContactDatabase::pathWithUriCharacters()
{
    const QString path = freshDatabase(u"a b#c?d%25e ü&f/rubrica.db"_s);
    ContactDatabase db(path, m_boxes);
    QVERIFY(db.insertContact(ContactRow{u"021"_s, u"Rossi"_s, u"1"_s}));
    QCOMPARE(db.listContacts()->size(), 1);
    QCOMPARE(QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files), QStringList{u"rubrica.db"_s});
    QCOMPARE(db.connectionString(), u"Provider=SQLite;Data Source='"_s + path + u'\'');
}

void tst_ContactDatabase::missingFileFailsIntoDialog_data()
{
    QTest::addColumn<MsgAnswer>("answer");
    QTest::newRow("No") << MsgAnswer::No;
    QTest::newRow("Yes") << MsgAnswer::Yes;
}

void tst_ContactDatabase::missingFileFailsIntoDialog()
{
    QFETCH(MsgAnswer, answer);
    const QString path = m_dir.filePath(u"missing.db"_s);
    ContactDatabase db(path, m_boxes);
    m_boxes.setNextAnswers({answer});

    const auto rows = db.listContacts();
    QVERIFY(!rows);
    QCOMPARE(rows.error().number, 14);
    QVERIFY2(!QFile::exists(path), "opening must not create the database");

    QVERIFY(!m_boxes.shown().isEmpty());
    const auto& question = m_boxes.shown().at(0);
    QCOMPARE(question.text, u"Errore N° 14\nDescrizione =  unable to open database file\n"
                            u"Comando = SELECT rowid,* FROM anagrafica ORDER BY gruppo,nome\n"
                            u"Provider=SQLite;Data Source='"_s +
                                path + u"'\n\n\nErrore SQL procedere ?"_s);
    QCOMPARE(question.title, book::SqlErrorTitle);
    QCOMPARE(question.buttons, MsgButtons::YesNo);
    QCOMPARE(question.icon, MsgIcon::None);
    if (answer == MsgAnswer::No) {
        QCOMPARE(m_boxes.shown().size(), 1);
        return;
    }
    QCOMPARE(m_boxes.shown().size(), 2);
    const auto& thanks = m_boxes.shown().at(1);
    QCOMPARE(thanks.text, book::SqlErrorThanks);
    QCOMPARE(thanks.title, QString());
    QCOMPARE(thanks.icon, MsgIcon::Information);
    QCOMPARE(thanks.buttons, MsgButtons::Ok);
}

void tst_ContactDatabase::failedStatementLetsCallerGoOn()
{
    ContactDatabase db(freshDatabase(), m_boxes);
    addRefusingTrigger(db);
    m_boxes.setNextAnswers({MsgAnswer::No});
    // The editor's order: a failed insertion, then the list is rebuilt.
    const auto inserted = db.insertContact(ContactRow{u"021"_s, u"rifiuta"_s, u"1"_s});
    QVERIFY(!inserted);
    QVERIFY(db.insertContact(ContactRow{u"022"_s, u"Rossi"_s, u"1"_s}));
    QCOMPARE(*db.listContacts(), (Rows{ContactRow{u"022"_s, u"Rossi"_s, u"1"_s}}));
    QCOMPARE(m_boxes.shown().size(), 1);
    QVERIFY(m_boxes.shown().at(0).text.contains(book::SqlErrorCommand +
                                                u"INSERT INTO anagrafica values('021','rifiuta','1')\n"_s));
    QVERIFY(m_boxes.shown().at(0).text.contains(book::SqlErrorDescription + u"rifiutato\n"_s));
}

void tst_ContactDatabase::replacement_data()
{
    QTest::addColumn<ContactRow>("edited");
    QTest::addColumn<Rows>("expected");
    QTest::addColumn<QString>("failedStatement");
    const ContactRow other{u"0300"_s, u"Verdi"_s, u"3"_s};
    const ContactRow changed{u"0399"_s, u"Rossi"_s, u"2"_s};
    QTest::newRow("new number and group: that row changed, the other of its number kept")
        << changed << Rows{ContactRow{u"0212"_s, u"Rossi bis"_s, u"1"_s}, changed, other} << QString();
    QTest::newRow("failing insertion keeps the old rows")
        << ContactRow{u"0399"_s, u"rifiuta"_s, u"2"_s}
        << Rows{ContactRow{u"0212"_s, u"Rossi"_s, u"1"_s}, ContactRow{u"0212"_s, u"Rossi bis"_s, u"1"_s},
                other}
        << u"INSERT INTO anagrafica values('0399','rifiuta','2')"_s;
}

void tst_ContactDatabase::replacement()
{
    QFETCH(ContactRow, edited);
    QFETCH(Rows, expected);
    QFETCH(QString, failedStatement);
    ContactDatabase db(freshDatabase(), m_boxes);
    addRefusingTrigger(db);
    QVERIFY(db.insertContact(ContactRow{u"0212"_s, u"Rossi"_s, u"1"_s}));
    QVERIFY(db.insertContact(ContactRow{u"0212"_s, u"Rossi bis"_s, u"1"_s}));
    QVERIFY(db.insertContact(ContactRow{u"0300"_s, u"Verdi"_s, u"3"_s}));

    const Rows listed = *db.listContacts();
    QCOMPARE(listed.at(0), (ContactRow{u"0212"_s, u"Rossi"_s, u"1"_s}));
    m_boxes.setNextAnswers({MsgAnswer::No});
    QCOMPARE(db.replaceContact(listed.at(0), edited),
             failedStatement.isEmpty() ? ContactDatabase::Change::Made : ContactDatabase::Change::Failed);
    QCOMPARE(*db.listContacts(), expected);
    if (failedStatement.isEmpty()) {
        QVERIFY(m_boxes.shown().isEmpty());
    } else {
        QCOMPARE(m_boxes.shown().size(), 1);
        QVERIFY(m_boxes.shown().at(0).text.contains(book::SqlErrorCommand + failedStatement + u'\n'));
    }
}

void tst_ContactDatabase::listedRowChangedMeanwhile_data()
{
    QTest::addColumn<QStringList>("meanwhile"); // another program's statements
    QTest::addColumn<bool>("replace");          // the editor's save, else a deletion
    QTest::addColumn<bool>("made");
    QTest::addColumn<QStringList>("namesAfter");
    const QString takeRowid = u"INSERT INTO anagrafica values('0399','Neri','3')"_s;
    QTest::newRow("deleted, its rowid given to a new contact")
        << QStringList{u"DELETE FROM anagrafica WHERE nome='Verdi'"_s, takeRowid} << false << false
        << QStringList{u"Rossi"_s, u"Bianchi"_s, u"Neri"_s};
    QTest::newRow("the same, the editor's save")
        << QStringList{u"DELETE FROM anagrafica WHERE nome='Verdi'"_s, takeRowid} << true << false
        << QStringList{u"Rossi"_s, u"Bianchi"_s, u"Neri"_s};
    QTest::newRow("renumbered by VACUUM")
        << QStringList{u"DELETE FROM anagrafica WHERE nome='Bianchi'"_s, u"VACUUM"_s} << false << false
        << QStringList{u"Rossi"_s, u"Verdi"_s};
    QTest::newRow("only its letter case changed")
        << QStringList{u"UPDATE anagrafica SET nome='VERDI' WHERE nome='Verdi'"_s} << false << false
        << QStringList{u"Rossi"_s, u"Bianchi"_s, u"VERDI"_s};
    QTest::newRow("unchanged") << QStringList() << true << true
                               << QStringList{u"Rossi"_s, u"Bianchi"_s, u"Verdone"_s};
}

// Another program changed the table after the listing: a change of the
// listed row touches no other contact, and says the row is not the one
// listed any more.
void tst_ContactDatabase::listedRowChangedMeanwhile()
{
    QFETCH(QStringList, meanwhile);
    QFETCH(bool, replace);
    QFETCH(bool, made);
    QFETCH(QStringList, namesAfter);
    const QString path = freshDatabase();
    ContactDatabase db(path, m_boxes);
    for (const QString& name : {u"Rossi"_s, u"Bianchi"_s})
        QVERIFY(db.insertContact(ContactRow{u"0212"_s, name, u"1"_s}));
    QVERIFY(db.ExecuteSql(u"INSERT INTO anagrafica values('0300','Verdi',NULL)"_s));
    // Listed by group: the one without (NULL lists as "") first.
    const Rows listed = *db.listContacts();
    QCOMPARE(listed,
             (Rows{ContactRow{u"0300"_s, u"Verdi"_s, QString()}, ContactRow{u"0212"_s, u"Bianchi"_s, u"1"_s},
                   ContactRow{u"0212"_s, u"Rossi"_s, u"1"_s}}));
    // The row stored last, but Bianchi for the renumbering.
    const ContactRow stale = listed.at(meanwhile.contains(u"VACUUM"_s) ? 1 : 0);

    ContactDatabase other(path, m_boxes);
    for (const QString& statement : std::as_const(meanwhile))
        QVERIFY(other.ExecuteSql(statement));
    const ContactDatabase::Change change =
        replace ? db.replaceContact(stale, ContactRow{u"0300"_s, u"Verdone"_s, u"2"_s})
                : db.deleteContact(stale);
    QCOMPARE(change, made ? ContactDatabase::Change::Made : ContactDatabase::Change::RowChanged);
    QStringList names;
    QVERIFY(db.ExecuteSql(u"SELECT nome FROM anagrafica ORDER BY rowid"_s,
                          [&names](const QSqlQuery& row) { names << row.value(0).toString(); }));
    QCOMPARE(names, namesAfter);
    QVERIFY(m_boxes.shown().isEmpty());
}

void tst_ContactDatabase::lockedDatabase_data()
{
    QTest::addColumn<bool>("listing");
    QTest::addColumn<int>("holdMs");
    QTest::addColumn<int>("timeoutMs");
    QTest::addColumn<bool>("succeeds");
    QTest::newRow("insertion waits for the release") << false << 400 << 5000 << true;
    QTest::newRow("listing waits for the release") << true << 400 << 5000 << true;
    QTest::newRow("insertion fails after the limit") << false << 2000 << 300 << false;
    QTest::newRow("listing fails after the limit") << true << 2000 << 300 << false;
}

void tst_ContactDatabase::lockedDatabase()
{
    QFETCH(bool, listing);
    QFETCH(int, holdMs);
    QFETCH(int, timeoutMs);
    QFETCH(bool, succeeds);
    const QString path = freshDatabase();
    ContactDatabase db(path, m_boxes);
    db.setBusyTimeout(timeoutMs);
    QVERIFY(db.insertContact(ContactRow{u"021"_s, u"Rossi"_s, u"1"_s}));

    m_boxes.setNextAnswers({MsgAnswer::No});
    QElapsedTimer elapsed;
    bool ran = false;
    {
        LockHolder holder(path, holdMs);
        QVERIFY(holder.locked());
        elapsed.start();
        ran = listing ? bool(db.listContacts())
                      : bool(db.insertContact(ContactRow{u"022"_s, u"Bianchi"_s, u"1"_s}));
    }
    QCOMPARE(ran, succeeds);
    QCOMPARE_GE(elapsed.elapsed(), qMin(holdMs, timeoutMs) - 50);
    if (succeeds) {
        QVERIFY(m_boxes.shown().isEmpty());
    } else {
        QCOMPARE(m_boxes.shown().size(), 1);
        QVERIFY(m_boxes.shown().at(0).text.startsWith(u"Errore N° 5\nDescrizione =  database is locked\n"_s));
    }
    QCOMPARE(db.listContacts()->size(), (succeeds && !listing) ? 2 : 1);
}

void tst_ContactDatabase::nameOfNumber_data()
{
    QTest::addColumn<QString>("asked");
    QTest::addColumn<QString>("name");
    QTest::newRow("as stored") << u"0612345"_s << u"Studio Rossi"_s;
    QTest::newRow("stored with blanks and +") << u"00390298765"_s << u"Milano"_s;
    QTest::newRow("shared: the first of the listing") << u"0655555"_s << u"Anna"_s;
    QTest::newRow("not in the book") << u"0699999"_s << QString();
    QTest::newRow("no digits") << u"abc"_s << QString();
}

void tst_ContactDatabase::nameOfNumber()
{
    QFETCH(QString, asked);
    QFETCH(QString, name);
    ContactDatabase db(freshDatabase(), m_boxes);
    for (const ContactRow& row :
         {ContactRow{u"0612345"_s, u"Studio Rossi"_s, u"1"_s},
          ContactRow{u"+39 02 98765"_s, u"Milano"_s, u"1"_s}, ContactRow{u"0655555"_s, u"Bruno"_s, u"1"_s},
          ContactRow{u"0655555"_s, u"Anna"_s, u"1"_s}})
        QVERIFY(db.insertContact(row));
    QCOMPARE(db.nameOfNumber(asked), name);
}

void tst_ContactDatabase::nameOfNumberIsQuiet()
{
    // Asked while a fax is recorded: no dialog, and no 5-second wait.
    const QString path = freshDatabase();
    ContactDatabase db(path, m_boxes);
    QVERIFY(db.insertContact(ContactRow{u"021"_s, u"Rossi"_s, u"1"_s}));
    QElapsedTimer elapsed;
    {
        LockHolder holder(path, 3000);
        QVERIFY(holder.locked());
        elapsed.start();
        QCOMPARE(db.nameOfNumber(u"021"_s), QString());
        QCOMPARE_LT(elapsed.elapsed(), 2000);
    }
    ContactDatabase missing(m_dir.filePath(u"none/rubrica.db"_s), m_boxes);
    QCOMPARE(missing.nameOfNumber(u"021"_s), QString());
    QVERIFY(m_boxes.shown().isEmpty());
}

QTEST_GUILESS_MAIN(tst_ContactDatabase)
#include "tst_contactdatabase.moc"
