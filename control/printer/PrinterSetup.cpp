#include "PrinterSetup.h"

#include "ControlTexts.h"
#include "MessageBox.h"
#include "Ports.h"
#include "SystemLabel.h"
#include "VersioneWindows.h"

#include <QFileInfo>
#include <QPointer>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace kestrel {

QString driverModelFor(const QString& versionLabel)
{
    if (versionLabel == "Vista"_L1)
        return u"Dell 3100cn PS"_s;
    if (versionLabel == "Windows7"_L1)
        return u"Xerox Phaser 6120 PS"_s;
    if (versionLabel == "Windows8"_L1)
        return u"MS Publisher Color Printer"_s;
    return u"Apple LaserWriter 12/640 PS"_s;
}

QString cupsDriverFor(const QString& driverModel)
{
    Q_UNUSED(driverModel)
    return printer::CupsGenericPostScript;
}

QStringList lpadminArguments(const QString& printerName, quint16 capturePort)
{
    const QString deviceUri = u"socket://"_s + printer::CaptureHost + u':' + QString::number(capturePort);
    // A PDF print (what word processors send) becomes PostScript through
    // Cairo: Ghostscript's PostScript keeps TrueType text only as glyph
    // numbers, and the fax numbers printed on the page must stay readable.
    return {u"-p"_s,
            printerName,
            u"-E"_s,
            u"-v"_s,
            deviceUri,
            u"-m"_s,
            printer::CupsGenericPostScript,
            u"-o"_s,
            u"pdftops-renderer-default=pdftocairo"_s};
}

QString commandLineText(const QString& program, const QStringList& arguments)
{
    static const QRegularExpression plain(u"^[A-Za-z0-9_@%+=:,./-]+$"_s);
    QStringList words;
    for (const QString& word : QStringList{program} + arguments) {
        if (plain.match(word).hasMatch()) {
            words.append(word);
        } else {
            QString quoted = word;
            quoted.replace(u'\'', u"'\\''"_s);
            words.append(u'\'' + quoted + u'\'');
        }
    }
    return words.join(u' ');
}

QString printerNameProblem(const QString& printerName)
{
    // The rules lpadmin and the scheduler apply to queue names.
    if (printerName.isEmpty())
        return u"the printer name is empty"_s;
    if (printerName.toUtf8().size() > 127)
        return u"the printer name is longer than 127 bytes"_s;
    for (const QChar c : printerName) {
        const char16_t u = c.unicode();
        if (u <= 0x20 || u == 0x7f || (u >= 0x80 && u <= 0x9f))
            return u"the printer name holds a blank or a control character"_s;
        if (u"/\\?'\"#@"_s.contains(c))
            return u"the printer name holds \"%1\", which print queue names cannot hold"_s.arg(c);
    }
    return {};
}

PrinterCheck checkCapturePrinter(IPrinterSystem& system, const QString& printerName)
{
    // The usual case, answered without listing every queue (an office's
    // many printers take the scheduler several milliseconds each).
    if (!printerName.isEmpty() && system.isInstalled(printerName))
        return {};
    const Expected<QStringList> listed = system.installedPrinters();
    if (!listed)
        return {{printer::ErrPrintSystemUnavailable, listed.error().message}, {}};
    const QStringList& installed = *listed;
    if (installed.contains(printerName, Qt::CaseSensitive))
        return {};

    // The print system compares queue names without regard to case, so
    // lpadmin would take "Kestrel" for an existing "kestrel" and point that
    // queue (perhaps a real printer) at the capture port.
    for (const QString& other : installed) {
        if (other.compare(printerName, Qt::CaseInsensitive) == 0) {
            return {
                {printer::ErrNameTaken, u"cannot install printer \"%1\": the print system has a queue \"%2\" "
                                        "and its queue names ignore letter case"_s.arg(printerName, other)},
                {}};
        }
    }
    if (const QString problem = printerNameProblem(printerName); !problem.isEmpty())
        return {
            {printer::ErrBadPrinterName, u"cannot install printer \"%1\": %2"_s.arg(printerName, problem)},
            {}};

    const QString program = system.findProgram(printer::AdminProgram);
    if (program.isEmpty()) {
        return {{printer::ErrProgramNotFound,
                 u"cannot install printer \"%1\": %2 is not installed (package cups-client)"_s.arg(
                     printerName, printer::AdminProgram)},
                {}};
    }
    return {{}, program};
}

RunOnce& RunOnce::printerInstallation()
{
    static RunOnce once;
    return once;
}

PrinterSetup::PrinterSetup(IPrinterSystem& system, Label systemLabel, Label versionLabel, RunOnce& once)
    : m_system(system), m_systemLabel(std::move(systemLabel)), m_versionLabel(std::move(versionLabel)),
      m_once(once)
{
    if (!m_systemLabel)
        m_systemLabel = [] {
            return kestrel::systemLabel();
        };
    if (!m_versionLabel)
        m_versionLabel = static_cast<QString (*)()>(&VersioneWindows);
}

void PrinterSetup::log(const QString& line) const
{
    if (m_log)
        m_log(line);
}

bool PrinterSetup::install(const QString& printerName, const QString& program, IMessageBox& box,
                           int timeLimitMs, QObject* context, Failed failed, bool again)
{
    // The box comes once per run and printer: between two destinations of a
    // fax the activation finds the printer missing again, and the user has
    // been told. A printer that lpadmin could not add is tried again only
    // when the host asks for it (VerificaStampante).
    const bool firstTime = m_once.claim(printerName);
    if (!firstTime && !again) {
        log(u"Printer %1 missing: its installation was tried once in this run already"_s.arg(printerName));
        return false;
    }
    const QString version = m_versionLabel();
    const QString model = driverModelFor(version);
    log(u"Printer %1 missing: driver model \"%2\" for version \"%3\", CUPS driver %4"_s.arg(
        printerName, model, version, cupsDriverFor(model)));

    const QPointer<QObject> alive(context);
    if (firstTime) {
        MessageBoxRequest request;
        request.text = texts::installingPrinter(printerName, m_systemLabel());
        request.icon = MsgIcon::Information;
        request.buttons = MsgButtons::Ok;
        box.show(request);
        // Anything may have run while the box was open, the end of our
        // owner among it.
        if (!alive)
            return true;
    } else {
        log(u"Printer %1 missing: installed again, the user was told in this run already"_s.arg(printerName));
    }

    const QStringList arguments = lpadminArguments(printerName, ports::printCapture());
    log(u"Printer install: "_s + commandLineText(program, arguments));
    RunOnce* once = &m_once;
    m_system.startProgram(program, arguments, timeLimitMs, context,
                          [log = m_log, printerName, program, arguments, timeLimitMs, once,
                           failed = std::move(failed)](const ProgramOutcome& outcome) {
                              if (outcome.succeeded()) {
                                  if (log)
                                      log(u"Printer install: %1 done"_s.arg(program));
                                  return;
                              }
                              const QString text =
                                  installFailureText(printerName, program, arguments, outcome, timeLimitMs);
                              if (log)
                                  log(u"Printer install failed: "_s + text);
                              // Its box too comes once per run and printer.
                              if (failed && once->claim(u"failed\n"_s + printerName))
                                  failed(text);
                          });
    return true;
}

QString installFailureText(const QString& printerName, const QString& program, const QStringList& arguments,
                           const ProgramOutcome& outcome, int timeLimitMs)
{
    const QString name = QFileInfo(program).fileName();
    QString reason;
    switch (outcome.end) {
    case ProgramOutcome::End::Exited:
        // lpadmin's own words ("lpadmin: Forbidden") say it best.
        reason = outcome.message.isEmpty() ? texts::programExitCode(name, outcome.exitCode) : outcome.message;
        break;
    case ProgramOutcome::End::NotStarted:
        reason = texts::programNotStarted(name, outcome.message);
        break;
    case ProgramOutcome::End::TimedOut:
        reason = texts::programTimedOut(name, qMax(1, timeLimitMs / 1000));
        break;
    case ProgramOutcome::End::Crashed:
        reason = texts::programCrashed(name);
        break;
    }
    return texts::printerInstallFailed(printerName, reason, commandLineText(program, arguments));
}

} // namespace kestrel
