#include "FaxStatusHost.h"

#include "ComponentRegistry.h"

namespace kestrel {

FaxStatusHost::FaxStatusHost(QObject* parent) : QObject(parent) {}

FaxStatusHost::~FaxStatusHost()
{
    destroy();
}

Status FaxStatusHost::create()
{
    destroy();
    // The second interface first; a library older than it has the first.
    const QString progId = QString::fromLatin1(FaxStatusProgId);
    if (const Expected<void*> changing = ComponentRegistry::createInstance(progId, FaxStatus2InterfaceId)) {
        auto* query = static_cast<IFaxStatus2*>(*changing);
        adoptQuery(std::unique_ptr<IFaxStatus>(query), query);
        return {};
    }
    const Expected<void*> object = ComponentRegistry::createInstance(progId, FaxStatusInterfaceId);
    if (!object)
        return object.error();
    adoptQuery(std::unique_ptr<IFaxStatus>(static_cast<IFaxStatus*>(*object)), nullptr);
    return {};
}

void FaxStatusHost::adoptQuery(std::unique_ptr<IFaxStatus> query, IFaxStatus2* changing)
{
    destroy();
    m_query = std::move(query);
    m_changing = m_query ? changing : nullptr;
    if (m_query)
        m_query->Advise(this);
    if (m_changing)
        m_changing->AdviseActions(this);
}

void FaxStatusHost::destroy()
{
    if (!m_query)
        return;
    m_query->Advise(nullptr);
    if (m_changing)
        m_changing->AdviseActions(nullptr);
    m_changing = nullptr;
    m_query.reset();
}

void FaxStatusHost::setServer(const QString& address, const QString& userName, const QString& password)
{
    if (m_query)
        m_query->SetServer(address, userName, password);
}

void FaxStatusHost::setWaitLimitMs(int ms)
{
    if (m_query)
        m_query->SetWaitLimitMs(ms);
}

bool FaxStatusHost::ask(const QStringList& jobNumbers)
{
    return m_query && !jobNumbers.isEmpty() && m_query->Query(jobNumbers);
}

bool FaxStatusHost::isAsking() const
{
    return m_query && m_query->IsQuerying();
}

bool FaxStatusHost::cancelJobs(const QStringList& jobNumbers)
{
    return m_changing && !jobNumbers.isEmpty() && m_changing->Cancel(jobNumbers);
}

bool FaxStatusHost::moveJob(const QString& jobNumber, const QDateTime& sendTime)
{
    return m_changing && !jobNumber.isEmpty() && sendTime.isValid() &&
           m_changing->MoveSendTime(jobNumber, sendTime);
}

bool FaxStatusHost::isChanging() const
{
    return m_changing && m_changing->IsActing();
}

void FaxStatusHost::JobActed(const JobActionReport& report)
{
    Q_EMIT jobActed(report);
}

void FaxStatusHost::ActionsEnded(const QString& error)
{
    Q_EMIT actionsEnded(error);
}

void FaxStatusHost::JobStatus(const JobReport& report)
{
    Q_EMIT jobReported(report);
}

void FaxStatusHost::QueryEnded(const QString& error)
{
    Q_EMIT queryEnded(error);
}

} // namespace kestrel
