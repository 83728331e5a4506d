#include "SendHost.h"

#include "SignalWatcher.h"

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

SendHost::SendHost(CorvanefaxHost& host, SendRequest request) : m_host(host), m_request(std::move(request))
{
    connect(&m_host, &CorvanefaxHost::faxSubmitted, this, &SendHost::onSubmitted);
    connect(&m_host, &CorvanefaxHost::messageFromAppliance, this, &SendHost::onMessage);
    connect(&m_host, &CorvanefaxHost::submissionFailed, this, &SendHost::onFailed);
    connect(&m_host, &CorvanefaxHost::outcomeUnknown, this, &SendHost::onOutcomeUnknown);
}

void SendHost::start()
{
    ICorvanefax& control = *m_host.control();
    control.setIndirizzoIP(m_request.appliance);
    if (!m_request.user.isNull())
        control.setNomeUtente(m_request.user);
    if (!m_request.password.isNull())
        control.setPasswordUtente(m_request.password);
    control.setNomeStampante(u"kestrel"_s);
    control.setXMLStatus(VbFalse);
    control.setDebugOn(m_request.debug ? VbTrue : VbFalse);

    if (const MethodError error = control.Attiva(); error.failed()) {
        printError(u"attivazione non riuscita: %1 (%2)"_s.arg(error.description).arg(error.number));
        onFailed(QString());
        return;
    }
    if (m_offline) {
        onFailed(QString());
        return;
    }
    QString files;
    for (const QString& file : std::as_const(m_request.files))
        files += file + u',';
    const std::optional<QString> line =
        m_request.line.isEmpty() ? std::nullopt : std::optional<QString>(m_request.line);
    m_host.sendFax(files, m_request.numbers.join(u':'), m_request.notify, m_request.maxDials, line,
                   m_request.options);
}

void SendHost::onSubmitted(const QString& jobNumber)
{
    std::fprintf(stdout, "%s\n", jobNumber.toLocal8Bit().constData());
    std::fflush(stdout);
    m_jobs << jobNumber;
    if (m_jobs.size() == m_request.numbers.size())
        submitted(m_unsettled ? 1 : 0);
}

void SendHost::onOutcomeUnknown(const QString& jobNumber)
{
    // The control has said so; the job may have gone, so it is never
    // counted as not sent, nor as accepted.
    m_jobs << jobNumber;
    m_unsettled = true;
    if (m_jobs.size() == m_request.numbers.size())
        submitted(1);
}

void SendHost::onMessage(const QString& message)
{
    if (message == ApplianceOffline)
        m_offline = true;
    printError(message);
}

void SendHost::onFailed(const QString&)
{
    // The control has said why; say which numbers it concerns. Jobs are
    // made in the order of the numbers.
    for (qsizetype i = m_jobs.size(); i < m_request.numbers.size(); ++i)
        printError(u"fax al numero %1 non inviato"_s.arg(m_request.numbers.at(i)));
    submitted(1);
}

void SendHost::submitted(int exitCode)
{
    if (m_submitted)
        return;
    m_submitted = true;
    if (!m_request.wait || m_jobs.isEmpty()) {
        finish(exitCode);
        return;
    }
    // Once the control has unwound: the wait runs from the event loop.
    QTimer::singleShot(0, this, [this] {
        // Ctrl-C or SIGTERM from now on ends the wait, not the program.
        m_signals = std::make_unique<SignalWatcher>();
        if (m_signals->install())
            connect(m_signals.get(), &SignalWatcher::terminationRequested, this, &SendHost::interrupt);
        m_waiter = std::make_unique<OutcomeWaiter>();
        if (const Status created = m_waiter->create(); !created) {
            printError(created.error().message);
            finish(1);
            return;
        }
        const ICorvanefax& control = *m_host.control();
        m_waiter->setServer(m_request.appliance, control.NomeUtente(), control.PasswordUtente());
        m_waiter->setReplyLimitMs(m_request.replyLimitMs);
        m_waiter->setOverallLimitMs(m_request.waitLimitMs);
        // A number that got no job makes the whole run fail, whatever
        // becomes of the others; an unsettled job is settled by the wait.
        const bool allMade = m_jobs.size() == m_request.numbers.size();
        connect(m_waiter.get(), &OutcomeWaiter::finished, this,
                [this, allMade](int verdict) { finish(allMade ? verdict : 1); });
        m_waiter->start(m_jobs);
    });
}

void SendHost::interrupt()
{
    if (m_waiter)
        m_waiter->stop();
}

void SendHost::finish(int exitCode)
{
    if (m_finished)
        return;
    m_finished = true;
    // Once the control has unwound.
    QTimer::singleShot(0, this, [this, exitCode] { Q_EMIT finished(exitCode); });
}

} // namespace kestrel
