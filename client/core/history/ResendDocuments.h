#pragma once

#include "FaxRecord.h"

#include <QStringList>

namespace kestrel {

// "Reinvia": which documents of a fax can go again. Spool files are kept in
// the shared temporary folder under names anybody can foresee, and the user
// or the system may have removed one since: only the user's own regular
// file, not a link, with one name, and still the size and modification time
// it had when it was sent, goes back into the send window.
struct ResendDocuments
{
    QStringList present;
    QStringList missing; // no longer there
    QStringList refused; // there, but not the file that was sent

    // stamps: one for each document (none for the faxes of files written
    // before they were kept: then the file need only be the user's own).
    static ResendDocuments check(const QStringList& documents, const QList<DocumentStamp>& stamps);
    // The document as it is now (a size of -1 when it cannot be seen), not
    // through a link.
    static DocumentStamp stampOf(const QString& path);
};

} // namespace kestrel
