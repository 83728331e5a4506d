#pragma once

#include "PrinterSystem.h"

namespace kestrel {

// The print system of the desktop: queues from libcups (the server that
// CUPS_SERVER or the client configuration names; each question may wait a
// minute for a scheduler that does not answer), programs run as
// TimedProcess. Keeps no state: one object serves every thread.
class CupsPrinterSystem : public IPrinterSystem
{
public:
    Expected<QStringList> installedPrinters() override;
    bool isInstalled(const QString& printerName) override;
    QString findProgram(const QString& name) override;
    void startProgram(const QString& program, const QStringList& arguments, int timeLimitMs, QObject* context,
                      ProgramFinished finished) override;
};

} // namespace kestrel
