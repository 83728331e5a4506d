#pragma once

#include <QString>

namespace kestrel {

// One row of the table anagrafica ("register": the contacts), in its column
// order: fax (the number), nome (the name), gruppo (the group), and where it
// is stored: two contacts may share every text, a row is only
// ever addressed by its rowid.
struct ContactRow
{
    QString number;      // fax
    QString description; // nome
    QString group;       // gruppo
    qint64 rowid = 0;    // SQLite's, or the server's key; 0 for a contact not stored yet
    qint64 version = 0;  // the server's count of the row's changes; 0 in a file

    // Rows hold the same contact when their texts are the same, wherever
    // they are stored.
    friend bool operator==(const ContactRow& a, const ContactRow& b)
    {
        return a.number == b.number && a.description == b.description && a.group == b.group;
    }
};

} // namespace kestrel
