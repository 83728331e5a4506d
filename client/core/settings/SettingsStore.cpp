#include "SettingsStore.h"

#include "ProgramFolder.h"

#include <algorithm>
#include <optional>

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

std::optional<qint16> toInt16(const QString& text)
{
    bool ok = false;
    const short value = text.trimmed().toShort(&ok);
    return ok ? std::optional<qint16>(value) : std::nullopt;
}

// A number (not 0 is on) or the words True and False.
std::optional<bool> toFlag(const QString& text)
{
    if (const std::optional<qint16> number = toInt16(text))
        return *number != 0;
    const QString word = text.trimmed();
    if (word.compare(u"true"_s, Qt::CaseInsensitive) == 0)
        return true;
    if (word.compare(u"false"_s, Qt::CaseInsensitive) == 0)
        return false;
    return std::nullopt;
}

// Dial attempts as the control may queue them: a number, kept in range.
qint16 dialsOf(const QString& text)
{
    const qint16 dials = toInt16(text).value_or(SettingsValues().maxDials);
    return std::clamp(dials, SettingsValues::MinDials, SettingsValues::MaxDials);
}

QString flagText(bool on)
{
    return on ? u"1"_s : u"0"_s;
}

} // namespace

SettingsStore::SettingsStore(const QString& programFolder)
    : m_folder(programFolder), m_profile(programFolder + u'/' + ProgramFolder::SettingsFile)
{
    // It holds the password: a file left readable by others is closed first.
    m_profile.restrictAccess();
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
    using namespace settings;
    const SettingsValues defaults;
    m_fileStatus = m_profile.readable();
    m_values.ip = readMain(Ip, None);
    m_values.user = readMain(User, DefaultUser);
    m_values.pass = readMain(Pass, DefaultPass);
    m_values.cover = readMain(Cover, None);
    m_values.mail = readMain(Mail, None);
    m_values.maxDials = dialsOf(readMain(MaxDials, DefaultMaxDials));
    m_values.prefix = readMain(Prefix, None);
    m_values.debug = toFlag(readMain(Debug, DefaultDebug)).value_or(defaults.debug);
    m_values.chop = toFlag(readMain(Chop, DefaultChop)).value_or(defaults.chop);
    m_values.rubrica = readMain(Rubrica, m_folder + u'/' + ProgramFolder::ContactDatabase);
    m_values.vcard = readMain(VCard, m_folder + u'/' + ProgramFolder::ContactsFile);
}

OptionFields SettingsStore::optionFields() const
{
    using namespace settings;
    const SettingsValues defaults;
    OptionFields fields;
    fields.ip = readMain(Ip, None);
    fields.user = readMain(User, DefaultUser);
    fields.password = readMain(Pass, DefaultPass);
    fields.cover = readMain(Cover, None);
    fields.mail = readMain(Mail, None);
    // The number in use, not text that would be replaced by the default.
    fields.maxDials = QString::number(dialsOf(readMain(MaxDials, DefaultMaxDials)));
    fields.prefix = readMain(Prefix, None);
    fields.debug = toFlag(readMain(Debug, DefaultDebug)).value_or(defaults.debug);
    fields.chop = toFlag(readMain(Chop, DefaultChop)).value_or(defaults.chop);
    return fields;
}

Status SettingsStore::SalvaImpostazioni(const OptionFields& fields)
{
    using namespace settings;
    const std::pair<const QString&, QString> entries[] = {{Ip, fields.ip},
                                                          {User, fields.user},
                                                          {Pass, fields.password},
                                                          {Cover, fields.cover},
                                                          {Mail, fields.mail},
                                                          {MaxDials, fields.maxDials},
                                                          {Prefix, fields.prefix},
                                                          {Debug, flagText(fields.debug)},
                                                          {Chop, flagText(fields.chop)}};
    Status first;
    for (const auto& [key, value] : entries) {
        Status written = m_profile.writeString(Section, key, value);
        if (!written && first)
            first = std::move(written);
    }
    reload();
    return first;
}

} // namespace kestrel
