#pragma once

#include "PrinterSystem.h"

namespace kestrel {

// The print system of the desktop: queues from libcups (the server that
// CUPS_SERVER or the client configuration names), programs started with
// QProcess.
class CupsPrinterSystem : public IPrinterSystem
{
public:
    Expected<QStringList> installedPrinters() override;
    bool isInstalled(const QString& printerName) override;
    QString findProgram(const QString& name) override;
    Status startDetached(const QString& program, const QStringList& arguments) override;
};

} // namespace kestrel
