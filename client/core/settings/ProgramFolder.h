#pragma once

#include <QString>

namespace kestrel {

using namespace Qt::StringLiterals;

// The folder that holds the settings file, the contact database, the desktop
// contacts file and the updater with its marker. Resolved here and nowhere
// else:
// 1. KESTREL_PROGRAM_DIR when set (tests, portable installs);
// 2. the executable's folder when it can be written (an unpacked copy);
// 3. $XDG_CONFIG_HOME/kestrel, by default ~/.config/kestrel, created private
//    to the user (mode 0700) since the settings hold a password.
class ProgramFolder
{
public:
    static constexpr const char* Variable = "KESTREL_PROGRAM_DIR";

    static inline const QString SettingsFile = u"KZV.INI"_s;
    static inline const QString ContactDatabase = u"rubrica.db"_s; // RUBRICA's default
    static inline const QString ContactsFile = u"contatti.vcf"_s;  // VCARD's default
    static inline const QString Updater = u"refresher"_s;
    static inline const QString UpdateMarker = u"lastrefresh"_s;

    // What the choice depends on, gathered so that tests can set each part.
    struct Sources
    {
        QString override;         // KESTREL_PROGRAM_DIR
        QString executableFolder; // the running program's folder
        QString configHome;       // XDG_CONFIG_HOME
        QString home;             // HOME
    };

    // From the environment and the running program.
    static Sources currentSources();

    // The folder as an absolute path with "/" separators. A missing override
    // or fallback folder is created (mode 0700); one that cannot be created
    // is still returned, and writes into it fail then.
    static QString resolve(const Sources& sources);
    static QString resolve() { return resolve(currentSources()); }
};

} // namespace kestrel
