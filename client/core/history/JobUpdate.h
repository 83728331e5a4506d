#pragma once

#include "ApplianceJobPage.h"
#include "FaxRecord.h"
#include "FaxStatus.h"

#include <QDateTime>
#include <QString>

#include <optional>

namespace kestrel {

// What one source said about a job: the fax server's report carries every
// field; the appliance's pages only a state. Fields left empty are not
// known to the source and keep what the history had.
struct JobUpdate
{
    std::optional<FaxState> state;
    // The server does not know the job (any more), or what it listed was
    // not this job (reason says why then).
    bool unknownToServer = false;
    // From a page: it may move the fax forward (queued to sending), never
    // end it nor move it back.
    bool forwardOnly = false;
    std::optional<int> pagesSent;
    std::optional<int> pagesTotal;
    std::optional<int> tries;
    std::optional<QString> reason;
    // When the server is now to send it (a move it confirmed).
    std::optional<QDateTime> planned;
    // The number the source says the job dials.
    QString number;

    // From the fax server's report.
    static JobUpdate fromReport(const JobReport& report);
    // From a job on the appliance's pending page (done == false) or finished
    // page (done == true), for the user the client logs in as. A job of
    // another owner than user is not the history's: it is unknownToServer.
    // A finished page says nothing: the fax server's listing tells how a fax
    // ended, and with a reason.
    static JobUpdate fromPage(const ApplianceJobPage::Job& job, bool done, const QString& user);
};

// What applying an update did to a record.
struct JobChange
{
    bool changed = false;
    bool ended = false; // it became finished now
};

// Applies the update to the record: a finished fax stays as it ended
// (pages fetched before the end may arrive after it). A fax the server
// knows no more, or whose number the source says is another, is to be
// checked: marked lost, never asked about again, with the reason (the
// update's, else lostReason).
JobChange applyUpdate(FaxRecord& record, const JobUpdate& update, const QString& lostReason);

} // namespace kestrel
