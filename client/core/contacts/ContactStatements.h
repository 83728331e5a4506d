#pragma once

#include "ContactRow.h"

#include <QString>

namespace kestrel {

// The three statements the address book runs, written exactly as users see
// them in the SQL error dialog. Values go in as SQL text literals. A
// contact is addressed by its rowid, which the listing gives first: a
// number may be shared by several contacts, or stored in a form the list
// does not show.
class ContactStatements
{
public:
    static QString listing();
    static QString insertion(const ContactRow& row);
    static QString deletion(qint64 rowid);

    // Between single quotes, every single quote doubled: whatever the user
    // typed is stored as typed and never ends the literal.
    static QString literal(const QString& value);
};

} // namespace kestrel
