#pragma once

// The surface of the fax control "KestrelOCX.corvanefax", shared by the
// control library and every host. Hosts create the control through the
// component registry (by CorvanefaxProgId, asking for CorvanefaxInterfaceId)
// and talk to it only through these classes. This header and the three it
// includes are all a host needs.

#include "MessageBox.h"
#include "PropertyBag.h"
#include "VbTypes.h"

#include <QString>
#include <QStringView>
#include <QVariant>

class QWidget;

namespace kestrel {

constexpr const char* CorvanefaxProgId = "KestrelOCX.corvanefax";
constexpr const char* CorvanefaxInterfaceId = "kestrel.ICorvanefax/2";

// The line identifier that lets the fax server choose the line.
inline constexpr QStringView DefaultLine = u"any";

// Texts of the control that a host may need to recognise.
// MessageFromAppliance during Attiva: the appliance did not answer.
inline constexpr QStringView ApplianceOffline = u"Appliance KESTREL Offline";
// Message box of SendFax before a successful Attiva.
inline constexpr QStringView NotActivated = u"deve essere attivata con .attiva";
// Message box of a session whose login the fax server refused.
inline constexpr QStringView LoginRefused = u"Nome utente o password errati";
// Every MessageFromAppliance that reports a fax that did not go ends with
// this; no other message does.
inline constexpr QStringView FaxNotSent = u"fax non inviato";
// A MessageFromAppliance that ends with FaxOutcomeUnknown reports a job that
// was handed in without an answer from the fax server (the connection was
// lost, the server asked about it afterwards could not say): the server may
// hold it. It is neither a sent nor a failed fax; it begins with
// OutcomeUnknownJob followed by the job number and a blank.
inline constexpr QStringView FaxOutcomeUnknown = u"esito da verificare";
inline constexpr QStringView OutcomeUnknownJob = u"Il fax n. ";
// The job such a message names; empty for any other message.
inline QString outcomeUnknownJob(const QString& message)
{
    if (!message.startsWith(OutcomeUnknownJob) || !message.endsWith(FaxOutcomeUnknown))
        return {};
    const qsizetype from = OutcomeUnknownJob.size();
    const qsizetype end = message.indexOf(u' ', from);
    return end < 0 ? QString() : message.mid(from, end - from);
}
// MessageFromAppliance about the capture port: one that begins with
// CaptureStopped says that print jobs cannot be received (the control keeps
// trying); one that begins with CaptureResumed says they can again.
inline constexpr QStringView CaptureStopped = u"Impossibile ricevere le stampe";
inline constexpr QStringView CaptureResumed = u"Di nuovo in ascolto";

// The error a method raises to its caller (a COM error: number and text).
// Number 0 means the call succeeded. Ask failed() or succeeded(): as a bare
// condition it is true on failure, the opposite of Expected and Status.
struct MethodError
{
    int number = 0;
    QString description;
    bool failed() const { return number != 0; }
    bool succeeded() const { return number == 0; }
    // True when the call failed; kept for the hosts that test it so.
    explicit operator bool() const { return failed(); }
};

// The control's outgoing interface, in event-id order. Handlers run
// synchronously on the host's thread and may call back into the control; a
// host overrides the events it handles.
class ICorvanefaxEvents
{
public:
    virtual ~ICorvanefaxEvents() = default;
    virtual void PrintedDocAvailable(QString& /*SpoolFile*/) {}                  // 1
    virtual void FaxSubmitted(QString& /*JobNumber*/, QString& /*SentFiles*/) {} // 2
    virtual void MessageFromAppliance(QString& /*Msg*/) {}                       // 3
    virtual void XMLServerStatus(QString& /*XML_Output*/) {}                     // 4
    virtual void XMLFaxOutStatus(QString& /*XML_Output*/) {}                     // 5
    virtual void XMLFaxDoneStatus(QString& /*XML_Output*/) {}                    // 6
};

// What the container offers the control: modal message boxes and the
// notice that a property changed (so the host persists it).
class IControlSite
{
public:
    virtual ~IControlSite() = default;
    virtual IMessageBox& messageBox() = 0;
    virtual void propertyChanged(const QString& name) = 0;
    // Whether this host takes print jobs: only then does activation make
    // sure the capture printer exists and open the capture port. A host that
    // only sends files says no.
    virtual bool hostsPrintCapture() const { return true; }
    // The longest the control waits for the appliance at any step (its
    // pages, the fax server's greeting and replies, a transfer that does not
    // move), in milliseconds.
    virtual int waitLimitMs() const { return 60000; }
};

class ICorvanefax
{
public:
    virtual ~ICorvanefax() = default;

    // Properties, in slot order, each "let" before its "get".
    // IndirizzoIP: the appliance's address.
    virtual void setIndirizzoIP(const QString& value) = 0;
    virtual QString IndirizzoIP() const = 0;
    // NomeStampante: the name of the capture printer.
    virtual void setNomeStampante(const QString& value) = 0;
    virtual QString NomeStampante() const = 0;
    // PasswordUtente: the fax server user's password.
    virtual void setPasswordUtente(const QString& value) = 0;
    virtual QString PasswordUtente() const = 0;
    // EmailAdress: where the fax server sends its notices.
    virtual void setEmailAdress(const QString& value) = 0;
    virtual QString EmailAdress() const = 0;
    virtual void setDebugOn(VbBool value) = 0;
    virtual VbBool DebugOn() const = 0;
    virtual void setChopOn(VbBool value) = 0;
    virtual VbBool ChopOn() const = 0;
    virtual void setXMLStatus(VbBool value) = 0;
    virtual VbBool XMLStatus() const = 0;
    // NomeUtente: the fax server user.
    virtual void setNomeUtente(const QString& value) = 0;
    virtual QString NomeUtente() const = 0;

    // Methods, in slot order.
    // Attiva ("activate"): checks the appliance and the capture printer and
    // opens the capture port.
    virtual MethodError Attiva() = 0;
    // VerificaStampante ("check the printer"): makes sure the capture
    // printer exists.
    virtual MethodError VerificaStampante() = 0;
    // Reinizializza ("start again") activates once more; Termina ("end")
    // does nothing and succeeds.
    virtual MethodError Reinizializza() = 0;
    virtual MethodError Termina() = 0;
    // One job per number of the ":"-separated FaxNumber, all in one session
    // with every file of the ","-separated FileName uploaded once;
    // FaxSubmitted follows for each job, in order. Returns "OnRun" when the
    // session was started, an empty variant when it was not (control not
    // activated, a document that cannot be sent, server unreachable; the
    // host has been told why) or when another SendFax replaced it while it
    // waited for the server; error receives a raised error (more than 1000
    // files). AdressNotify: the address for the server's notices; ModemInvio:
    // the outgoing line.
    virtual QVariant SendFax(const QString& FileName, const QString& FaxNumber, const QString& AdressNotify,
                             qint16 MaxDials = 3, const QString& ModemInvio = DefaultLine.toString(),
                             MethodError* error = nullptr) = 0;
    // chiuditutto ("close everything"): ends the session under way.
    virtual MethodError chiuditutto() = 0;

    // Hosting: the container's site, the event sink, and persistence.
    virtual void SetClientSite(IControlSite* site) = 0;
    virtual void Advise(ICorvanefaxEvents* sink) = 0;
    virtual void InitProperties() = 0;
    virtual void ReadProperties(IPropertyBag& bag) = 0;
    virtual void WriteProperties(IPropertyBag& bag) const = 0;

    // The control's face on a form (needs a widget application); its size is
    // always 780 x 780 twips.
    virtual QWidget* CreateFace(QWidget* parent) = 0;
    virtual void SetExtent(int widthTwips, int heightTwips) = 0;
    virtual int ExtentWidth() const = 0;
    virtual int ExtentHeight() const = 0;
};

} // namespace kestrel
