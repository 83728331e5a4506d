#pragma once

#include "Expected.h"
#include "TimedProcess.h"

#include <QString>
#include <QStringList>

#include <functional>

class QObject;

namespace kestrel {

// What the printer setup needs of the print system: the installed queues and
// a way to run its administration program. The three questions may be asked
// from a worker thread (libcups can wait a minute for a scheduler); programs
// are started on the thread of the windows.
class IPrinterSystem
{
public:
    using ProgramFinished = TimedProcess::Finished;

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

    // Starts the program and returns at once. `finished` runs once, later,
    // on the thread of `context` and only while it lives, with how the
    // program ended; a program still running after timeLimitMs is stopped.
    virtual void startProgram(const QString& program, const QStringList& arguments, int timeLimitMs,
                              QObject* context, ProgramFinished finished) = 0;
};

} // namespace kestrel
