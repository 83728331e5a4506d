#include "SendHost.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

void printError(const QString& text)
{
    QString line = text;
    line.replace(u'\r', u' ');
    std::fprintf(stderr, "corvafax-send: %s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}

} // namespace

SendHost::SendHost(ICorvanefax& control, SendRequest request)
    : m_control(control), m_request(std::move(request))
{
    for (const QString& file : m_request.files)
        m_fileList += file + u',';
}

void SendHost::start()
{
    m_control.SetClientSite(this);
    m_control.Advise(this);
    m_control.InitProperties();
    m_control.setIndirizzoIP(m_request.appliance);
    if (!m_request.user.isNull())
        m_control.setNomeUtente(m_request.user);
    if (!m_request.password.isNull())
        m_control.setPasswordUtente(m_request.password);
    m_control.setNomeStampante(u"kestrel"_s);
    m_control.setXMLStatus(VbFalse);
    m_control.setDebugOn(m_request.debug ? VbTrue : VbFalse);

    // "Offline" arrives as MessageFromAppliance during Attiva.
    m_jobOpen = true;
    if (const MethodError error = m_control.Attiva()) {
        printError(u"attivazione non riuscita: %1 (%2)"_s.arg(error.description).arg(error.number));
        finish(1);
        return;
    }
    if (m_finished)
        return;
    m_jobOpen = false;
    startJob(0);
}

void SendHost::startJob(int index)
{
    if (m_finished)
        return;
    if (index >= m_request.numbers.size()) {
        finish(m_failures == 0 ? 0 : 1);
        return;
    }
    m_current = index;
    m_jobOpen = true;
    const QString number = m_request.numbers.at(index);
    MethodError error;
    const QVariant result =
        m_request.line.isEmpty()
            ? m_control.SendFax(m_fileList, number, m_request.notify, m_request.maxDials, u"any"_s, &error)
            : m_control.SendFax(m_fileList, number, m_request.notify, m_request.maxDials, m_request.line,
                                &error);
    if (error) {
        jobFailed(u"%1 (%2)"_s.arg(error.description).arg(error.number));
        return;
    }
    // A session that did not start has told us why already; make sure the
    // job is counted and the next one goes.
    if (!result.isValid() && m_jobOpen && m_current == index)
        jobFailed(u"fax al numero %1 non inviato"_s.arg(number));
}

void SendHost::FaxSubmitted(QString& JobNumber, QString&)
{
    std::fprintf(stdout, "%s\n", JobNumber.toLocal8Bit().constData());
    std::fflush(stdout);
    m_jobs << JobNumber;
    m_jobOpen = false;
    // The next destination starts from inside the event, as the client's
    // send window does.
    const int next = m_current + 1;
    if (next < m_request.numbers.size()) {
        m_control.Termina();
        if (const MethodError error = m_control.Attiva()) {
            printError(error.description);
            finish(1);
            return;
        }
        startJob(next);
    } else {
        finish(m_failures == 0 ? 0 : 1);
    }
}

void SendHost::MessageFromAppliance(QString& Msg)
{
    printError(Msg);
    if (m_jobOpen)
        jobFailed(QString());
}

MsgAnswer SendHost::ErrorBox::show(const MessageBoxRequest& request)
{
    printError(request.text);
    if (m_host.m_jobOpen)
        m_host.jobFailed(QString());
    return defaultAnswer(request.buttons);
}

void SendHost::jobFailed(const QString& reason)
{
    if (!reason.isEmpty())
        printError(reason);
    m_jobOpen = false;
    ++m_failures;
    if (m_current < 0) {
        // Activation failed: nothing can be sent.
        finish(1);
        return;
    }
    // Go on with the other numbers, once the control has unwound.
    const int next = m_current + 1;
    QTimer::singleShot(0, this, [this, next] { startJob(next); });
}

void SendHost::finish(int exitCode)
{
    if (m_finished)
        return;
    m_finished = true;
    QTimer::singleShot(0, this, [this, exitCode] { Q_EMIT finished(exitCode); });
}

} // namespace kestrel
