#pragma once

#include "Activity.h"
#include "BackgroundPrinterSetup.h"
#include "ControlState.h"
#include "Corvanefax.h"
#include "FaxSession.h"
#include "JobOptions.h"
#include "PrintCapture.h"
#include "StatusPoller.h"

#include <QObject>
#include <QPointer>

#include <memory>

namespace kestrel {

using namespace Qt::StringLiterals;

// The control's components: the session (sCmd, wsData), the capture port
// (Socket), Timer1 and the printer step. When the host destroys the control
// while their code is on the stack (a wait, a handler of the host, a box),
// they are retired and stay until that code has left.
class ControlParts : public QObject
{
    Q_OBJECT
public:
    explicit ControlParts(SessionHost& host);
    ~ControlParts() override;

    // The control is gone: no session goes on, the capture port is free for
    // the next control, polling stops, and nothing reaches the host.
    void retire();

    // The boxes the parts show, through the control while it is there.
    class Box : public IMessageBox
    {
    public:
        std::function<MsgAnswer(const MessageBoxRequest&)> showThroughControl;
        MsgAnswer show(const MessageBoxRequest& request) override
        {
            return showThroughControl ? showThroughControl(request) : defaultAnswer(request.buttons);
        }
    };

    FaxSession session;
    PrintCapture socket;
    StatusPoller timer1;
    Box box;
    // After the session and the poller, which it asks whether they are busy.
    BackgroundPrinterSetup printerSetup;
};

// The fax control "KestrelOCX.corvanefax". Its fields live in the shared
// per-thread ControlState; its components (sCmd, wsData and the rest) are
// its own.
//
// The host may destroy it from any event handler and while any method waits
// (the greeting, a page, a message box): each method and each event counts
// as one of its frames, and after every wait and every event a frame returns
// at once when the control is gone.
class CorvanefaxControl : public QObject, public ICorvanefaxJobOptions, private SessionHost
{
    Q_OBJECT
public:
    explicit CorvanefaxControl(QObject* parent = nullptr);
    ~CorvanefaxControl() override;

    void setIndirizzoIP(const QString& value) override;
    QString IndirizzoIP() const override;
    void setNomeStampante(const QString& value) override;
    QString NomeStampante() const override;
    void setPasswordUtente(const QString& value) override;
    QString PasswordUtente() const override;
    void setEmailAdress(const QString& value) override;
    QString EmailAdress() const override;
    void setDebugOn(VbBool value) override;
    VbBool DebugOn() const override;
    void setChopOn(VbBool value) override;
    VbBool ChopOn() const override;
    void setXMLStatus(VbBool value) override;
    VbBool XMLStatus() const override;
    void setNomeUtente(const QString& value) override;
    QString NomeUtente() const override;

    MethodError Attiva() override;
    MethodError VerificaStampante() override;
    MethodError Reinizializza() override;
    MethodError Termina() override;
    QVariant SendFax(const QString& FileName, const QString& FaxNumber, const QString& AdressNotify,
                     qint16 MaxDials = 3, const QString& ModemInvio = DefaultLine.toString(),
                     MethodError* error = nullptr) override;
    MethodError chiuditutto() override;

    void SetJobOptions(const JobOptions& options) override { m_jobOptions = options; }
    JobOptions GetJobOptions() const override { return m_jobOptions; }

    void SetClientSite(IControlSite* site) override { m_site = site; }
    void Advise(ICorvanefaxEvents* sink) override { m_events = sink; }
    void InitProperties() override;
    void ReadProperties(IPropertyBag& bag) override;
    void WriteProperties(IPropertyBag& bag) const override;

    QWidget* CreateFace(QWidget* parent) override;
    void SetExtent(int widthTwips, int heightTwips) override;
    int ExtentWidth() const override;
    int ExtentHeight() const override;

    FaxSession& session() { return m_parts->session; }
    PrintCapture& Socket() { return m_parts->socket; }
    StatusPoller& Timer1() { return m_parts->timer1; }
    // Number of instances alive (retired parts count too: their code is
    // still on the stack), for DllCanUnloadNow.
    static int instanceCount();

    // The site's time limit, kept within what the timers can count.
    int waitLimitMs() const;

private:
    // AscoltaStampante ("listen to the printer"): opens the capture port for
    // the printer named now.
    void AscoltaStampante();
    void propertyChanged(const QString& name);
    IMessageBox& messageBox();
    // Shows a box of the control's own; false when the host destroyed the
    // control meanwhile.
    bool showBox(const MessageBoxRequest& request);
    // Raises an event to the host's sink; false when the host destroyed the
    // control in its handler.
    template <typename Raise> bool raise(Raise&& event);
    // A property's "let": stores the value and tells the container.
    template <typename T> void let(T ControlState::*field, const T& value);

    void sessionFaxSubmitted(const QString& jobNumber, const QString& sentFiles) override;
    void sessionMessage(const QString& text) override;
    void sessionMessageBox(const MessageBoxRequest& request) override { showBox(request); }

    IControlSite* m_site = nullptr;
    ICorvanefaxEvents* m_events = nullptr;
    std::shared_ptr<Activity> m_activity = std::make_shared<Activity>();
    std::unique_ptr<ControlParts> m_parts;
    FaxSession& m_session;
    PrintCapture& m_socket;
    StatusPoller& m_timer1;
    QPointer<QWidget> m_face;
    JobOptions m_jobOptions;
};

// The name the control's library file has, without folder and extension.
QString controlLibraryName();

} // namespace kestrel
