#include "JobOptionsCheck.h"

#include <QTime>

namespace kestrel {

JobOptionsProblem checkJobOptions(const JobOptions& options, const QDateTime& now)
{
    if (options.sendAt) {
        // The server takes the send time to the minute: this minute is now.
        QDateTime thisMinute = now;
        thisMinute.setTime(QTime(now.time().hour(), now.time().minute()));
        if (!options.sendAt->isValid() || *options.sendAt < thisMinute)
            return JobOptionsProblem::SendTimePast;
        if (*options.sendAt > now.addYears(1))
            return JobOptionsProblem::SendTimeTooFar;
    }
    if (options.killAfterHours) {
        if (*options.killAfterHours < 1)
            return JobOptionsProblem::KillBeforeSend;
        if (*options.killAfterHours > JobOptions::MostKillAfterHours)
            return JobOptionsProblem::KillTooLate;
    }
    if (options.maxTries && (*options.maxTries < 1 || *options.maxTries > JobOptions::MostTries))
        return JobOptionsProblem::TriesOutOfRange;
    return JobOptionsProblem::None;
}

} // namespace kestrel
