#pragma once

#include "VbTypes.h"

#include <QString>
#include <QStringList>

namespace kestrel {

// Fields of the control, held once per user-interface thread and shared by
// every instance created on it.
struct ControlState
{
    static constexpr int MaxFiles = 1000;

    // Persisted properties.
    QString IndirizzoIP;
    QString NomeStampante;
    QString NomeUtente;
    QString PasswordUtente;
    QString notifyAddress; // backs EmailAdress; every SendFax overwrites it
    VbBool DebugOn = VbFalse;
    VbBool ChopOn = VbFalse;
    VbBool XMLStatus = VbFalse;

    VbBool IsActive = VbFalse;

    // The submission in progress. FileList keeps index 0 unused, as the
    // session numbers files from 1.
    QString FileName;
    QStringList FileList;
    qint16 FileCount = 0;
    qint16 CurrentFile = 0;
    QString FaxNumber;
    qint16 MaxDials = 0;
    QString ModemInvio;
    QString JobNumber;
    QString LastReplyCode;

    static ControlState& current();
};

} // namespace kestrel
