#pragma once

#include <QString>
#include <QStringList>

namespace kestrel {

// What the printer setup needs of the print system: the installed queues and
// a way to start its administration program.
class IPrinterSystem
{
public:
    virtual ~IPrinterSystem() = default;

    // Names of the installed print queues in the print system's order. When
    // the print system cannot be asked, returns an empty list and sets *error
    // to a non-empty description; a system without printers is no error.
    virtual QStringList installedPrinters(QString* error) = 0;

    // Full path of an installed program, empty when there is none.
    virtual QString findProgram(const QString& name) = 0;

    // Starts the program in its own process without waiting for it. False,
    // with *error set, when it could not be started.
    virtual bool startDetached(const QString& program, const QStringList& arguments, QString* error) = 0;
};

} // namespace kestrel
