#include "CorvanefaxHost.h"

#include "ComponentRegistry.h"

using namespace Qt::StringLiterals;

namespace kestrel {

CorvanefaxHost::CorvanefaxHost(QObject* parent) : QObject(parent) {}

CorvanefaxHost::~CorvanefaxHost()
{
    destroy();
}

Status CorvanefaxHost::create()
{
    destroy();
    const QString progId = QString::fromLatin1(CorvanefaxProgId);
    // A control library of before the job options has only the first interface.
    if (const Expected<void*> extended =
            ComponentRegistry::createInstance(progId, CorvanefaxJobOptionsInterfaceId)) {
        auto* control = static_cast<ICorvanefaxJobOptions*>(*extended);
        adopt(std::unique_ptr<ICorvanefax>(control), control);
        return {};
    }
    const Expected<void*> object = ComponentRegistry::createInstance(progId, CorvanefaxInterfaceId);
    if (!object)
        return object.error();
    adopt(std::unique_ptr<ICorvanefax>(static_cast<ICorvanefax*>(*object)));
    return {};
}

void CorvanefaxHost::adopt(std::unique_ptr<ICorvanefax> control, ICorvanefaxJobOptions* jobOptions)
{
    destroy();
    m_control = std::move(control);
    m_jobOptions = m_control ? jobOptions : nullptr;
    if (!m_control)
        return;
    m_control->SetClientSite(this);
    m_control->Advise(this);
    m_control->ReadProperties(m_designData);
}

void CorvanefaxHost::destroy()
{
    m_open = false;
    if (!m_control)
        return;
    m_control->Advise(nullptr);
    m_control->SetClientSite(nullptr);
    m_jobOptions = nullptr;
    m_control.reset();
}

void CorvanefaxHost::setWaitLimitMs(qint64 ms)
{
    m_waitLimitMs = static_cast<int>(qBound<qint64>(1, ms, LongestWaitMs));
}

QVariant CorvanefaxHost::sendFax(const QString& files, const QString& numbers, const QString& notify,
                                 qint16 maxDials, const std::optional<QString>& line,
                                 const JobOptions& options)
{
    if (!m_control)
        return {};
    const quint64 attempt = ++m_attempt;
    m_open = true;
    // One job per number; a list without numbers still makes one job.
    m_jobsLeft = qMax<int>(1, int(numbers.split(u':', Qt::SkipEmptyParts).size()));
    m_lastRefusal.clear();
    // The options of an earlier fax never carry over to this one.
    if (m_jobOptions) {
        m_jobOptions->SetJobOptions(options);
    } else if (!options.isDefault()) {
        failed(NoJobOptions.toString());
        return {};
    }
    MethodError error;
    const QVariant result =
        line ? m_control->SendFax(files, numbers, notify, maxDials, *line, &error)
             : m_control->SendFax(files, numbers, notify, maxDials, DefaultLine.toString(), &error);
    // A sendFax made meanwhile (from a handler) answers for itself.
    if (!result.isValid() && attempt == m_attempt && m_open) {
        QString reason =
            error.failed() ? u"%1 (%2)"_s.arg(error.description).arg(error.number) : m_lastRefusal;
        failed(reason.isEmpty() ? u"fax non inviato"_s : reason);
    }
    return result;
}

MethodError CorvanefaxHost::activate()
{
    if (!m_control)
        return {};
    bool offline = false;
    // The control says "offline" through its event, during the call.
    const QMetaObject::Connection watch =
        connect(this, &CorvanefaxHost::messageFromAppliance, this, [&offline](const QString& message) {
            if (message == ApplianceOffline)
                offline = true;
        });
    const MethodError error = m_control->Attiva();
    disconnect(watch);
    m_applianceAway = offline;
    return error;
}

void CorvanefaxHost::failed(const QString& reason)
{
    m_open = false;
    Q_EMIT submissionFailed(reason);
}

void CorvanefaxHost::PrintedDocAvailable(QString& SpoolFile)
{
    Q_EMIT printedDocAvailable(SpoolFile);
}

void CorvanefaxHost::FaxSubmitted(QString& JobNumber, QString& SentFiles)
{
    if (m_open && --m_jobsLeft <= 0)
        m_open = false;
    Q_EMIT faxSubmitted(JobNumber, SentFiles);
}

void CorvanefaxHost::MessageFromAppliance(QString& Msg)
{
    // A copy: the slots may run nested event loops, in which the control
    // can reuse its buffer.
    const QString message = Msg; // NOLINT(performance-unnecessary-copy-initialization)
    Q_EMIT messageFromAppliance(message);
    if (!m_open)
        return;
    if (const QString job = outcomeUnknownJob(message); !job.isEmpty()) {
        if (--m_jobsLeft <= 0)
            m_open = false;
        Q_EMIT outcomeUnknown(job);
    } else if (message.endsWith(FaxNotSent)) {
        failed(message);
    }
}

void CorvanefaxHost::XMLServerStatus(QString& XML_Output)
{
    Q_EMIT xmlServerStatus(XML_Output);
}

void CorvanefaxHost::XMLFaxOutStatus(QString& XML_Output)
{
    Q_EMIT xmlFaxOutStatus(XML_Output);
}

void CorvanefaxHost::XMLFaxDoneStatus(QString& XML_Output)
{
    Q_EMIT xmlFaxDoneStatus(XML_Output);
}

void CorvanefaxHost::propertyChanged(const QString&)
{
    if (m_control)
        m_control->WriteProperties(m_designData);
}

MsgAnswer CorvanefaxHost::WatchingBox::show(const MessageBoxRequest& request)
{
    const MsgAnswer answer = m_host.m_box->show(request);
    if (m_host.m_open) {
        m_host.m_lastRefusal = request.text;
        // The session ends without an event after a refused login.
        if (request.text == LoginRefused)
            m_host.failed(request.text);
    }
    return answer;
}

} // namespace kestrel
