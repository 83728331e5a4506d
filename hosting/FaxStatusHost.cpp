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
    const Expected<void*> object =
        ComponentRegistry::createInstance(QString::fromLatin1(FaxStatusProgId), FaxStatusInterfaceId);
    if (!object)
        return object.error();
    adopt(std::unique_ptr<IFaxStatus>(static_cast<IFaxStatus*>(*object)));
    return {};
}

void FaxStatusHost::adopt(std::unique_ptr<IFaxStatus> query)
{
    destroy();
    m_query = std::move(query);
    if (m_query)
        m_query->Advise(this);
}

void FaxStatusHost::destroy()
{
    if (!m_query)
        return;
    m_query->Advise(nullptr);
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

void FaxStatusHost::JobStatus(const JobReport& report)
{
    Q_EMIT jobReported(report);
}

void FaxStatusHost::QueryEnded(const QString& error)
{
    Q_EMIT queryEnded(error);
}

} // namespace kestrel
