#include "SettingsStore.h"

#include "ProgramFolder.h"

using namespace Qt::StringLiterals;

namespace kestrel {

SettingsStore::SettingsStore(const QString& programFolder)
    : m_folder(programFolder), m_profile(programFolder + u'/' + ProgramFolder::SettingsFile)
{
    // It holds the password: a file left readable by others is closed first.
    // One whose mode cannot be changed is read all the same (there is no
    // one to tell yet); the next save writes it owner-only.
    (void)m_profile.restrictAccess();
    reload();
}

QString SettingsStore::LeggiImpostazione(const QString& section, const QString& key,
                                         const QString& defaultValue) const
{
    return m_profile.readString(section, key, defaultValue);
}

QString SettingsStore::readMain(const QString& key, const QString& defaultValue) const
{
    return LeggiImpostazione(settings::Section, key, defaultValue);
}

void SettingsStore::reload()
{
    m_fileStatus = m_profile.readable();
    SettingsValues values;
    for (const settings::Key& key : settings::keys())
        values.set(key.name, readMain(key.name, defaultOf(key)));
    if (values.pass.isEmpty() && m_keyringPassword)
        values.set(settings::Pass, *m_keyringPassword);
    m_values = std::move(values);
}

QString SettingsStore::defaultOf(const settings::Key& key) const
{
    return key.folderFile.isEmpty() ? key.defaultText : m_folder + u'/' + key.folderFile;
}

OptionFields SettingsStore::optionFields() const
{
    // Numbers and flags as in use (a text that does not convert shows as
    // the default it counts as); texts as stored.
    SettingsValues read;
    OptionFields fields;
    for (const settings::Key& key : settings::keys()) {
        if (key.field.isEmpty())
            continue;
        read.set(key.name, readMain(key.name, defaultOf(key)));
        if (key.name == settings::Pass && read.pass.isEmpty() && m_keyringPassword)
            fields.setText(key.name, *m_keyringPassword);
        else if (key.kind == settings::Kind::Flag)
            fields.setFlag(key.name, read.flag(key.name));
        else
            fields.setText(key.name, read.text(key.name));
    }
    return fields;
}

Status SettingsStore::SalvaImpostazioni(const OptionFields& fields)
{
    Status first;
    for (const settings::Key& key : settings::keys()) {
        if (key.field.isEmpty())
            continue;
        const QString text = key.kind == settings::Kind::Flag ? (fields.flag(key.name) ? u"1"_s : u"0"_s)
                                                              : fields.text(key.name);
        Status written = m_profile.writeString(settings::Section, key.name, text);
        if (!written && first)
            first = std::move(written);
    }
    reload();
    return first;
}

void SettingsStore::setKeyringPassword(const std::optional<QString>& password)
{
    m_keyringPassword = password;
    reload();
}

QString SettingsStore::filePassword() const
{
    return readMain(settings::Pass, QString());
}

Status SettingsStore::clearFilePassword(const QString& moved)
{
    if (filePassword() != moved)
        return {};
    Status cleared = m_profile.writeString(settings::Section, settings::Pass, QString());
    reload();
    return cleared;
}

} // namespace kestrel
