#pragma once

#include "PrinterSystem.h"

namespace kestrel {

// The print system of the desktop: queues from libcups (the server that
// CUPS_SERVER or the client configuration names), programs started with
// QProcess.
class CupsPrinterSystem : public IPrinterSystem
{
public:
    QStringList installedPrinters(QString* error) override;
    QString findProgram(const QString& name) override;
    bool startDetached(const QString& program, const QStringList& arguments, QString* error) override;
};

} // namespace kestrel
