#pragma once

#include "ContactRow.h"
#include "Expected.h"

#include <QList>
#include <QObject>
#include <QString>

#include <optional>

namespace kestrel {

// Where the address book's contacts are kept: the SQLite file of one desk or
// a database server the whole office shares. Every statement runs off the
// windows' thread with a time limit; a request returns at once with a
// ticket, and its answer comes later as a signal on the owner's thread.
// Nothing here ever waits on the database.
class ContactStore : public QObject
{
    Q_OBJECT
public:
    // What became of a change.
    enum class Outcome
    {
        Done,
        // The contact is no longer the one listed (another desk or program
        // changed or deleted it): nothing was changed; current holds it as
        // it is now, when it still exists.
        RowChanged,
        // The store could not be reached or refused the statement; message
        // says why (no password in it).
        Failed,
        // The store is away and only its last listing is shown.
        ReadOnly,
    };
    struct ChangeResult
    {
        Outcome outcome = Outcome::Failed;
        QString message;
        std::optional<ContactRow> current;
    };

    using QObject::QObject;

    // Where the contacts are, for error texts: a file path, or the server's
    // address with any password masked.
    virtual QString description() const = 0;
    // The options window's line on the store in use: the file, or the
    // server's host, port, database and user (never a password).
    virtual QString inUse() const = 0;
    // True while only the last listing can be shown (server away).
    virtual bool isReadOnly() const = 0;

    // The listing, in the address book's order (group, then name).
    virtual int list() = 0;
    virtual int add(const ContactRow& row) = 0;
    // listed as list() gave it (key and version); row: the new texts.
    virtual int change(const ContactRow& listed, const ContactRow& row) = 0;
    virtual int remove(const ContactRow& listed) = 0;

    // The name of the first contact of the last listing whose number has
    // the digits of number; empty when none has. Answers from memory.
    virtual QString nameOfNumber(const QString& number) const = 0;

Q_SIGNALS:
    void listed(int ticket, const Expected<QList<ContactRow>>& rows);
    void changeFinished(int ticket, const kestrel::ContactStore::ChangeResult& result);
    // The contacts changed (here, on another desk, or the store came back):
    // an open address book lists them again.
    void contactsChanged();
    // The store became unreachable (read-only) or reachable again.
    void availabilityChanged(bool reachable);
};

} // namespace kestrel
