#pragma once

#include "Clock.h"
#include "ProcessStarter.h"

#include <QString>

namespace kestrel {

// The monthly start of the external updater "refresher" of the program
// folder. The marker "lastrefresh" beside it holds the month (YYMM) of the
// last start, so the updater runs at the first start of the client in a new
// month, and not at all when it is missing.
class UpdateCheck
{
public:
    enum class Outcome
    {
        NoUpdater,        // no "refresher": nothing read, nothing written
        UpToDate,         // started already this month
        Started,          // marker rewritten, updater started, not waited for
        MarkerNotWritten, // updater not started: it would run at every start
        StartFailed       // marker rewritten, but the updater did not start
    };

    UpdateCheck(QString programFolder, const Clock& clock, ProcessStarter& starter)
        : m_folder(std::move(programFolder)), m_clock(clock), m_starter(starter)
    {}

    Outcome CheckForUpdate();

private:
    QString lastMonth() const;

    QString m_folder;
    const Clock& m_clock;
    ProcessStarter& m_starter;
};

} // namespace kestrel
