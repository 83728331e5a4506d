#include "ContactDatabase.h"

#include "ClientTexts.h"
#include "ContactStatements.h"
#include "MessageBox.h"
#include "NormalizeFaxNumber.h"
#include "ShippedDatabase.h"

#include <QAtomicInt>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUrl>

#include <optional>

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

// SQLite's own number for a file it cannot open.
constexpr int SqliteCantOpen = 14;
// The longest a quiet question waits for a database another program holds.
constexpr int QuietBusyTimeoutMs = 250;

struct Failure
{
    Error error;
    QString statement;
};

QString nextConnectionName()
{
    static QAtomicInt counter;
    return u"kestrel-contacts-"_s + QString::number(counter.fetchAndAddRelaxed(1) + 1);
}

// As a URI with mode=rw, SQLite opens the file for reading and writing but
// never creates it: a RUBRICA that names a missing file must fail into the
// dialog, not turn into an empty database without the table.
QString openUri(const QString& path)
{
    return QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded) +
           u"?mode=rw"_s;
}

Error errorOf(const QSqlError& error)
{
    bool numeric = false;
    const int number = error.nativeErrorCode().toInt(&numeric);
    const QString description = error.databaseText().isEmpty() ? error.driverText() : error.databaseText();
    return Error{description, numeric ? number : 0};
}

std::optional<Failure> execute(QSqlDatabase& db, const QString& statement,
                               const ContactDatabase::RowReader& eachRow)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(statement))
        return Failure{errorOf(query.lastError()), statement};
    while (query.next()) {
        if (eachRow)
            eachRow(query);
    }
    if (query.lastError().isValid())
        return Failure{errorOf(query.lastError()), statement};
    return std::nullopt;
}

std::optional<Failure> executeAll(QSqlDatabase& db, const QStringList& statements,
                                  const ContactDatabase::RowReader& eachRow, bool oneTransaction)
{
    if (oneTransaction) {
        if (auto failure = execute(db, u"BEGIN"_s, {}))
            return failure;
    }
    for (const QString& statement : statements) {
        if (auto failure = execute(db, statement, eachRow)) {
            if (oneTransaction)
                execute(db, u"ROLLBACK"_s, {});
            return failure;
        }
    }
    if (oneTransaction) {
        if (auto failure = execute(db, u"COMMIT"_s, {})) {
            execute(db, u"ROLLBACK"_s, {});
            return failure;
        }
    }
    return std::nullopt;
}

QString text(const QSqlQuery& row, int column)
{
    // A missing column or a NULL (only other programs write those) lists as "".
    return column < 0 ? QString() : row.value(column).toString();
}

} // namespace

ContactDatabase::ContactDatabase(QString databasePath, IMessageBox& messageBox)
    : m_databasePath(std::move(databasePath)), m_connectionString(connectionStringFor(m_databasePath)),
      m_messageBox(messageBox)
{}

QString ContactDatabase::connectionStringFor(const QString& databasePath)
{
    return u"Provider=SQLite;Data Source='"_s + databasePath + u'\'';
}

Status ContactDatabase::ExecuteSql(const QString& statement, const RowReader& eachRow)
{
    return run({statement}, eachRow, false);
}

Status ContactDatabase::run(const QStringList& statements, const RowReader& eachRow, bool oneTransaction,
                            OnFailure onFailure)
{
    const int busyTimeoutMs =
        onFailure == OnFailure::Quiet ? qMin(m_busyTimeoutMs, QuietBusyTimeoutMs) : m_busyTimeoutMs;
    const QString name = nextConnectionName();
    std::optional<Failure> failure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, name);
        if (!db.isValid()) {
            failure = Failure{errorOf(db.lastError()), statements.constFirst()};
        } else if (m_databasePath.isEmpty()) {
            failure =
                Failure{Error{u"unable to open database file"_s, SqliteCantOpen}, statements.constFirst()};
        } else if (ShippedDatabase::isShipped(m_databasePath)) {
            // Installing copies it to every new user: whatever went into it
            // would be everybody's.
            failure =
                Failure{Error{texts::book::ShippedDatabaseRefused, SqliteCantOpen}, statements.constFirst()};
        } else {
            db.setConnectOptions(u"QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT="_s +
                                 QString::number(busyTimeoutMs));
            db.setDatabaseName(openUri(m_databasePath));
            if (!db.open())
                failure = Failure{errorOf(db.lastError()), statements.constFirst()};
            else
                failure = executeAll(db, statements, eachRow, oneTransaction);
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    // The dialog comes after the connection is gone, so that no lock is held
    // while the user reads it.
    if (failure && onFailure == OnFailure::Quiet)
        return failure->error;
    if (failure)
        return fail(failure->error, failure->statement);
    return {};
}

Status ContactDatabase::fail(const Error& error, const QString& statement)
{
    ShowSqlError(sqlErrorMessage(error, statement, m_connectionString));
    return error;
}

QString ContactDatabase::sqlErrorMessage(const Error& error, const QString& statement,
                                         const QString& connectionString)
{
    using namespace texts::book;
    return SqlErrorNumber + QString::number(error.number) + u'\n' + SqlErrorDescription + error.message +
           u'\n' + SqlErrorCommand + statement + u'\n' + connectionString + u'\n';
}

void ContactDatabase::ShowSqlError(const QString& message)
{
    using namespace texts::book;
    const MessageBoxRequest question{message + u"\n\n"_s + SqlErrorQuestion, SqlErrorTitle, MsgIcon::None,
                                     MsgButtons::YesNo};
    if (m_messageBox.show(question) == MsgAnswer::Yes)
        m_messageBox.show(MessageBoxRequest{SqlErrorThanks, QString(), MsgIcon::Information, MsgButtons::Ok});
}

Expected<QList<ContactRow>> ContactDatabase::listContacts()
{
    QList<ContactRow> rows;
    int fax = -1;
    int nome = -1;
    int gruppo = -1;
    const Status status = ExecuteSql(ContactStatements::listing(), [&](const QSqlQuery& row) {
        if (rows.isEmpty()) {
            // Field names are matched without regard to case.
            const QSqlRecord record = row.record();
            fax = record.indexOf(u"fax"_s);
            nome = record.indexOf(u"Nome"_s);
            gruppo = record.indexOf(u"Gruppo"_s);
        }
        // The rowid comes first, under whatever name the table gives it.
        rows.append(
            ContactRow{text(row, fax), text(row, nome), text(row, gruppo), row.value(0).toLongLong()});
    });
    if (!status)
        return status.error();
    return rows;
}

QString ContactDatabase::nameOfNumber(const QString& number)
{
    const QString wanted = FaxNumberDigits(number);
    if (wanted.isEmpty())
        return {};
    int fax = -1;
    int nome = -1;
    std::optional<QString> name;
    const Status status = run(
        {ContactStatements::listing()},
        [&](const QSqlQuery& row) {
            if (fax < 0) {
                const QSqlRecord record = row.record();
                fax = record.indexOf(u"fax"_s);
                nome = record.indexOf(u"Nome"_s);
            }
            if (!name && FaxNumberDigits(text(row, fax)) == wanted)
                name = text(row, nome);
        },
        false, OnFailure::Quiet);
    return status ? name.value_or(QString()) : QString();
}

Status ContactDatabase::insertContact(const ContactRow& row)
{
    return ExecuteSql(ContactStatements::insertion(row));
}

Status ContactDatabase::deleteContact(qint64 rowid)
{
    return ExecuteSql(ContactStatements::deletion(rowid));
}

Status ContactDatabase::replaceContact(qint64 rowid, const ContactRow& row)
{
    // One transaction: an insertion that fails after the deletion must not
    // lose the contact.
    return run({ContactStatements::deletion(rowid), ContactStatements::insertion(row)}, {}, true);
}

} // namespace kestrel
