#include "FaxLog.h"

#include "ClientTexts.h"
#include "MessageBox.h"
#include "NormalizeFaxNumber.h"
#include "ResendDocuments.h"
#include "ServerReasons.h"

namespace kestrel {

FaxLog::FaxLog(FaxHistory& history, StatusTracker& tracker, Services services, QObject* parent)
    : QObject(parent), m_history(history), m_tracker(tracker), m_services(std::move(services))
{
    connect(&m_tracker, &StatusTracker::faxEnded, this, &FaxLog::faxEnded);
    // Both queued: the history tells them in the middle of a write.
    connect(
        &m_history, &FaxHistory::storeFailed, this,
        [this](const QString& reason) { m_services.tell(texts::history::Unavailable + reason); },
        Qt::QueuedConnection);
    // The faxes of earlier runs, read late: the unfinished ones are asked about.
    connect(&m_history, &FaxHistory::prepended, &m_tracker, &StatusTracker::wake, Qt::QueuedConnection);
}

void FaxLog::record(const SubmittedJob& job, bool uncertain)
{
    FaxRecord record;
    record.job = job.job;
    record.appliance = job.appliance;
    record.number = job.number;
    // A typed number is named as the address book names it.
    record.name = job.description.isEmpty() ? contactName(job.number) : job.description;
    record.documents = job.documents;
    record.planned = job.planned;
    // What was sent, to know it again at "Reinvia".
    for (const QString& document : job.documents)
        record.stamps << ResendDocuments::stampOf(document);
    record.state = uncertain ? FaxState::ToCheck : FaxState::Queued;
    m_history.add(std::move(record));
    m_tracker.wake();
}

QString FaxLog::contactName(const QString& number) const
{
    if (const QString name = m_services.databaseName(number); !name.isEmpty())
        return name;
    const QString digits = FaxNumberDigits(number);
    if (digits.isEmpty())
        return {};
    for (const DesktopContact& contact : m_services.desktopContacts()) {
        if (FaxNumberDigits(contact.number) == digits)
            return contact.name;
    }
    return {};
}

void FaxLog::faxEnded(int index)
{
    const FaxRecord& record = m_history.records().at(index);
    const QString who = record.destination();
    const int handle = m_history.handleOf(index);
    switch (record.state) {
    case FaxState::Sent:
        m_services.notify(handle, texts::history::sentNotice(who, qMax(record.pagesSent, record.pagesTotal)),
                          false);
        break;
    case FaxState::Failed:
        m_services.notify(handle, texts::history::failedNotice(who, serverReasons::inItalian(record.reason)),
                          true);
        break;
    case FaxState::Cancelled:
        m_services.notify(handle, texts::history::cancelledNotice(who), false);
        break;
    default:
        break;
    }
}

void FaxLog::resend(int index)
{
    if (index < 0 || index >= m_history.records().size())
        return;
    // A copy: the send window's questions wait in an event loop, where the
    // history may change.
    const FaxRecord record = m_history.records().at(index);
    const ResendDocuments documents = ResendDocuments::check(record.documents, record.stamps);
    if (!m_services.putBack(record.number, record.name, documents.present))
        return;
    QStringList left;
    if (!documents.missing.isEmpty())
        left << texts::history::documentsMissing(documents.missing);
    if (!documents.refused.isEmpty())
        left << texts::history::documentsRefused(documents.refused);
    if (!left.isEmpty())
        m_services.messageBox->show(
            {left.join(u'\n'), texts::ProductName, MsgIcon::Exclamation, MsgButtons::Ok});
}

} // namespace kestrel
