#pragma once

#include "FaxRecord.h"
#include "FaxStatus.h"

#include <QString>

#include <optional>

namespace kestrel {

// What one source said about a job: the fax server's report carries every
// field; the appliance's pages only a state. Fields left empty are not
// known to the source and keep what the history had.
struct JobUpdate
{
    std::optional<FaxState> state;
    // The server does not know the job (any more).
    bool unknownToServer = false;
    std::optional<int> pagesSent;
    std::optional<int> pagesTotal;
    std::optional<int> tries;
    std::optional<QString> reason;

    // From the fax server's report.
    static JobUpdate fromReport(const JobReport& report);
    // From the state word of a job on the appliance's pending page
    // (done == false) or finished page (done == true); no state for a word
    // that says nothing certain.
    static JobUpdate fromPageState(const QString& word, bool done);
};

// What applying an update did to a record.
struct JobChange
{
    bool changed = false;
    bool ended = false; // it became finished now
};

// Applies the update to the record: a finished fax stays as it ended
// (pages fetched before the end may arrive after it), and a fax the server
// knows no more keeps its state, is marked lost and gets the reason.
JobChange applyUpdate(FaxRecord& record, const JobUpdate& update, const QString& lostReason);

} // namespace kestrel
