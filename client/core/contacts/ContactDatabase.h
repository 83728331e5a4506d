#pragma once

#include "ContactRow.h"
#include "ContactStatements.h"
#include "Expected.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class QSqlQuery;

namespace kestrel {

class IMessageBox;

// The contact store (`MDL_Database`): every statement runs on a connection of
// its own to the SQLite file named by the settings key RUBRICA, and every
// failure ends in the SQL error dialog. The empty database that ships with
// the program is never opened as a contact database. The results say whether a statement
// ran, so that callers never read rows of a statement that failed; callers
// that only need to go on after the dialog may ignore them.
class ContactDatabase
{
public:
    // Reads the current row of a successful statement.
    using RowReader = std::function<void(const QSqlQuery& row)>;

    // How long a statement waits for a database that another program holds
    // locked before it fails into the dialog.
    static constexpr int DefaultBusyTimeoutMs = 5000;

    ContactDatabase(QString databasePath, IMessageBox& messageBox);

    QString databasePath() const { return m_databasePath; }
    // "Provider=SQLite;Data Source='<path>'": shown in the error dialog.
    QString connectionString() const { return m_connectionString; }
    static QString connectionStringFor(const QString& databasePath);

    void setBusyTimeout(int milliseconds) { m_busyTimeoutMs = milliseconds; }

    // `ExecuteSql`: one statement on a fresh connection, released before the
    // call returns. eachRow sees each row as it is read; when the result is
    // an Error (the SQL error dialog has then been shown), rows seen before
    // the failure must be dropped, as listContacts() does.
    Status ExecuteSql(const QString& statement, const RowReader& eachRow = {});

    // `ShowSqlError`: the Yes/No dialog and, after Yes, the thank-you box.
    void ShowSqlError(const QString& message);
    // The same dialog through box, for a window that got the dialog text of
    // a statement run on another thread.
    static void showSqlErrorDialog(IMessageBox& box, const QString& message);

    // Where a failed statement's dialog text goes instead of the dialog: a
    // store that runs the statements off the windows' thread hands it over
    // to the window, which shows the dialog on its own thread.
    using FailureReport = std::function<void(const QString& dialogText)>;
    void reportFailuresTo(FailureReport report) { m_failureReport = std::move(report); }

    // The dialog text for a failed statement.
    static QString sqlErrorMessage(const Error& error, const QString& statement,
                                   const QString& connectionString);

    // The address book's listing, in its order (gruppo, then nome), each row
    // with its rowid. A failed listing gives its Error and no rows.
    Expected<QList<ContactRow>> listContacts();
    Status insertContact(const ContactRow& row);

    // What became of a change to a listed contact.
    enum class Change
    {
        Made,
        // The row is no longer the one listed (another program changed or
        // deleted it, or its rowid went to another contact): nothing changed.
        RowChanged,
        // The statement failed; its dialog has been shown. Nothing changed.
        Failed,
    };
    // Removes the row listed, as listContacts() gave it (rowid and texts).
    Change deleteContact(const ContactRow& listed);
    // The editor's save of an edited contact: the deletion of the row
    // listed and the insertion of row, both or neither.
    Change replaceContact(const ContactRow& listed, const ContactRow& row);
    // The name of the first contact of the listing whose number is number
    // as the address book hands it over (FaxNumberDigits of both); empty
    // when none is. Asked while a fax is recorded: a store that cannot be
    // read gives "" at once, with no dialog and no long wait on a lock.
    QString nameOfNumber(const QString& number);

private:
    enum class OnFailure
    {
        Dialog,
        Quiet,
    };
    // With guard, the first statement must change a row for the rest to
    // run; *guard says whether it did.
    Status run(const QList<SqlStatement>& statements, const RowReader& eachRow, bool oneTransaction,
               OnFailure onFailure = OnFailure::Dialog, bool* guard = nullptr);
    Change change(const QList<SqlStatement>& statements, bool oneTransaction);
    Status fail(const Error& error, const QString& statement);

    QString m_databasePath;
    QString m_connectionString;
    IMessageBox& m_messageBox;
    FailureReport m_failureReport;
    int m_busyTimeoutMs = DefaultBusyTimeoutMs;
};

} // namespace kestrel
