#include "ClientTexts.h"
#include "ContactDatabase.h"
#include "ScriptedMessageBox.h"
#include "ShippedDatabase.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

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
    void neverOpenedAsAContactDatabase();
    void clientRunFromTheBuildTreeLeavesItAsBuilt();

private:
    static bool sameFile(const QString& a, const QString& b);
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

bool tst_ShippedDatabase::sameFile(const QString& a, const QString& b)
{
    struct stat first = {};
    struct stat second = {};
    return ::stat(QFile::encodeName(a).constData(), &first) == 0 &&
           ::stat(QFile::encodeName(b).constData(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

void tst_ShippedDatabase::neverOpenedAsAContactDatabase()
{
    const QByteArray before = read(shipped());
    ScriptedMessageBox boxes;
    boxes.setNextAnswers({kestrel::MsgAnswer::No});
    ContactDatabase db(shipped(), boxes);
    QVERIFY(!db.insertContact({u"0212"_s, u"Rossi"_s, u"1"_s}));
    QCOMPARE(boxes.shown().size(), 1);
    QVERIFY(boxes.shown().first().text.contains(kestrel::texts::book::ShippedDatabaseRefused));
    QCOMPARE(read(shipped()), before);
}

void tst_ShippedDatabase::clientRunFromTheBuildTreeLeavesItAsBuilt()
{
    // The database as the build makes it.
    const QString fresh = m_dir->filePath(u"fresh.db"_s);
    QCOMPARE(QProcess::execute(QString::fromUtf8(KESTREL_MAKE_RUBRICA), {fresh}), 0);
    QCOMPARE(read(shipped()), read(fresh));

    // The client in the build tree, with its program folder there (where a
    // developer runs it), up to its first start's copy of the database.
    const QString client = QString::fromUtf8(KESTREL_CORVAFAX);
    const QString own = QFileInfo(client).absolutePath() + u"/rubrica.db"_s;
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    const QString freePort = QString::number(probe.serverPort());
    probe.close();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(u"KESTREL_PROGRAM_DIR"_s);
    for (const QString& folder : {u"XDG_RUNTIME_DIR"_s, u"TMPDIR"_s, u"HOME"_s, u"TEMP"_s})
        environment.insert(folder, m_dir->path());
    for (const QString& port : {u"KESTREL_PRINT_PORT"_s, u"KESTREL_HTTP_PORT"_s, u"KESTREL_FAX_PORT"_s})
        environment.insert(port, freePort);
    environment.insert(u"CUPS_SERVER"_s, m_dir->filePath(u"no-cupsd.sock"_s));
    environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    QProcess run;
    run.setProcessEnvironment(environment);
    run.start(client, {});
    QVERIFY(run.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(own), 10000);
    run.terminate();
    if (!run.waitForFinished(5000)) {
        run.kill();
        run.waitForFinished();
    }
    QVERIFY2(!sameFile(own, shipped()), "the client took the shipped database as its own");
    QCOMPARE(read(shipped()), read(fresh));

    // A staged install, as packages are built, ships it as built.
    const QString stage = m_dir->filePath(u"stage"_s);
    qputenv("DESTDIR", QFile::encodeName(stage));
    const int installed = QProcess::execute(
        QString::fromUtf8(KESTREL_CMAKE_COMMAND),
        {u"--install"_s, QString::fromUtf8(KESTREL_BINARY_DIR), u"--component"_s, u"contact-database"_s});
    qunsetenv("DESTDIR");
    QCOMPARE(installed, 0);
    QCOMPARE(read(stage + QString::fromUtf8(KESTREL_RUBRICA_INSTALLED)), read(fresh));
}

QTEST_GUILESS_MAIN(tst_ShippedDatabase)
#include "tst_shippeddatabase.moc"
