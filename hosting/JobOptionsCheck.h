#pragma once

#include "JobOptions.h"

namespace kestrel {

// What is wrong with a fax's job options, as a host checks them before the
// fax goes: the fax server takes a send time in the past (and sends at
// once) and a year ahead alike, and reads a kill time of no hours, or tries
// below one, as something else. None of these is ever sent.
enum class JobOptionsProblem
{
    None,
    SendTimePast,    // before the minute it is now
    SendTimeTooFar,  // more than a year ahead: nobody means that
    KillBeforeSend,  // the job would be given up before (or as) it is sent
    KillTooLate,     // more than JobOptions::MostKillAfterHours after the send time
    TriesOutOfRange, // not 1 to JobOptions::MostTries
};

JobOptionsProblem checkJobOptions(const JobOptions& options, const QDateTime& now);

} // namespace kestrel
