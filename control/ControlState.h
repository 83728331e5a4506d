#pragma once

#include "VbTypes.h"

#include <QString>
#include <QStringList>

namespace kestrel {

// Fields of the control, held once per user-interface thread and shared by
// every instance created on it. The submission in progress belongs to the
// session (SubmissionProtocol's Submission).
struct ControlState
{
    static constexpr int MaxFiles = 1000;

    // Persisted properties (their meanings are at ICorvanefax).
    QString IndirizzoIP;
    QString NomeStampante;
    QString NomeUtente;
    QString PasswordUtente;
    QString notifyAddress; // backs EmailAdress; every SendFax overwrites it
    VbBool DebugOn = VbFalse;
    VbBool ChopOn = VbFalse;
    VbBool XMLStatus = VbFalse;

    VbBool IsActive = VbFalse;

    static ControlState& current();
};

} // namespace kestrel
