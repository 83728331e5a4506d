#pragma once

#include "ContactRow.h"
#include "DesktopContacts.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace kestrel {

// One row of the address book list, by its columns: hidden, "Nr. Fax",
// "Descrizione", "Grp", "Seleziona", "Edit".
struct AddressBookRow
{
    QString number;
    QString description;
    QString group;        // " " for a desktop contact, which has no group
    QString edit;         // "-" for a database contact, "" for a desktop one
    bool desktop = false; // shown with the desktop contact's picture in "Grp"
    qint64 rowid = 0;     // a database contact's, kept in the hidden column

    // The six cells, unmarked ("Seleziona" empty).
    QStringList cells() const;

    friend bool operator==(const AddressBookRow&, const AddressBookRow&) = default;
};

// What `ListaNumeri` lists, marks aside: the desktop contacts with a number
// (`OLStart`), then the database rows in the listing's order with their
// numbers normalised (`LoadDatabaseRows`).
class AddressBookList
{
public:
    static QList<AddressBookRow> rows(const DesktopContacts& desktop, const QList<ContactRow>& database);
    static AddressBookRow desktopRow(const DesktopContact& contact);
    static AddressBookRow databaseRow(const ContactRow& row);
};

} // namespace kestrel
