#include "CorvanefaxControl.h"

#include "AppliancePages.h"
#include "ControlFace.h"
#include "ControlProperties.h"
#include "ControlState.h"
#include "ControlTexts.h"
#include "CupsPrinterSystem.h"
#include "DebugLog.h"
#include "DebugOutput.h"
#include "MemoryPropertyBag.h"
#include "PlainTextMessageBox.h"
#include "SessionText.h"
#include "Wait.h"

#include <QApplication>
#include <QFileInfo>

#include <atomic>
#include <dlfcn.h>

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

std::atomic<int> liveInstances{0};

// A day: longer than any wait of a fax appliance, short enough for every
// timer.
constexpr int LongestWaitMs = 24 * 60 * 60 * 1000;

} // namespace

QString controlLibraryName()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&controlLibraryName), &info) == 0 || !info.dli_fname)
        return u"KestrelOCX"_s;
    QString name = QFileInfo(QString::fromLocal8Bit(info.dli_fname)).fileName();
    name = name.left(name.indexOf(u'.') < 0 ? name.size() : name.indexOf(u'.'));
    if (name.startsWith("lib"_L1))
        name.remove(0, 3);
    return name;
}

ControlParts::ControlParts(SessionHost& host)
    : session(host), printerSetup(std::make_shared<CupsPrinterSystem>(),
                                  {.messageBox = [this]() -> IMessageBox& { return box; },
                                   // A modal box opened inside a submission's wait would
                                   // hold the submission up until the user closes it.
                                   .busy = [this] { return session.isActive() || timer1.isTicking(); },
                                   .log = &DebugLog})
{
    ++liveInstances;
}

ControlParts::~ControlParts()
{
    --liveInstances;
}

void ControlParts::retire()
{
    session.retire();
    socket.stopListening();
    timer1.enable(false);
}

template <typename Raise> bool CorvanefaxControl::raise(Raise&& event)
{
    if (!m_events)
        return true;
    const Activity::Scope scope(m_activity);
    event(*m_events);
    return scope.alive();
}

CorvanefaxControl::CorvanefaxControl(QObject* parent)
    : QObject(parent), m_parts(std::make_unique<ControlParts>(static_cast<SessionHost&>(*this))),
      m_session(m_parts->session), m_socket(m_parts->socket), m_timer1(m_parts->timer1)
{
    m_session.setLogger(&DebugLog);
    m_socket.setLogger(&DebugLog);
    m_timer1.setLogger(&DebugLog);
    m_timer1.setActivity(m_activity);
    // Each box of the parts counts as one of the control's frames; once the
    // control is gone they take their default answer.
    m_parts->box.showThroughControl = [this, activity = m_activity](const MessageBoxRequest& request) {
        if (activity->ended())
            return defaultAnswer(request.buttons);
        const Activity::Scope scope(activity);
        return messageBox().show(request);
    };
    connect(&m_socket, &PrintCapture::PrintedDocAvailable, this, [this](const QString& path) {
        raise([&path](ICorvanefaxEvents& events) {
            QString spoolFile = path;
            events.PrintedDocAvailable(spoolFile);
        });
    });
    connect(&m_socket, &PrintCapture::captureFailed, this, &CorvanefaxControl::sessionMessage);
    connect(&m_socket, &PrintCapture::captureResumed, this, &CorvanefaxControl::sessionMessage);
    connect(&m_parts->printerSetup, &BackgroundPrinterSetup::problem, this,
            &CorvanefaxControl::sessionMessage);
    connect(&m_timer1, &StatusPoller::XMLServerStatus, this, [this](const QString& page) {
        raise([&page](ICorvanefaxEvents& events) {
            QString xml = page;
            events.XMLServerStatus(xml);
        });
    });
    connect(&m_timer1, &StatusPoller::XMLFaxOutStatus, this, [this](const QString& page) {
        raise([&page](ICorvanefaxEvents& events) {
            QString xml = page;
            events.XMLFaxOutStatus(xml);
        });
    });
    connect(&m_timer1, &StatusPoller::XMLFaxDoneStatus, this, [this](const QString& page) {
        raise([&page](ICorvanefaxEvents& events) {
            QString xml = page;
            events.XMLFaxDoneStatus(xml);
        });
    });
}

CorvanefaxControl::~CorvanefaxControl()
{
    delete m_face;
    // Code of the parts may still be on the stack (the host destroyed the
    // control from a handler or a wait of its own): they are retired now and
    // go once that code has left.
    m_parts->retire();
    m_activity->end([parts = m_parts.release(), deferred = m_activity->busy()] {
        if (deferred)
            parts->deleteLater();
        else
            delete parts;
    });
}

bool CorvanefaxControl::showBox(const MessageBoxRequest& request)
{
    const Activity::Scope scope(m_activity);
    messageBox().show(request);
    return scope.alive();
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

int CorvanefaxControl::waitLimitMs() const
{
    const int limit = m_site ? m_site->waitLimitMs() : FaxSession::DefaultWaitLimitMs;
    return qBound(1, limit, LongestWaitMs);
}

IMessageBox& CorvanefaxControl::messageBox()
{
    static PlainTextMessageBox plain;
    return m_site ? m_site->messageBox() : plain;
}

// Properties: "let" stores and tells the container; "get" returns the field.
template <typename T> void CorvanefaxControl::let(T ControlState::*field, const T& value)
{
    ControlState::current().*field = value;
    propertyChanged(propertyOf(field).name.toString());
}

void CorvanefaxControl::setIndirizzoIP(const QString& value)
{
    m_timer1.setAddress(value);
    let(&ControlState::IndirizzoIP, value);
}
QString CorvanefaxControl::IndirizzoIP() const
{
    return ControlState::current().IndirizzoIP;
}

void CorvanefaxControl::setNomeStampante(const QString& value)
{
    m_socket.setPrinterName(value);
    let(&ControlState::NomeStampante, value);
}
QString CorvanefaxControl::NomeStampante() const
{
    return ControlState::current().NomeStampante;
}

void CorvanefaxControl::setPasswordUtente(const QString& value)
{
    let(&ControlState::PasswordUtente, value);
}
QString CorvanefaxControl::PasswordUtente() const
{
    return ControlState::current().PasswordUtente;
}

void CorvanefaxControl::setEmailAdress(const QString& value)
{
    let(&ControlState::notifyAddress, value);
}
QString CorvanefaxControl::EmailAdress() const
{
    return ControlState::current().notifyAddress;
}

void CorvanefaxControl::setDebugOn(VbBool value)
{
    let(&ControlState::DebugOn, value);
}
VbBool CorvanefaxControl::DebugOn() const
{
    return ControlState::current().DebugOn;
}

void CorvanefaxControl::setChopOn(VbBool value)
{
    let(&ControlState::ChopOn, value);
}
VbBool CorvanefaxControl::ChopOn() const
{
    return ControlState::current().ChopOn;
}

void CorvanefaxControl::setXMLStatus(VbBool value)
{
    let(&ControlState::XMLStatus, value);
}
VbBool CorvanefaxControl::XMLStatus() const
{
    return ControlState::current().XMLStatus;
}

void CorvanefaxControl::setNomeUtente(const QString& value)
{
    let(&ControlState::NomeUtente, value);
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
    for (const ControlProperty& property : controlProperties())
        property.write(state, bag.readProperty(property.name.toString(), property.defaultValue));
    m_socket.setPrinterName(state.NomeStampante);
    m_timer1.setAddress(state.IndirizzoIP);
}

void CorvanefaxControl::WriteProperties(IPropertyBag& bag) const
{
    const ControlState& state = ControlState::current();
    for (const ControlProperty& property : controlProperties())
        bag.writeProperty(property.name.toString(), property.read(state), property.defaultValue);
}

MethodError CorvanefaxControl::Attiva()
{
    const Activity::Scope scope(m_activity);
    ControlState& state = ControlState::current();
    if (state.DebugOn == VbTrue) {
        DebugOutput::current().showAndClear();
        DebugLog(u"Debug abilitato"_s);
    }
    const int limit = waitLimitMs();
    m_session.setWaitLimitMs(limit);
    m_timer1.setTickTimeLimitMs(limit);
    // Print jobs are taken whether or not the appliance answers: they wait in
    // the send window until it is back. The print system is asked on a
    // thread of its own (libcups can wait a minute): an error it gives at
    // once is the activation's error, in the user's words, once the
    // appliance has been asked as well; one that comes later reaches the
    // host as a message. The capture port opens either way.
    MethodError printer;
    if (!m_site || m_site->hostsPrintCapture()) {
        printer = m_parts->printerSetup.checkQuickly(state.NomeStampante, limit);
        if (!scope.alive())
            return {};
        if (printer.failed()) {
            DebugLog(u"VerificaStampante: "_s + printer.description);
            printer.description = texts::printerNotChecked(
                state.NomeStampante, BackgroundPrinterSetup::problemText(printer.number));
        }
        AscoltaStampante();
    }
    const Status appliance = VerificaAppliance(state.IndirizzoIP, limit);
    if (!scope.alive())
        return {};
    if (!appliance) {
        if (interruptionRequested()) {
            // The program is quitting: the appliance was not asked, and
            // is not offline for all anyone knows.
            DebugLog(appliance.error().message);
            return {};
        }
        DebugLog(u"cant find corvane appliance on "_s + state.IndirizzoIP);
        DebugLog(appliance.error().message);
        state.IsActive = VbFalse;
        raise([](ICorvanefaxEvents& events) {
            QString text = texts::applianceOffline();
            events.MessageFromAppliance(text);
        });
        return printer;
    }
    m_timer1.setAddress(state.IndirizzoIP);
    m_timer1.enable(state.XMLStatus == VbTrue);
    state.IsActive = VbTrue;
    return printer;
}

MethodError CorvanefaxControl::VerificaStampante()
{
    const Activity::Scope scope(m_activity);
    // Its errors go to its caller; the wait lets the windows go on.
    return m_parts->printerSetup.checkAndWait(ControlState::current().NomeStampante, waitLimitMs());
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
    const Activity::Scope scope(m_activity);
    ControlState& state = ControlState::current();
    if (state.IsActive == VbFalse) {
        DebugLog(controlLibraryName() + u".attiva non eseguito "_s);
        showBox({texts::notActivated(), texts::BoxTitle, MsgIcon::Exclamation, MsgButtons::Ok});
        return {};
    }
    Submission submission;
    submission.files = splitFileList(FileName);
    if (submission.files.size() > ControlState::MaxFiles) {
        if (error)
            *error = {9, u"Subscript out of range"_s};
        return {};
    }
    // Options the fax server would misread (a kill time of no hours, tries
    // that wrap around) are the host's mistake, raised as such.
    const JobOptions& options = m_jobOptions;
    if ((options.sendAt && !options.sendAt->isValid()) ||
        (options.killAfterHours &&
         (*options.killAfterHours < 1 || *options.killAfterHours > JobOptions::MostKillAfterHours)) ||
        (options.maxTries && (*options.maxTries < 1 || *options.maxTries > JobOptions::MostTries))) {
        if (error)
            *error = {5, u"Invalid procedure call or argument"_s};
        return {};
    }
    submission.options = options;
    state.notifyAddress = AdressNotify;
    submission.fileName = FileName;
    submission.numbers = splitNumberList(FaxNumber);
    submission.userName = state.NomeUtente;
    submission.password = state.PasswordUtente;
    submission.notifyAddress = AdressNotify;
    submission.maxDials = MaxDials;
    submission.modem = ModemInvio;
    submission.chopOn = state.ChopOn != VbFalse;
    m_session.setWaitLimitMs(waitLimitMs());
    return m_session.start(state.IndirizzoIP, std::move(submission));
}

MethodError CorvanefaxControl::chiuditutto()
{
    const Activity::Scope scope(m_activity);
    m_session.chiuditutto(true);
    return {};
}

void CorvanefaxControl::sessionFaxSubmitted(const QString& jobNumber, const QString& sentFiles)
{
    raise([&](ICorvanefaxEvents& events) {
        QString job = jobNumber;
        QString files = sentFiles;
        events.FaxSubmitted(job, files);
    });
}

void CorvanefaxControl::sessionMessage(const QString& text)
{
    raise([&text](ICorvanefaxEvents& events) {
        QString message = text;
        events.MessageFromAppliance(message);
    });
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
