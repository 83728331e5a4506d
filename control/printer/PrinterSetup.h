#pragma once

#include "Corvanefax.h"
#include "PrinterSystem.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace kestrel {

using namespace Qt::StringLiterals;

class IMessageBox;

namespace printer {
// The driver every capture printer gets: CUPS's generic PostScript printer.
inline const QString CupsGenericPostScript = u"drv:///sample.drv/generic.ppd"_s;
inline const QString CaptureHost = u"127.0.0.1"_s;
inline const QString AdminProgram = u"lpadmin"_s;

// Error numbers VerificaStampante raises, after the run-time errors they
// stand for.
constexpr int ErrBadPrinterName = 5;           // invalid procedure call or argument
constexpr int ErrProgramNotFound = 53;         // file not found
constexpr int ErrNameTaken = 58;               // file already exists
constexpr int ErrCannotStart = 75;             // path/file access error
constexpr int ErrPrintSystemUnavailable = 462; // the server is not available
} // namespace printer

// The PostScript driver model a version label asks for.
QString driverModelFor(const QString& versionLabel);

// The CUPS driver that stands in for a driver model: always the generic
// PostScript one, which is all a capture printer needs.
QString cupsDriverFor(const QString& driverModel);

// lpadmin's arguments that add (or update) the capture queue.
QStringList lpadminArguments(const QString& printerName, quint16 capturePort);

// A command line for the log, each argument quoted as a shell would need.
QString commandLineText(const QString& program, const QStringList& arguments);

// Why the print system would refuse this queue name; empty when it is fine.
QString printerNameProblem(const QString& printerName);

// Makes sure the capture printer exists: a queue named after the control's
// printer name that prints to the capture port on this machine.
class PrinterSetup
{
public:
    using VersionLabel = std::function<QString()>;
    using Logger = std::function<void(const QString&)>;

    // versionLabel defaults to VersioneWindows() of the running system.
    explicit PrinterSetup(IPrinterSystem& system, VersionLabel versionLabel = {});

    // Returns at once when a printer of exactly this name exists. Otherwise
    // tells the user and starts the installation without waiting for it.
    // Errors (print system unreachable, a name the print system refuses,
    // installer missing) come back before any message or command.
    MethodError VerificaStampante(const QString& printerName, IMessageBox& box, const Logger& log);

private:
    IPrinterSystem& m_system;
    VersionLabel m_versionLabel;
};

} // namespace kestrel
