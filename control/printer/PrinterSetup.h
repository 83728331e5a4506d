#pragma once

#include "Corvanefax.h"
#include "Logger.h"
#include "PrinterSystem.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <mutex>

namespace kestrel {

using namespace Qt::StringLiterals;

class IMessageBox;

namespace printer {
// The driver every capture printer gets: CUPS's generic PostScript printer.
inline const QString CupsGenericPostScript = u"drv:///sample.drv/generic.ppd"_s;
inline const QString CaptureHost = u"127.0.0.1"_s;
inline const QString AdminProgram = u"lpadmin"_s;

// Error numbers of the printer check, after the run-time errors they stand
// for.
constexpr int ErrBadPrinterName = 5;           // invalid procedure call or argument
constexpr int ErrProgramNotFound = 53;         // file not found
constexpr int ErrNameTaken = 58;               // file already exists
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

// What the print system says of the capture printer.
struct PrinterCheck
{
    // The print system could not be asked, or the queue cannot be made.
    MethodError error;
    // Set when the queue is missing and can be made: the lpadmin to run.
    QString program;

    bool missing() const { return error.succeeded() && !program.isEmpty(); }
};

// Asks the print system whether the capture printer exists and, when it
// does not, whether it can be installed. Asks nobody else and logs nothing,
// so it may run on any thread; it may wait as long as the print system does.
PrinterCheck checkCapturePrinter(IPrinterSystem& system, const QString& printerName);

// Things done at most once per run of the program, each named by a key,
// whichever control or thread comes first.
class RunOnce
{
public:
    // True for the first caller with this key only.
    bool claim(const QString& key = {})
    {
        const std::lock_guard lock(m_mutex);
        if (m_done.contains(key))
            return false;
        m_done.append(key);
        return true;
    }

    // The capture printer's installation: the boxes about a printer (its
    // installation, lpadmin's failure) are shown once per run, however many
    // activations or controls there are.
    static RunOnce& printerInstallation();

private:
    std::mutex m_mutex;
    QStringList m_done;
};

// Installs a missing capture printer: a queue named after the control's
// printer name that prints to the capture port on this machine.
class PrinterSetup
{
public:
    using Label = std::function<QString()>;
    // A text for the user, when the installation failed.
    using Failed = std::function<void(const QString&)>;

    // systemLabel names this system in the box (systemLabel() by default);
    // versionLabel picks the driver model for the debug log (VersioneWindows()
    // by default).
    explicit PrinterSetup(IPrinterSystem& system, Label systemLabel = {}, Label versionLabel = {},
                          RunOnce& once = RunOnce::printerInstallation());

    void setLogger(Logger logger) { m_log = std::move(logger); }

    // Tells the user that the printer is being installed (a modal box) and
    // then starts `program` (from checkCapturePrinter) without waiting for
    // it; when it fails, `failed` gets why and the command an administrator
    // runs, later and only while `context` lives. Each box once per run and
    // printer: afterwards, with `again` the program is started all the same,
    // without a box; without it nothing is started and the answer is false.
    // Whoever owns this object may be destroyed while the box is open:
    // `context` tells.
    bool install(const QString& printerName, const QString& program, IMessageBox& box, int timeLimitMs,
                 QObject* context, Failed failed, bool again = false);

private:
    void log(const QString& line) const;

    IPrinterSystem& m_system;
    Label m_systemLabel;
    Label m_versionLabel;
    RunOnce& m_once;
    Logger m_log;
};

// What the user reads when lpadmin did not install the printer.
QString installFailureText(const QString& printerName, const QString& program, const QStringList& arguments,
                           const ProgramOutcome& outcome, int timeLimitMs);

} // namespace kestrel
