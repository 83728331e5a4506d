#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

namespace kestrel::test {

// Another program's connection to an SQLite file (a backup tool, an editor),
// to hold its locks against the program under test. One at a time.
class OtherProgram
{
public:
    explicit OtherProgram(const QString& path)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), Name);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=0"));
        db.setDatabaseName(path);
        QVERIFY(db.open());
    }
    ~OtherProgram() { QSqlDatabase::removeDatabase(Name); }
    OtherProgram(const OtherProgram&) = delete;
    OtherProgram& operator=(const OtherProgram&) = delete;

    QSqlQuery query() const { return QSqlQuery(QSqlDatabase::database(Name)); }
    bool exec(const QString& statement) const { return query().exec(statement); }
    // A read lock, as a reader inside a transaction holds it.
    bool holdReadLock() const
    {
        QSqlQuery select = query();
        return select.exec(QStringLiteral("BEGIN")) &&
               select.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")) && select.next();
    }
    QVariant value(const QString& statement) const
    {
        QSqlQuery select = query();
        return select.exec(statement) && select.next() ? select.value(0) : QVariant();
    }

private:
    static inline const QString Name = QStringLiteral("other-program");
};

} // namespace kestrel::test
