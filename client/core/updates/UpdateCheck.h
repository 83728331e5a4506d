#pragma once

#include "Clock.h"
#include "ProcessStarter.h"

#include <QString>

#include <optional>

namespace kestrel {

// The monthly start of the external updater "refresher" of the program
// folder. The marker "lastrefresh" beside it holds the month (YYMM) of the
// last start, so the updater runs at the first start of the client in a new
// month, and not at all when it is missing. Either that is not a regular
// file (a FIFO, a device) is passed over without being opened: no updater,
// or no marker to trust.
class UpdateCheck
{
public:
    enum class Outcome
    {
        NoUpdater,        // no "refresher": nothing read, nothing written
        UpToDate,         // started already this month
        Started,          // marker rewritten, updater started, not waited for
        MarkerNotWritten, // updater not started: it would run at every start (also
                          // when the marker is not a regular file)
        StartFailed       // marker rewritten, but the updater did not start
    };

    UpdateCheck(QString programFolder, const Clock& clock, ProcessStarter& starter)
        : m_folder(std::move(programFolder)), m_clock(clock), m_starter(starter)
    {}

    Outcome CheckForUpdate();

private:
    static constexpr qint64 MaxMarkerSize = 4096;

    // The month the marker holds (empty when none); nothing when the
    // marker is not a regular file.
    std::optional<QString> lastMonth() const;

    QString m_folder;
    const Clock& m_clock;
    ProcessStarter& m_starter;
};

} // namespace kestrel
