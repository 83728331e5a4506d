#include "CorvanefaxControl.h"

#include "AppliancePages.h"
#include "ControlFace.h"
#include "ControlState.h"
#include "CupsPrinterSystem.h"
#include "DebugLog.h"
#include "DebugOutput.h"
#include "Messages.h"
#include "PrinterSetup.h"
#include "SessionText.h"

#include <QApplication>
#include <QFileInfo>

#include <atomic>
#include <dlfcn.h>

namespace kestrel {
namespace {

std::atomic<int> liveInstances{0};

namespace defaults {
const QString IndirizzoIP = QStringLiteral("ipdelfax");
const QString NomeStampante = QStringLiteral("printer");
const QString NomeUtente = QStringLiteral("test");
const QString PasswordUtente = QStringLiteral("lanterna");
const QString EmailAdress = QStringLiteral("indirizzo");
constexpr VbBool DebugOn = VbFalse;
constexpr VbBool ChopOn = VbTrue;
constexpr VbBool XMLStatus = VbFalse;
} // namespace defaults

VbBool toVbBool(const QVariant& value)
{
    return static_cast<VbBool>(value.toInt());
}

} // namespace

QString controlLibraryName()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&controlLibraryName), &info) == 0 || !info.dli_fname)
        return QStringLiteral("KestrelOCX");
    QString name = QFileInfo(QString::fromLocal8Bit(info.dli_fname)).fileName();
    name = name.left(name.indexOf(QLatin1Char('.')) < 0 ? name.size() : name.indexOf(QLatin1Char('.')));
    if (name.startsWith(QLatin1String("lib")))
        name.remove(0, 3);
    return name;
}

CorvanefaxControl::CorvanefaxControl(QObject* parent) : QObject(parent), m_session(*this)
{
    ++liveInstances;
    m_socket.setLogger(&DebugLog);
    m_timer1.setLogger(&DebugLog);
    connect(&m_socket, &PrintCapture::PrintedDocAvailable, this, [this](const QString& path) {
        QString spoolFile = path;
        if (m_events)
            m_events->PrintedDocAvailable(spoolFile);
    });
    connect(&m_socket, &PrintCapture::captureFailed, this, &CorvanefaxControl::sessionMessage);
    connect(&m_timer1, &StatusPoller::XMLServerStatus, this, [this](const QString& page) {
        QString xml = page;
        if (m_events)
            m_events->XMLServerStatus(xml);
    });
    connect(&m_timer1, &StatusPoller::XMLFaxOutStatus, this, [this](const QString& page) {
        QString xml = page;
        if (m_events)
            m_events->XMLFaxOutStatus(xml);
    });
    connect(&m_timer1, &StatusPoller::XMLFaxDoneStatus, this, [this](const QString& page) {
        QString xml = page;
        if (m_events)
            m_events->XMLFaxDoneStatus(xml);
    });
}

CorvanefaxControl::~CorvanefaxControl()
{
    delete m_face;
    --liveInstances;
}

int CorvanefaxControl::instanceCount()
{
    return liveInstances.load();
}

void CorvanefaxControl::propertyChanged(const QString& name)
{
    if (m_site)
        m_site->propertyChanged(name);
}

IMessageBox& CorvanefaxControl::messageBox()
{
    static PlainTextMessageBox plain;
    return m_site ? m_site->messageBox() : plain;
}

// Properties: "let" stores and tells the container; "get" returns the field.
void CorvanefaxControl::setIndirizzoIP(const QString& value)
{
    ControlState::current().IndirizzoIP = value;
    m_timer1.setAddress(value);
    propertyChanged(QStringLiteral("IndirizzoIP"));
}
QString CorvanefaxControl::IndirizzoIP() const
{
    return ControlState::current().IndirizzoIP;
}

void CorvanefaxControl::setNomeStampante(const QString& value)
{
    ControlState::current().NomeStampante = value;
    m_socket.setPrinterName(value);
    propertyChanged(QStringLiteral("NomeStampante"));
}
QString CorvanefaxControl::NomeStampante() const
{
    return ControlState::current().NomeStampante;
}

void CorvanefaxControl::setPasswordUtente(const QString& value)
{
    ControlState::current().PasswordUtente = value;
    propertyChanged(QStringLiteral("PasswordUtente"));
}
QString CorvanefaxControl::PasswordUtente() const
{
    return ControlState::current().PasswordUtente;
}

void CorvanefaxControl::setEmailAdress(const QString& value)
{
    ControlState::current().notifyAddress = value;
    propertyChanged(QStringLiteral("EmailAdress"));
}
QString CorvanefaxControl::EmailAdress() const
{
    return ControlState::current().notifyAddress;
}

void CorvanefaxControl::setDebugOn(VbBool value)
{
    ControlState::current().DebugOn = value;
    propertyChanged(QStringLiteral("DebugOn"));
}
VbBool CorvanefaxControl::DebugOn() const
{
    return ControlState::current().DebugOn;
}

void CorvanefaxControl::setChopOn(VbBool value)
{
    ControlState::current().ChopOn = value;
    propertyChanged(QStringLiteral("ChopOn"));
}
VbBool CorvanefaxControl::ChopOn() const
{
    return ControlState::current().ChopOn;
}

void CorvanefaxControl::setXMLStatus(VbBool value)
{
    ControlState::current().XMLStatus = value;
    propertyChanged(QStringLiteral("XMLStatus"));
}
VbBool CorvanefaxControl::XMLStatus() const
{
    return ControlState::current().XMLStatus;
}

void CorvanefaxControl::setNomeUtente(const QString& value)
{
    ControlState::current().NomeUtente = value;
    propertyChanged(QStringLiteral("NomeUtente"));
}
QString CorvanefaxControl::NomeUtente() const
{
    return ControlState::current().NomeUtente;
}

void CorvanefaxControl::InitProperties()
{
    MemoryPropertyBag empty;
    ReadProperties(empty);
}

void CorvanefaxControl::ReadProperties(IPropertyBag& bag)
{
    ControlState& state = ControlState::current();
    state.IndirizzoIP = bag.readProperty(QStringLiteral("IndirizzoIP"), defaults::IndirizzoIP).toString();
    state.NomeStampante =
        bag.readProperty(QStringLiteral("NomeStampante"), defaults::NomeStampante).toString();
    state.NomeUtente = bag.readProperty(QStringLiteral("NomeUtente"), defaults::NomeUtente).toString();
    state.PasswordUtente =
        bag.readProperty(QStringLiteral("PasswordUtente"), defaults::PasswordUtente).toString();
    state.notifyAddress = bag.readProperty(QStringLiteral("EmailAdress"), defaults::EmailAdress).toString();
    state.DebugOn = toVbBool(bag.readProperty(QStringLiteral("DebugOn"), defaults::DebugOn));
    state.ChopOn = toVbBool(bag.readProperty(QStringLiteral("ChopOn"), defaults::ChopOn));
    state.XMLStatus = toVbBool(bag.readProperty(QStringLiteral("XMLStatus"), defaults::XMLStatus));
    m_socket.setPrinterName(state.NomeStampante);
    m_timer1.setAddress(state.IndirizzoIP);
}

void CorvanefaxControl::WriteProperties(IPropertyBag& bag) const
{
    const ControlState& state = ControlState::current();
    bag.writeProperty(QStringLiteral("IndirizzoIP"), state.IndirizzoIP, defaults::IndirizzoIP);
    bag.writeProperty(QStringLiteral("NomeStampante"), state.NomeStampante, defaults::NomeStampante);
    bag.writeProperty(QStringLiteral("NomeUtente"), state.NomeUtente, defaults::NomeUtente);
    bag.writeProperty(QStringLiteral("PasswordUtente"), state.PasswordUtente, defaults::PasswordUtente);
    bag.writeProperty(QStringLiteral("EmailAdress"), state.notifyAddress, defaults::EmailAdress);
    bag.writeProperty(QStringLiteral("DebugOn"), static_cast<int>(state.DebugOn),
                      static_cast<int>(defaults::DebugOn));
    bag.writeProperty(QStringLiteral("ChopOn"), static_cast<int>(state.ChopOn),
                      static_cast<int>(defaults::ChopOn));
    bag.writeProperty(QStringLiteral("XMLStatus"), static_cast<int>(state.XMLStatus),
                      static_cast<int>(defaults::XMLStatus));
}

MethodError CorvanefaxControl::Attiva()
{
    ControlState& state = ControlState::current();
    if (state.DebugOn == VbTrue) {
        DebugOutput::current().showAndClear();
        DebugLog(QStringLiteral("Debug abilitato"));
    }
    QString why;
    if (!VerificaAppliance(state.IndirizzoIP, &why)) {
        DebugLog(QStringLiteral("cant find corvane appliance on ") + state.IndirizzoIP);
        DebugLog(why);
        QString text = messages::ApplianceOffline;
        if (m_events)
            m_events->MessageFromAppliance(text);
        state.IsActive = VbFalse;
        return {};
    }
    const bool capture = !m_site || m_site->hostsPrintCapture();
    if (capture) {
        if (MethodError error = VerificaStampante())
            return error;
        AscoltaStampante();
    }
    m_timer1.setAddress(state.IndirizzoIP);
    m_timer1.enable(state.XMLStatus == VbTrue);
    state.IsActive = VbTrue;
    return {};
}

MethodError CorvanefaxControl::VerificaStampante()
{
    CupsPrinterSystem printers;
    PrinterSetup setup(printers);
    return setup.VerificaStampante(ControlState::current().NomeStampante, messageBox(), &DebugLog);
}

void CorvanefaxControl::AscoltaStampante()
{
    m_socket.setPrinterName(ControlState::current().NomeStampante);
    m_socket.AscoltaStampante();
}

MethodError CorvanefaxControl::Reinizializza()
{
    return Attiva();
}

MethodError CorvanefaxControl::Termina()
{
    return {};
}

QVariant CorvanefaxControl::SendFax(const QString& FileName, const QString& FaxNumber,
                                    const QString& AdressNotify, qint16 MaxDials, const QString& ModemInvio,
                                    MethodError* error)
{
    ControlState& state = ControlState::current();
    if (state.IsActive == VbFalse) {
        DebugLog(controlLibraryName() + QStringLiteral(".attiva non eseguito "));
        messageBox().show(
            {messages::NotActivated, QStringLiteral("KestrelOCX"), MsgIcon::Exclamation, MsgButtons::Ok});
        return {};
    }
    const QStringList files = splitFileList(FileName);
    if (files.size() > ControlState::MaxFiles) {
        if (error)
            *error = {9, QStringLiteral("Subscript out of range")};
        return {};
    }
    state.FileCount = 0;
    state.CurrentFile = 1;
    state.FileList = QStringList{QString()} + files;
    state.FileCount = static_cast<qint16>(files.size());
    state.MaxDials = MaxDials;
    state.FaxNumber = FaxNumber;
    state.notifyAddress = AdressNotify;
    state.ModemInvio = ModemInvio;
    state.FileName = FileName;
    return m_session.start();
}

MethodError CorvanefaxControl::chiuditutto()
{
    m_session.chiuditutto(true);
    return {};
}

void CorvanefaxControl::sessionFaxSubmitted(const QString& jobNumber, const QString& sentFiles)
{
    QString job = jobNumber;
    QString files = sentFiles;
    if (m_events)
        m_events->FaxSubmitted(job, files);
}

void CorvanefaxControl::sessionMessage(const QString& text)
{
    QString message = text;
    if (m_events)
        m_events->MessageFromAppliance(message);
}

QWidget* CorvanefaxControl::CreateFace(QWidget* parent)
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return nullptr;
    if (!m_face)
        m_face = new ControlFace(parent);
    return m_face;
}

void CorvanefaxControl::SetExtent(int, int)
{
    // The control keeps its 780 x 780 twip size; its face is fixed-size too.
}

int CorvanefaxControl::ExtentWidth() const
{
    return ControlFace::SizeTwips;
}
int CorvanefaxControl::ExtentHeight() const
{
    return ControlFace::SizeTwips;
}

} // namespace kestrel
