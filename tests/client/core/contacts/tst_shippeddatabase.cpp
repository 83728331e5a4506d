#include "ContactDatabase.h"
#include "ScriptedMessageBox.h"
#include "ShippedDatabase.h"

#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

using kestrel::ContactDatabase;
using kestrel::ShippedDatabase;
using kestrel::test::ScriptedMessageBox;

class tst_ShippedDatabase : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void tableAsTheStatementsNeedIt();
    void buildLocationIsACandidate();
    void firstStart_data();
    void firstStart();

private:
    static QByteArray read(const QString& path);
    QString shipped() const { return QString::fromUtf8(KESTREL_SHIPPED_RUBRICA); }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_ShippedDatabase::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
}

QByteArray tst_ShippedDatabase::read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void tst_ShippedDatabase::tableAsTheStatementsNeedIt()
{
    const QString path = m_dir->filePath(u"rubrica.db"_s);
    QVERIFY(QFile::copy(shipped(), path));
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    ScriptedMessageBox boxes;
    ContactDatabase db(path, boxes);
    QStringList columns;
    QVERIFY(
        db.ExecuteSql(u"SELECT name, type FROM pragma_table_info('anagrafica')"_s, [&](const QSqlQuery& row) {
            columns << row.value(0).toString() + u' ' + row.value(1).toString();
        }));
    QCOMPARE(columns, (QStringList{u"fax TEXT"_s, u"nome TEXT"_s, u"gruppo TEXT"_s}));
    QVERIFY(db.listContacts()->isEmpty());
    QVERIFY(boxes.shown().isEmpty());
}

void tst_ShippedDatabase::buildLocationIsACandidate()
{
    QVERIFY(ShippedDatabase::candidates().contains(shipped()));
    QVERIFY(!ShippedDatabase::locate().isEmpty());
}

void tst_ShippedDatabase::firstStart_data()
{
    QTest::addColumn<QString>("actual"); // relative to the temporary folder
    QTest::addColumn<bool>("existing");  // a database is already at the default path
    QTest::addColumn<bool>("hasShipped");
    QTest::addColumn<bool>("copied");
    QTest::addColumn<bool>("succeeds");
    QTest::newRow("default path, no file: copied") << u"prog/rubrica.db"_s << false << true << true << true;
    QTest::newRow("same path spelled otherwise")
        << u"prog/./x/../rubrica.db"_s << false << true << true << true;
    QTest::newRow("default path, file there: kept") << u"prog/rubrica.db"_s << true << true << false << true;
    QTest::newRow("another missing path: left alone")
        << u"elsewhere/mine.db"_s << false << true << false << true;
    QTest::newRow("nothing shipped") << u"prog/rubrica.db"_s << false << false << false << false;
}

void tst_ShippedDatabase::firstStart()
{
    QFETCH(QString, actual);
    QFETCH(bool, existing);
    QFETCH(bool, hasShipped);
    QFETCH(bool, copied);
    QFETCH(bool, succeeds);
    const QString defaultPath = m_dir->filePath(u"prog/rubrica.db"_s);
    if (existing) {
        QDir().mkpath(m_dir->filePath(u"prog"_s));
        QFile file(defaultPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("the user's own contacts");
    }
    const QString shippedPath = hasShipped ? shipped() : m_dir->filePath(u"none.db"_s);

    const auto status = ShippedDatabase::copyOnFirstStart(defaultPath, m_dir->filePath(actual), shippedPath);
    QCOMPARE(bool(status), succeeds);
    if (copied) {
        QCOMPARE(read(defaultPath), read(shipped()));
        QCOMPARE(QFile::permissions(defaultPath) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser),
                 QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    } else if (existing) {
        QCOMPARE(read(defaultPath), QByteArray("the user's own contacts"));
    } else {
        QVERIFY(!QFile::exists(defaultPath));
        QVERIFY(!QFile::exists(m_dir->filePath(actual)));
    }
}

QTEST_GUILESS_MAIN(tst_ShippedDatabase)
#include "tst_shippeddatabase.moc"
