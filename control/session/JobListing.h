#pragma once

#include "FaxStatus.h"

#include <QString>

#include <optional>

namespace kestrel {

// What the fax server's listing of one job says of it: the reply to "JPARM"
// alone (217), one "    NAME: value" line per parameter. hfaxd lists the
// state, status, pages, tries and dials to anyone, the dial string only to
// the job's owner. No listing without a STATE line is a job's.
//
// The listing is believed only for the job asked about, owned by the user
// asking: one whose JOBID line names another job, or whose OWNER is not
// owner (or that lacks either line), gives an Unknown report saying why
// (JobReport::mismatch).
std::optional<JobReport> readJobListing(const QString& job, const QString& owner, const QString& listing);

// The server's word for a job's state, with its status, in the host's terms.
// A state word this client does not know counts as still queued: the server
// holds the job and has not said it ended.
JobReport::State jobStateOf(const QString& serverState, const QString& status, int statusCode);

// A text of the server's (a reason, a reply), as the user may read it: the
// bytes read as UTF-8 when they are UTF-8 (as Latin-1 otherwise), control
// characters made spaces, at most MaxServerText characters.
constexpr qsizetype MaxServerText = 200;
QString serverText(const QString& wireText);

} // namespace kestrel
