#include "CupsPrinterSystem.h"

#include "TimedProcess.h"

#include <QStandardPaths>

#include <cups/cups.h>

using namespace Qt::StringLiterals;

namespace kestrel {

Expected<QStringList> CupsPrinterSystem::installedPrinters()
{
    cups_dest_t* dests = nullptr;
    const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
    const ipp_status_t status = cupsLastError();
    QStringList names;
    for (int i = 0; i < count; ++i) {
        // Instances (lpoptions "queue/instance") are option sets of a queue
        // listed on their own; the queue itself is what counts.
        if (dests[i].instance == nullptr)
            names.append(QString::fromUtf8(dests[i].name));
    }
    cupsFreeDests(count, dests);
    // libcups reports "no printers" as not-found with an empty list; any
    // other error with an empty list means the scheduler did not answer.
    if (count == 0 && status > IPP_STATUS_OK_EVENTS_COMPLETE && status != IPP_STATUS_ERROR_NOT_FOUND) {
        return Error{u"cannot read the printer list from the print system at %1: %2"_s.arg(
            QString::fromUtf8(cupsServer()), QString::fromUtf8(cupsLastErrorString()))};
    }
    return names;
}

bool CupsPrinterSystem::isInstalled(const QString& printerName)
{
    cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, printerName.toUtf8().constData(), nullptr);
    if (!dest)
        return false;
    // The scheduler finds queues whatever the letter case and answers with
    // the queue's own name.
    const bool same = QString::fromUtf8(dest->name) == printerName;
    cupsFreeDests(1, dest);
    return same;
}

QString CupsPrinterSystem::findProgram(const QString& name)
{
    const QString inPath = QStandardPaths::findExecutable(name);
    if (!inPath.isEmpty())
        return inPath;
    // Administration programs live in sbin, which an ordinary user's PATH
    // usually leaves out.
    return QStandardPaths::findExecutable(name, {u"/usr/sbin"_s, u"/sbin"_s, u"/usr/local/sbin"_s});
}

void CupsPrinterSystem::startProgram(const QString& program, const QStringList& arguments, int timeLimitMs,
                                     QObject* context, ProgramFinished finished)
{
    TimedProcess::start(program, arguments, timeLimitMs, context, std::move(finished));
}

} // namespace kestrel
