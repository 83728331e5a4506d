#include "PrinterSetup.h"

#include "MessageBox.h"
#include "Ports.h"
#include "VersioneWindows.h"

#include <QRegularExpression>

namespace kestrel {

QString driverModelFor(const QString& versionLabel)
{
    if (versionLabel == QLatin1String("Vista"))
        return QStringLiteral("Dell 3100cn PS");
    if (versionLabel == QLatin1String("Windows7"))
        return QStringLiteral("Xerox Phaser 6120 PS");
    if (versionLabel == QLatin1String("Windows8"))
        return QStringLiteral("MS Publisher Color Printer");
    return QStringLiteral("Apple LaserWriter 12/640 PS");
}

QString cupsDriverFor(const QString& driverModel)
{
    Q_UNUSED(driverModel)
    return printer::CupsGenericPostScript;
}

QStringList lpadminArguments(const QString& printerName, quint16 capturePort)
{
    const QString deviceUri =
        QStringLiteral("socket://") + printer::CaptureHost + QLatin1Char(':') + QString::number(capturePort);
    return {QStringLiteral("-p"),          printerName, QStringLiteral("-E"),
            QStringLiteral("-v"),          deviceUri,   QStringLiteral("-m"),
            printer::CupsGenericPostScript};
}

QString commandLineText(const QString& program, const QStringList& arguments)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_@%+=:,./-]+$"));
    QStringList words;
    for (const QString& word : QStringList{program} + arguments) {
        if (plain.match(word).hasMatch()) {
            words.append(word);
        } else {
            QString quoted = word;
            quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
            words.append(QLatin1Char('\'') + quoted + QLatin1Char('\''));
        }
    }
    return words.join(QLatin1Char(' '));
}

QString printerNameProblem(const QString& printerName)
{
    // The rules lpadmin and the scheduler apply to queue names.
    if (printerName.isEmpty())
        return QStringLiteral("the printer name is empty");
    if (printerName.toUtf8().size() > 127)
        return QStringLiteral("the printer name is longer than 127 bytes");
    for (const QChar c : printerName) {
        const char16_t u = c.unicode();
        if (u <= 0x20 || u == 0x7f || (u >= 0x80 && u <= 0x9f))
            return QStringLiteral("the printer name holds a blank or a control character");
        if (QStringLiteral("/\\?'\"#@").contains(c))
            return QStringLiteral("the printer name holds \"%1\", which print queue names cannot hold")
                .arg(c);
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
        debug(QStringLiteral("VerificaStampante: ") + description);
        return MethodError{number, description};
    };

    QString listError;
    const QStringList installed = m_system.installedPrinters(&listError);
    if (!listError.isEmpty())
        return fail(printer::ErrPrintSystemUnavailable, listError);
    if (installed.contains(printerName, Qt::CaseSensitive))
        return {};

    // The print system compares queue names without regard to case, so
    // lpadmin would take "Kestrel" for an existing "kestrel" and point that
    // queue (perhaps a real printer) at the capture port.
    for (const QString& other : installed) {
        if (other.compare(printerName, Qt::CaseInsensitive) == 0) {
            return fail(printer::ErrNameTaken,
                        QStringLiteral("cannot install printer \"%1\": the print system has a queue \"%2\" "
                                       "and its queue names ignore letter case")
                            .arg(printerName, other));
        }
    }
    if (const QString problem = printerNameProblem(printerName); !problem.isEmpty())
        return fail(printer::ErrBadPrinterName,
                    QStringLiteral("cannot install printer \"%1\": %2").arg(printerName, problem));

    const QString program = m_system.findProgram(printer::AdminProgram);
    if (program.isEmpty())
        return fail(printer::ErrProgramNotFound,
                    QStringLiteral("cannot install printer \"%1\": %2 is not installed (package cups-client)")
                        .arg(printerName, printer::AdminProgram));

    const QString label = m_versionLabel();
    const QString model = driverModelFor(label);
    debug(QStringLiteral("Printer %1 missing: driver model \"%2\" for version \"%3\", CUPS driver %4")
              .arg(printerName, model, label, cupsDriverFor(model)));

    MessageBoxRequest request;
    request.text = QStringLiteral("Installo la stampante ") + printerName + QStringLiteral(" su ") + label;
    request.icon = MsgIcon::Information;
    request.buttons = MsgButtons::Ok;
    box.show(request);

    const QStringList arguments = lpadminArguments(printerName, ports::printCapture());
    debug(QStringLiteral("Printer install: ") + commandLineText(program, arguments));
    QString startError;
    if (!m_system.startDetached(program, arguments, &startError))
        return fail(printer::ErrCannotStart, startError);
    return {};
}

} // namespace kestrel
