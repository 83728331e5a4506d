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

std::optional<Failure> execute(QSqlDatabase& db, const SqlStatement& statement,
                               const ContactDatabase::RowReader& eachRow, int* changed = nullptr)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    bool ran = false;
    if (statement.values.isEmpty()) {
        ran = query.exec(statement.text);
    } else if (query.prepare(statement.text)) {
        for (const QVariant& value : statement.values)
            query.addBindValue(value);
        ran = query.exec();
    }
    if (!ran)
        return Failure{errorOf(query.lastError()), statement.text};
    while (query.next()) {
        if (eachRow)
            eachRow(query);
    }
    if (query.lastError().isValid())
        return Failure{errorOf(query.lastError()), statement.text};
    if (changed)
        *changed = query.numRowsAffected();
    return std::nullopt;
}

std::optional<Failure> execute(QSqlDatabase& db, const QString& statement)
{
    return execute(db, SqlStatement{statement, {}}, {});
}

// With guard, the first statement must change a row: when it changes none,
// nothing of the rest runs (the transaction is rolled back) and *guard is
// false.
std::optional<Failure> executeAll(QSqlDatabase& db, const QList<SqlStatement>& statements,
                                  const ContactDatabase::RowReader& eachRow, bool oneTransaction, bool* guard)
{
    if (oneTransaction) {
        if (auto failure = execute(db, u"BEGIN"_s))
            return failure;
    }
    for (qsizetype i = 0; i < statements.size(); ++i) {
        int changed = -1;
        if (auto failure = execute(db, statements.at(i), eachRow, &changed)) {
            if (oneTransaction)
                execute(db, u"ROLLBACK"_s);
            return failure;
        }
        if (guard && i == 0 && changed <= 0) {
            *guard = false;
            if (oneTransaction)
                execute(db, u"ROLLBACK"_s);
            return std::nullopt;
        }
    }
    if (oneTransaction) {
        if (auto failure = execute(db, u"COMMIT"_s)) {
            execute(db, u"ROLLBACK"_s);
            return failure;
        }
    }
    if (guard)
        *guard = true;
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
    return run({SqlStatement{statement, {}}}, eachRow, false);
}

Status ContactDatabase::run(const QList<SqlStatement>& statements, const RowReader& eachRow,
                            bool oneTransaction, OnFailure onFailure, bool* guard)
{
    const int busyTimeoutMs =
        onFailure == OnFailure::Quiet ? qMin(m_busyTimeoutMs, QuietBusyTimeoutMs) : m_busyTimeoutMs;
    const QString name = nextConnectionName();
    std::optional<Failure> failure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, name);
        if (!db.isValid()) {
            failure = Failure{errorOf(db.lastError()), statements.constFirst().text};
        } else if (m_databasePath.isEmpty()) {
            failure = Failure{Error{u"unable to open database file"_s, SqliteCantOpen},
                              statements.constFirst().text};
        } else if (ShippedDatabase::isShipped(m_databasePath)) {
            // Installing copies it to every new user: whatever went into it
            // would be everybody's.
            failure = Failure{Error{texts::book::ShippedDatabaseRefused, SqliteCantOpen},
                              statements.constFirst().text};
        } else {
            db.setConnectOptions(u"QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT="_s +
                                 QString::number(busyTimeoutMs));
            db.setDatabaseName(openUri(m_databasePath));
            if (!db.open())
                failure = Failure{errorOf(db.lastError()), statements.constFirst().text};
            else
                failure = executeAll(db, statements, eachRow, oneTransaction, guard);
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
    const QString message = sqlErrorMessage(error, statement, m_connectionString);
    if (m_failureReport)
        m_failureReport(message);
    else
        ShowSqlError(message);
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
    showSqlErrorDialog(m_messageBox, message);
}

void ContactDatabase::showSqlErrorDialog(IMessageBox& box, const QString& message)
{
    using namespace texts::book;
    const MessageBoxRequest question{message + u"\n\n"_s + SqlErrorQuestion, SqlErrorTitle, MsgIcon::None,
                                     MsgButtons::YesNo};
    if (box.show(question) == MsgAnswer::Yes)
        box.show(MessageBoxRequest{SqlErrorThanks, QString(), MsgIcon::Information, MsgButtons::Ok});
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
        {SqlStatement{ContactStatements::listing(), {}}},
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

ContactDatabase::Change ContactDatabase::deleteContact(const ContactRow& listed)
{
    return change({ContactStatements::guardedDeletion(listed)}, false);
}

ContactDatabase::Change ContactDatabase::replaceContact(const ContactRow& listed, const ContactRow& row)
{
    // One transaction: an insertion that fails after the deletion must not
    // lose the contact, and a contact changed meanwhile is not replaced.
    return change(
        {ContactStatements::guardedDeletion(listed), SqlStatement{ContactStatements::insertion(row), {}}},
        true);
}

ContactDatabase::Change ContactDatabase::change(const QList<SqlStatement>& statements, bool oneTransaction)
{
    bool listedRowThere = false;
    if (!run(statements, {}, oneTransaction, OnFailure::Dialog, &listedRowThere))
        return Change::Failed;
    return listedRowThere ? Change::Made : Change::RowChanged;
}

} // namespace kestrel
