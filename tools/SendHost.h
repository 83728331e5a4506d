#pragma once

#include "Corvanefax.h"

#include <QObject>
#include <QStringList>

namespace kestrel {

struct SendRequest
{
    QString appliance;
    QString user;
    QString password;
    QString notify;
    qint16 maxDials = 3;
    QString line; // empty: the control's default line
    bool debug = false;
    QStringList numbers;
    QStringList files;
};

// Hosts the fax control without windows and sends one job per number, the
// next one started from the FaxSubmitted handler, as the desktop client
// does. Message boxes and notices of the control go to standard error.
class SendHost : public QObject, public ICorvanefaxEvents, public IControlSite
{
    Q_OBJECT
public:
    SendHost(ICorvanefax& control, SendRequest request);

    // Activates the control and starts the first job. The host is done when
    // finished() is emitted.
    void start();
    int failures() const { return m_failures; }
    const QStringList& jobNumbers() const { return m_jobs; }

Q_SIGNALS:
    void finished(int exitCode);

private:
    void startJob(int index);
    void jobFailed(const QString& reason);
    void finish(int exitCode);

    void FaxSubmitted(QString& JobNumber, QString& SentFiles) override;
    void MessageFromAppliance(QString& Msg) override;

    IMessageBox& messageBox() override { return m_box; }
    void propertyChanged(const QString&) override {}
    // Sending files needs no capture printer and no capture port.
    bool hostsPrintCapture() const override { return false; }

    class ErrorBox : public IMessageBox
    {
    public:
        explicit ErrorBox(SendHost& host) : m_host(host) {}
        MsgAnswer show(const MessageBoxRequest& request) override;

    private:
        SendHost& m_host;
    };

    ICorvanefax& m_control;
    SendRequest m_request;
    ErrorBox m_box{*this};
    QString m_fileList;
    int m_current = -1;
    int m_failures = 0;
    bool m_jobOpen = false;
    bool m_finished = false;
    QStringList m_jobs;
};

} // namespace kestrel
