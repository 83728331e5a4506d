#pragma once

// When and how the fax server sends the jobs of a SendFax: an extension of
// the fax control. A host asks the component registry for
// CorvanefaxJobOptionsInterfaceId (by CorvanefaxProgId); a control library
// that does not know it gives nothing, and the host may still ask for
// CorvanefaxInterfaceId. Without options a SendFax sends as it always has:
// at once, in fine resolution, given up three hours after the send time,
// tried as often as the server's own setting says.

#include "Corvanefax.h"

#include <QDateTime>

#include <optional>

namespace kestrel {

constexpr const char* CorvanefaxJobOptionsInterfaceId = "kestrel.ICorvanefaxJobOptions/1";

struct JobOptions
{
    // The fax server's kill time is at most 99 days after the send time.
    static constexpr int MostKillAfterHours = 99 * 24;
    // More tries than any fax server needs.
    static constexpr int MostTries = 99;

    // When the server sends the jobs, to the minute; empty: at once.
    std::optional<QDateTime> sendAt;
    // Hours after the send time at which the server gives the jobs up;
    // empty: three.
    std::optional<int> killAfterHours;
    // Standard vertical resolution (98 lines per inch) rather than fine (196).
    bool standardResolution = false;
    // Tries at most; empty: the server's own setting.
    std::optional<int> maxTries;

    bool isDefault() const { return !sendAt && !killAfterHours && !standardResolution && !maxTries; }
    bool operator==(const JobOptions&) const = default;
};

class ICorvanefaxJobOptions : public ICorvanefax
{
public:
    // The options of every SendFax after this call, until the next one.
    virtual void SetJobOptions(const JobOptions& options) = 0;
    virtual JobOptions GetJobOptions() const = 0;
};

} // namespace kestrel
