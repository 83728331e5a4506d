#pragma once

#include "Corvanefax.h"
#include "JobOptions.h"

#include <QStringList>

#include <functional>

namespace kestrel::test {

using namespace Qt::StringLiterals;

// A stand-in for the fax control with the same interface: it records every
// call in order and raises the events a test asks for. SendFax answers
// "OnRun" unless a test scripts otherwise.
class RecordingControl : public ICorvanefaxJobOptions
{
public:
    QStringList calls;
    ICorvanefaxEvents* events = nullptr;
    IControlSite* site = nullptr;
    // Runs inside SendFax, after the call is recorded (to fail at once, say).
    std::function<QVariant(const QString& number)> onSendFax;
    // Runs inside Attiva, after the call is recorded.
    std::function<void()> onAttiva;

    struct SentFax
    {
        QString files;
        QString number;
        QString notify;
        qint16 maxDials;
        QString modem;
        JobOptions options; // in force at the call
    };
    QList<SentFax> sent;

    // The calls of methods only, without the property sets among them.
    QStringList methods() const
    {
        QStringList only;
        for (const QString& call : calls) {
            if (!call.contains(u'='))
                only << call;
        }
        return only;
    }

    // The events, as the control raises them.
    void submit(const QString& job)
    {
        QString j = job;
        QString files = sent.isEmpty() ? QString() : sent.constLast().files;
        events->FaxSubmitted(j, files);
    }
    void message(const QString& text)
    {
        QString m = text;
        events->MessageFromAppliance(m);
    }
    void printed(const QString& path)
    {
        QString p = path;
        events->PrintedDocAvailable(p);
    }

    void setIndirizzoIP(const QString& v) override { set(u"IndirizzoIP"_s, m_ip = v); }
    QString IndirizzoIP() const override { return m_ip; }
    void setNomeStampante(const QString& v) override { set(u"NomeStampante"_s, m_printer = v); }
    QString NomeStampante() const override { return m_printer; }
    void setPasswordUtente(const QString& v) override { set(u"PasswordUtente"_s, m_password = v); }
    QString PasswordUtente() const override { return m_password; }
    void setEmailAdress(const QString& v) override { set(u"EmailAdress"_s, m_mail = v); }
    QString EmailAdress() const override { return m_mail; }
    void setDebugOn(VbBool v) override { set(u"DebugOn"_s, QString::number(m_debug = v)); }
    VbBool DebugOn() const override { return m_debug; }
    void setChopOn(VbBool v) override { set(u"ChopOn"_s, QString::number(m_chop = v)); }
    VbBool ChopOn() const override { return m_chop; }
    void setXMLStatus(VbBool v) override { set(u"XMLStatus"_s, QString::number(m_xml = v)); }
    VbBool XMLStatus() const override { return m_xml; }
    void setNomeUtente(const QString& v) override { set(u"NomeUtente"_s, m_user = v); }
    QString NomeUtente() const override { return m_user; }

    MethodError Attiva() override
    {
        calls << u"Attiva"_s;
        if (onAttiva)
            onAttiva();
        return {};
    }
    MethodError VerificaStampante() override { return record(u"VerificaStampante"_s); }
    MethodError Reinizializza() override { return record(u"Reinizializza"_s); }
    MethodError Termina() override { return record(u"Termina"_s); }
    QVariant SendFax(const QString& FileName, const QString& FaxNumber, const QString& AdressNotify,
                     qint16 MaxDials, const QString& ModemInvio, MethodError*) override
    {
        calls << u"SendFax "_s + FaxNumber;
        sent.append({FileName, FaxNumber, AdressNotify, MaxDials, ModemInvio, m_options});
        if (onSendFax)
            return onSendFax(FaxNumber);
        return u"OnRun"_s;
    }
    MethodError chiuditutto() override { return record(u"chiuditutto"_s); }
    void SetJobOptions(const JobOptions& options) override { m_options = options; }
    JobOptions GetJobOptions() const override { return m_options; }

    void SetClientSite(IControlSite* s) override { site = s; }
    void Advise(ICorvanefaxEvents* sink) override { events = sink; }
    void InitProperties() override {}
    void ReadProperties(IPropertyBag&) override {}
    void WriteProperties(IPropertyBag&) const override {}
    QWidget* CreateFace(QWidget*) override { return nullptr; }
    void SetExtent(int, int) override {}
    int ExtentWidth() const override { return 780; }
    int ExtentHeight() const override { return 780; }

private:
    JobOptions m_options;
    void set(const QString& property, const QString& value) { calls << property + u'=' + value; }
    MethodError record(const QString& call)
    {
        calls << call;
        return {};
    }

    QString m_ip, m_printer, m_password, m_mail, m_user;
    VbBool m_debug = 0, m_chop = -1, m_xml = 0;
};

} // namespace kestrel::test
