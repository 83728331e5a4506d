#include "JobUpdate.h"

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

// The fax server's words for a job's state, and the letters its listings
// use for them, by the page they may stand on.
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

const QHash<QString, FaxState>& doneWords()
{
    static const QHash<QString, FaxState> words{
        {u"DONE"_s, FaxState::Sent},
        {u"SENT"_s, FaxState::Sent},
        {u"D"_s, FaxState::Sent},
        {u"FAILED"_s, FaxState::Failed},
        {u"F"_s, FaxState::Failed},
        {u"KILLED"_s, FaxState::Cancelled},
        {u"REMOVED"_s, FaxState::Cancelled},
        {u"ABORTED"_s, FaxState::Cancelled},
        {u"CANCELLED"_s, FaxState::Cancelled},
        {u"CANCELED"_s, FaxState::Cancelled},
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

} // namespace

JobUpdate JobUpdate::fromReport(const JobReport& report)
{
    JobUpdate update;
    update.state = stateOf(report.state);
    update.unknownToServer = report.state == JobReport::State::Unknown;
    if (update.unknownToServer)
        return update;
    update.pagesSent = report.pagesSent;
    update.pagesTotal = report.pagesTotal;
    update.tries = report.tries;
    update.reason = report.reason;
    return update;
}

JobUpdate JobUpdate::fromPageState(const QString& word, bool done)
{
    const QHash<QString, FaxState>& words = done ? doneWords() : pendingWords();
    JobUpdate update;
    if (const auto found = words.constFind(word.trimmed().toUpper()); found != words.cend())
        update.state = *found;
    return update;
}

JobChange applyUpdate(FaxRecord& record, const JobUpdate& update, const QString& lostReason)
{
    if (record.isFinished())
        return {};
    if (update.unknownToServer) {
        if (record.lost)
            return {};
        record.lost = true;
        record.reason = lostReason;
        return {true, false};
    }
    bool changed = false;
    take(record.state, update.state, changed);
    take(record.pagesSent, update.pagesSent, changed);
    take(record.pagesTotal, update.pagesTotal, changed);
    take(record.tries, update.tries, changed);
    take(record.reason, update.reason, changed);
    if (update.state && record.lost) {
        record.lost = false;
        changed = true;
    }
    return {changed, changed && record.isFinished()};
}

} // namespace kestrel
