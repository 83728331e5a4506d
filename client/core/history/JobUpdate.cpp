#include "JobUpdate.h"

#include "ClientTexts.h"

#include <QHash>

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

std::optional<FaxState> stateOf(JobReport::State state)
{
    switch (state) {
    case JobReport::State::Queued:
        return FaxState::Queued;
    case JobReport::State::Sending:
        return FaxState::Sending;
    case JobReport::State::Sent:
        return FaxState::Sent;
    case JobReport::State::Failed:
        return FaxState::Failed;
    case JobReport::State::Cancelled:
        return FaxState::Cancelled;
    case JobReport::State::Unknown:
        break;
    }
    return std::nullopt;
}

// The words of the appliance's pending page for a job's state, and the
// letters its listings use for them.
const QHash<QString, FaxState>& pendingWords()
{
    static const QHash<QString, FaxState> words{
        {u"PENDING"_s, FaxState::Queued},   {u"SLEEPING"_s, FaxState::Queued},
        {u"SUSPENDED"_s, FaxState::Queued}, {u"READY"_s, FaxState::Queued},
        {u"BLOCKED"_s, FaxState::Queued},   {u"WAITING"_s, FaxState::Queued},
        {u"QUEUED"_s, FaxState::Queued},    {u"P"_s, FaxState::Queued},
        {u"S"_s, FaxState::Queued},         {u"T"_s, FaxState::Queued},
        {u"B"_s, FaxState::Queued},         {u"W"_s, FaxState::Queued},
        {u"ACTIVE"_s, FaxState::Sending},   {u"SENDING"_s, FaxState::Sending},
        {u"RUNNING"_s, FaxState::Sending},  {u"R"_s, FaxState::Sending},
    };
    return words;
}

template <typename T> void take(T& field, const std::optional<T>& value, bool& changed)
{
    if (value && field != *value) {
        field = *value;
        changed = true;
    }
}

QString digitsOf(const QString& number)
{
    QString digits;
    for (const QChar c : number) {
        if (c.isDigit())
            digits += c;
    }
    return digits;
}

// Whether the number a source lists is the history's: the server dials the
// number with the line's prefix before it. Nothing to compare says nothing.
bool sameNumber(const QString& listed, const QString& recorded)
{
    const QString dialled = digitsOf(listed);
    const QString digits = digitsOf(recorded);
    return dialled.isEmpty() || digits.isEmpty() || dialled.endsWith(digits);
}

// Where a page's state may take a fax: only further on its way.
int progressOf(FaxState state)
{
    return state == FaxState::Sending ? 1 : 0;
}

} // namespace

JobUpdate JobUpdate::fromReport(const JobReport& report)
{
    JobUpdate update;
    update.state = stateOf(report.state);
    update.unknownToServer = report.state == JobReport::State::Unknown;
    if (update.unknownToServer) {
        if (!report.mismatch.isEmpty())
            update.reason = report.mismatch;
        return update;
    }
    update.pagesSent = report.pagesSent;
    update.pagesTotal = report.pagesTotal;
    // What the user calls a try is a call; hfaxd counts a try only for a
    // call the other fax answered (a number busy twice: two dials, no try).
    update.tries = qMax(report.tries, report.dials);
    update.reason = report.reason;
    update.number = report.number;
    return update;
}

JobUpdate JobUpdate::fromPage(const ApplianceJobPage::Job& job, bool done, const QString& user)
{
    JobUpdate update;
    if (!job.owner.isEmpty() && job.owner != user) {
        update.unknownToServer = true;
        update.reason = texts::history::otherOwner(job.owner);
        return update;
    }
    update.number = job.number;
    update.forwardOnly = true;
    if (done)
        return update;
    const QHash<QString, FaxState>& words = pendingWords();
    if (const auto found = words.constFind(job.state.trimmed().toUpper()); found != words.cend())
        update.state = *found;
    return update;
}

JobChange applyUpdate(FaxRecord& record, const JobUpdate& update, const QString& lostReason)
{
    if (record.isFinished())
        return {};
    std::optional<QString> checkReason;
    if (update.unknownToServer)
        checkReason = update.reason.value_or(lostReason);
    else if (!sameNumber(update.number, record.number))
        checkReason = texts::history::otherNumber(update.number);
    if (checkReason) {
        if (record.lost && record.state == FaxState::ToCheck)
            return {};
        record.lost = true;
        record.state = FaxState::ToCheck;
        record.reason = *checkReason;
        return {true, false};
    }
    if (update.forwardOnly) {
        // A fax to be checked waits for the server's word; a page's never
        // moves one back.
        if (!update.state || record.lost || record.state == FaxState::ToCheck ||
            progressOf(*update.state) <= progressOf(record.state))
            return {};
        record.state = *update.state;
        return {true, false};
    }
    bool changed = false;
    take(record.state, update.state, changed);
    take(record.pagesSent, update.pagesSent, changed);
    take(record.pagesTotal, update.pagesTotal, changed);
    take(record.tries, update.tries, changed);
    take(record.reason, update.reason, changed);
    take(record.planned, update.planned, changed);
    if (update.state && record.lost) {
        record.lost = false;
        changed = true;
    }
    return {changed, changed && record.isFinished()};
}

} // namespace kestrel
