#pragma once

#include "BackgroundPrinterSetup.h"
#include "Corvanefax.h"
#include "FaxSession.h"
#include "PrintCapture.h"
#include "StatusPoller.h"

#include <QObject>
#include <QPointer>

namespace kestrel {

using namespace Qt::StringLiterals;

// The fax control "KestrelOCX.corvanefax". Its fields live in the shared
// per-thread ControlState; its components (sCmd, wsData and the rest) are
// its own.
class CorvanefaxControl : public QObject, public ICorvanefax, private SessionHost
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

    void SetClientSite(IControlSite* site) override { m_site = site; }
    void Advise(ICorvanefaxEvents* sink) override { m_events = sink; }
    void InitProperties() override;
    void ReadProperties(IPropertyBag& bag) override;
    void WriteProperties(IPropertyBag& bag) const override;

    QWidget* CreateFace(QWidget* parent) override;
    void SetExtent(int widthTwips, int heightTwips) override;
    int ExtentWidth() const override;
    int ExtentHeight() const override;

    FaxSession& session() { return m_session; }
    PrintCapture& Socket() { return m_socket; }
    StatusPoller& Timer1() { return m_timer1; }
    // Number of instances alive, for DllCanUnloadNow.
    static int instanceCount();

    // The site's time limit, kept within what the timers can count.
    int waitLimitMs() const;

private:
    void AscoltaStampante();
    void propertyChanged(const QString& name);
    IMessageBox& messageBox();

    void sessionFaxSubmitted(const QString& jobNumber, const QString& sentFiles) override;
    void sessionMessage(const QString& text) override;
    IMessageBox& sessionMessageBox() override { return messageBox(); }

    IControlSite* m_site = nullptr;
    ICorvanefaxEvents* m_events = nullptr;
    FaxSession m_session;
    PrintCapture m_socket;
    StatusPoller m_timer1;
    // After the session and the poller, which it asks whether they are busy.
    BackgroundPrinterSetup m_printerSetup;
    QPointer<QWidget> m_face;
};

// The name the control's library file has, without folder and extension.
QString controlLibraryName();

} // namespace kestrel
