#pragma once

#include "SettingsKeys.h"

#include <QString>

namespace kestrel {

// The program-wide values read from the settings file. Numbers and flags
// are converted once, here; a value that does not convert counts as its
// key's default, so a file edited by hand never keeps a window from opening.
struct SettingsValues
{
    QString ip = settings::None;
    QString user = settings::DefaultUser;
    QString pass = settings::DefaultPass;
    QString cover = settings::None;
    QString mail = settings::None;
    // Dial attempts, kept between MinDials and MaxDials.
    static constexpr qint16 MinDials = 1;
    static constexpr qint16 MaxDials = 99;
    qint16 maxDials = 3;
    QString prefix = settings::None;
    bool debug = false; // DEBUG not 0: the control's DebugOn is switched on at start-up
    bool chop = true;   // CHOP: the control's ChopOn
    QString rubrica;    // contact database
    QString vcard;      // desktop contacts, a .vcf file or a folder of them

    // The appliance address and the notification address are both set.
    bool isComplete() const { return ip != settings::None && mail != settings::None; }

    bool operator==(const SettingsValues&) const = default;
};

} // namespace kestrel
