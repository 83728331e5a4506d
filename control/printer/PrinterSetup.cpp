#include "PrinterSetup.h"

#include "ControlTexts.h"
#include "MessageBox.h"
#include "Ports.h"
#include "VersioneWindows.h"

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
    return {u"-p"_s, printerName, u"-E"_s, u"-v"_s, deviceUri, u"-m"_s, printer::CupsGenericPostScript};
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

PrinterSetup::PrinterSetup(IPrinterSystem& system, VersionLabel versionLabel)
    : m_system(system), m_versionLabel(std::move(versionLabel))
{
    if (!m_versionLabel)
        m_versionLabel = static_cast<QString (*)()>(&VersioneWindows);
}

MethodError PrinterSetup::VerificaStampante(const QString& printerName, IMessageBox& box, const Logger& log)
{
    const auto debug = [&log](const QString& line) {
        if (log)
            log(line);
    };
    const auto fail = [&debug](int number, const QString& description) {
        debug(u"VerificaStampante: "_s + description);
        return MethodError{number, description};
    };

    // The usual case, answered without listing every queue (an office's
    // many printers take the scheduler several milliseconds each).
    if (!printerName.isEmpty() && m_system.isInstalled(printerName))
        return {};
    const Expected<QStringList> listed = m_system.installedPrinters();
    if (!listed)
        return fail(printer::ErrPrintSystemUnavailable, listed.error().message);
    const QStringList& installed = *listed;
    if (installed.contains(printerName, Qt::CaseSensitive))
        return {};

    // The print system compares queue names without regard to case, so
    // lpadmin would take "Kestrel" for an existing "kestrel" and point that
    // queue (perhaps a real printer) at the capture port.
    for (const QString& other : installed) {
        if (other.compare(printerName, Qt::CaseInsensitive) == 0) {
            return fail(printer::ErrNameTaken,
                        u"cannot install printer \"%1\": the print system has a queue \"%2\" "
                        "and its queue names ignore letter case"_s.arg(printerName, other));
        }
    }
    if (const QString problem = printerNameProblem(printerName); !problem.isEmpty())
        return fail(printer::ErrBadPrinterName,
                    u"cannot install printer \"%1\": %2"_s.arg(printerName, problem));

    const QString program = m_system.findProgram(printer::AdminProgram);
    if (program.isEmpty())
        return fail(printer::ErrProgramNotFound,
                    u"cannot install printer \"%1\": %2 is not installed (package cups-client)"_s.arg(
                        printerName, printer::AdminProgram));

    const QString label = m_versionLabel();
    const QString model = driverModelFor(label);
    debug(u"Printer %1 missing: driver model \"%2\" for version \"%3\", CUPS driver %4"_s.arg(
        printerName, model, label, cupsDriverFor(model)));

    MessageBoxRequest request;
    request.text = texts::installingPrinter(printerName, label);
    request.icon = MsgIcon::Information;
    request.buttons = MsgButtons::Ok;
    box.show(request);

    const QStringList arguments = lpadminArguments(printerName, ports::printCapture());
    debug(u"Printer install: "_s + commandLineText(program, arguments));
    if (const Status started = m_system.startDetached(program, arguments); !started)
        return fail(printer::ErrCannotStart, started.error().message);
    return {};
}

} // namespace kestrel
