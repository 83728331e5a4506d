#pragma once

#include "ContactRow.h"

#include <QString>
#include <QVariantList>

namespace kestrel {

// One statement with the values bound to its "?" in order; its text is
// what users see in the SQL error dialog.
struct SqlStatement
{
    QString text;
    QVariantList values;
};

// The statements the address book runs, written exactly as users see them
// in the SQL error dialog. An insertion's values go in as SQL text
// literals. A listed contact is addressed by its rowid, which the listing
// gives first (a number may be shared by several contacts, or stored in a
// form the list does not show), and by the texts it was listed with: SQLite
// gives a deleted row's rowid to the next row added, and VACUUM renumbers,
// so a rowid alone may name another contact by now.
class ContactStatements
{
public:
    static QString listing();
    static QString insertion(const ContactRow& row);
    // Deletes the row at listed.rowid only while it holds listed's texts as
    // the listing read them (NULL as ""), letter case included: no row
    // changes when it holds anything else.
    static SqlStatement guardedDeletion(const ContactRow& listed);

    // Between single quotes, every single quote doubled: whatever the user
    // typed is stored as typed and never ends the literal.
    static QString literal(const QString& value);
};

} // namespace kestrel
