#include "CaptureHost.h"

#include "Wait.h"

#include <cstdio>

using namespace Qt::StringLiterals;

namespace kestrel {

CaptureHost::CaptureHost(CorvanefaxHost& host, const QString& appliance, const QString& printer, bool debug)
    : m_host(host), m_appliance(appliance), m_printer(printer), m_debug(debug)
{
    connect(&m_host, &CorvanefaxHost::printedDocAvailable, this, &CaptureHost::onPrintedDoc);
    connect(&m_host, &CorvanefaxHost::messageFromAppliance, this, &CaptureHost::onMessage);
}

bool CaptureHost::start()
{
    ICorvanefax& control = *m_host.control();
    control.setIndirizzoIP(m_appliance);
    control.setNomeStampante(m_printer);
    control.setXMLStatus(VbFalse);
    control.setDebugOn(m_debug ? VbTrue : VbFalse);
    // A printer that cannot be checked is told (at once or later); the
    // capture port opens all the same.
    const MethodError printer = control.Attiva();
    // A signal during activation: whatever failed, failed because of it.
    if (interruptionRequested())
        return false;
    if (printer.failed()) {
        std::fprintf(stderr, "corvafax-send: %s\n", printer.description.toLocal8Bit().constData());
        std::fflush(stderr);
    }
    // The appliance away (said above, as its message) stops no print: the
    // documents wait for it, as in the desktop client.
    if (m_offline) {
        std::fputs("corvafax-send: l'appliance non risponde; le stampe vengono acquisite comunque\n", stderr);
        std::fflush(stderr);
    }
    m_started = true;
    if (m_notListening) {
        const QString line = u"corvafax-send: la stampante %1 non è in ascolto; nuovo tentativo in corso\n"_s;
        std::fputs(line.arg(m_printer).toLocal8Bit().constData(), stderr);
        std::fflush(stderr);
    } else {
        sayListening();
    }
    return true;
}

void CaptureHost::sayListening() const
{
    std::fprintf(stderr, "corvafax-send: in attesa di stampe sulla stampante %s\n",
                 m_printer.toLocal8Bit().constData());
    std::fflush(stderr);
}

void CaptureHost::onPrintedDoc(const QString& spoolFile)
{
    std::fprintf(stdout, "%s\n", spoolFile.toLocal8Bit().constData());
    std::fflush(stdout);
}

void CaptureHost::onMessage(const QString& message)
{
    if (interruptionRequested())
        return;
    if (message == ApplianceOffline)
        m_offline = true;
    std::fprintf(stderr, "corvafax-send: %s\n", message.toLocal8Bit().constData());
    std::fflush(stderr);
    if (message.startsWith(CaptureStopped)) {
        m_notListening = true;
    } else if (message.startsWith(CaptureResumed) && m_notListening) {
        m_notListening = false;
        if (m_started)
            sayListening();
    }
}

} // namespace kestrel
