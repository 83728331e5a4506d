#pragma once

#include "Expected.h"

#include <QString>
#include <QStringList>

namespace kestrel {

// The empty contact database that ships with the program (table anagrafica,
// made by the build) and its copy to a user's default RUBRICA path.
class ShippedDatabase
{
public:
    // Where the shipped file may be, most likely first: beside an installed
    // program, the configured install location, the build tree.
    static QStringList candidates();
    // The first candidate that exists; "" when none does.
    static QString locate();
    // Whether path is the shipped file itself (any candidate, however the
    // path spells it): it is copied, never written.
    static bool isShipped(const QString& path);

    // A user's first start: when RUBRICA is the default path and no file is
    // there yet, the shipped database is copied there (readable by its owner
    // only: it holds the user's contacts). A RUBRICA that names some other,
    // missing file is left alone; its statements fail into the SQL dialog.
    static Status copyOnFirstStart(const QString& defaultPath, const QString& actualPath,
                                   const QString& shippedPath);
};

} // namespace kestrel
