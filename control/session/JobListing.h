#pragma once

#include "FaxStatus.h"

#include <QString>

#include <optional>

namespace kestrel {

// What the fax server's listing of one job says of it: the reply to "JPARM"
// alone (217), one "    NAME: value" line per parameter. hfaxd lists the
// state, status, pages, tries and dials to anyone, the dial string only to
// the job's owner. No listing without a STATE line is a job's.
std::optional<JobReport> readJobListing(const QString& job, const QString& listing);

// The server's word for a job's state, with its status, in the host's terms.
// A state word this client does not know counts as still queued: the server
// holds the job and has not said it ended.
JobReport::State jobStateOf(const QString& serverState, const QString& status, int statusCode);

} // namespace kestrel
