#pragma once

#include "Expected.h"

#include <QString>
#include <QStringList>

namespace kestrel {

// What the printer setup needs of the print system: the installed queues and
// a way to start its administration program.
class IPrinterSystem
{
public:
    virtual ~IPrinterSystem() = default;

    // Names of the installed print queues in the print system's order, or
    // why the print system could not be asked; a system without printers is
    // no error.
    virtual Expected<QStringList> installedPrinters() = 0;

    // Whether a queue of exactly this name is installed: one question to the
    // print system, however many queues it has. False also when it cannot
    // tell (installedPrinters() then says why).
    virtual bool isInstalled(const QString& printerName) = 0;

    // Full path of an installed program, empty when there is none.
    virtual QString findProgram(const QString& name) = 0;

    // Starts the program in its own process without waiting for it.
    virtual Status startDetached(const QString& program, const QStringList& arguments) = 0;
};

} // namespace kestrel
