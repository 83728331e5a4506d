#pragma once

#include "Expected.h"
#include "OptionFields.h"
#include "PrivateProfile.h"
#include "SettingsValues.h"

#include <QString>

#include <optional>

namespace kestrel {

// The settings file "KZV.INI" of the program folder and the program-wide
// values read from it. One instance lives for the whole program, beside the
// windows, which read values() and call reload() as their loads say.
class SettingsStore
{
public:
    // Makes a settings file readable by others owner-only, then reads the
    // values.
    explicit SettingsStore(const QString& programFolder);

    const QString& settingsPath() const { return m_profile.path(); }

    // The text stored under key, or defaultValue when the key is missing.
    QString LeggiImpostazione(const QString& section, const QString& key, const QString& defaultValue) const;

    const SettingsValues& values() const { return m_values; }

    // Why the values are the defaults rather than the file's (a file over
    // 1 MiB, not a regular file, unreadable), as of the last reload;
    // success when the file was read or there is none. Such a file is
    // never written over: saves fail with the same reason.
    const Status& fileStatus() const { return m_fileStatus; }

    // Reads every program-wide value from the file again.
    void reload();

    // What the options window shows when it opens, read from the file.
    OptionFields optionFields() const;

    // Writes every field under its key, in the key table's order (IP, USER,
    // PASS, COVER, MAIL, MAXDIALS, PREFIX, DEBUG, CHOP), texts as the user
    // left them; then reloads. A write that fails is skipped and the next one is done; the
    // first failure is returned, and values() shows what the file holds.
    Status SalvaImpostazioni(const OptionFields& fields);

    // The password kept in the desktop's keyring rather than in the file:
    // values().pass (and the options window's field) show it while the
    // file's PASS is empty. nullopt: none known.
    void setKeyringPassword(const std::optional<QString>& password);
    // The password the file holds under PASS (empty: none).
    QString filePassword() const;
    // Empties PASS once the keyring holds moved, and only while the file
    // still holds moved (a save in between wins); then reloads.
    Status clearFilePassword(const QString& moved);

private:
    QString readMain(const QString& key, const QString& defaultValue) const;
    QString defaultOf(const settings::Key& key) const;

    QString m_folder;
    PrivateProfile m_profile;
    SettingsValues m_values;
    Status m_fileStatus;
    std::optional<QString> m_keyringPassword;
};

} // namespace kestrel
