#pragma once

#include <QStringList>

namespace kestrel {

// "Reinvia": which documents of a fax can go again. Spool files are kept,
// but the user or the system may have removed one since; a path that is no
// longer a regular file (a FIFO, a device put in its place) counts as gone.
struct ResendDocuments
{
    QStringList present;
    QStringList missing;

    static ResendDocuments check(const QStringList& documents);
};

} // namespace kestrel
