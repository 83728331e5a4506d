#include "CaptureHost.h"

#include "Wait.h"

#include <cstdio>

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

// How the control's messages about the capture port begin and what the one
// that it listens again holds (raised through MessageFromAppliance).
constexpr auto NotListening = "Impossibile ricevere le stampe "_L1;
constexpr auto ListeningAgain = " riceve di nuovo le stampe "_L1;

} // namespace

CaptureHost::CaptureHost(ICorvanefax& control, const QString& appliance, const QString& printer, bool debug)
    : m_control(control), m_appliance(appliance), m_printer(printer), m_debug(debug)
{}

bool CaptureHost::start()
{
    m_control.SetClientSite(this);
    m_control.Advise(this);
    m_control.InitProperties();
    m_control.setIndirizzoIP(m_appliance);
    m_control.setNomeStampante(m_printer);
    m_control.setXMLStatus(VbFalse);
    m_control.setDebugOn(m_debug ? VbTrue : VbFalse);
    const MethodError error = m_control.Attiva();
    // A signal during activation: whatever failed, failed because of it.
    if (interruptionRequested())
        return false;
    if (error) {
        std::fprintf(stderr, "corvafax-send: attivazione non riuscita: %s (%d)\n",
                     error.description.toLocal8Bit().constData(), error.number);
        return false;
    }
    if (m_offline)
        return false;
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

void CaptureHost::PrintedDocAvailable(QString& SpoolFile)
{
    std::fprintf(stdout, "%s\n", SpoolFile.toLocal8Bit().constData());
    std::fflush(stdout);
}

void CaptureHost::MessageFromAppliance(QString& Msg)
{
    // An appliance "offline" while quitting is the interrupted request.
    if (interruptionRequested())
        return;
    if (Msg == "Appliance KESTREL Offline"_L1)
        m_offline = true;
    std::fprintf(stderr, "corvafax-send: %s\n", Msg.toLocal8Bit().constData());
    std::fflush(stderr);
    if (Msg.startsWith(NotListening)) {
        m_notListening = true;
    } else if (Msg.contains(ListeningAgain) && m_notListening) {
        m_notListening = false;
        if (m_started)
            sayListening();
    }
}

} // namespace kestrel
