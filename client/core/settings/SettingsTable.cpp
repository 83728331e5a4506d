#include "JobOptions.h"
#include "ProgramFolder.h"
#include "SettingsValues.h"

#include <algorithm>
#include <optional>
#include <variant>

namespace kestrel {
namespace settings {

const QList<Key>& keys()
{
    static const QList<Key> table{
        {Ip, None, Kind::Text, u"txtIP"_s, {}},
        {User, u"test"_s, Kind::Text, u"txtUtente"_s, {}},
        {Pass, u"brio"_s, Kind::Text, u"txtPassword"_s, {}},
        {Cover, None, Kind::Text, u"txtCopertina"_s, {}},
        {Mail, None, Kind::Text, u"txtMail"_s, {}},
        {MaxDials, u"3"_s, Kind::Dials, u"cmbMaxDials"_s, {}},
        {Prefix, None, Kind::Text, u"txtPrefisso"_s, {}},
        {Debug, u"0"_s, Kind::Flag, u"ChkDebug"_s, {}},
        {Chop, u"1"_s, Kind::Flag, u"ChkChop"_s, {}},
        {GroupSend, u"1"_s, Kind::Flag, u"groupSendCheck"_s, {}},
        {KillAfter, u"0"_s, Kind::Hours, u"spinKillAfter"_s, {}},
        {MaxTries, u"0"_s, Kind::Tries, u"spinTries"_s, {}},
        {Standard, u"0"_s, Kind::Flag, u"chkStandard"_s, {}},
        {TagSend, u"0"_s, Kind::Flag, u"chkTagSend"_s, {}},
        {TagSkipFirst, u"0"_s, Kind::Flag, u"chkTagSkipFirst"_s, {}},
        {Rubrica, {}, Kind::Text, {}, ProgramFolder::ContactDatabase},
        {VCard, {}, Kind::Text, {}, ProgramFolder::ContactsFile},
    };
    return table;
}

} // namespace settings

namespace {

std::optional<qint16> toInt16(const QString& text)
{
    bool ok = false;
    const short value = text.trimmed().toShort(&ok);
    return ok ? std::optional<qint16>(value) : std::nullopt;
}

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

const settings::Key* findKey(const QString& name)
{
    for (const settings::Key& key : settings::keys()) {
        if (key.name == name)
            return &key;
    }
    return nullptr;
}

// A key's text in its stored form: what does not convert reads as the
// default; dials are kept in range.
QString normalised(const settings::Key& key, const QString& text)
{
    switch (key.kind) {
    case settings::Kind::Text:
        return text;
    case settings::Kind::Dials: {
        const qint16 dials = toInt16(text).value_or(*toInt16(key.defaultText));
        return QString::number(std::clamp(dials, SettingsValues::MinDials, SettingsValues::MaxDials));
    }
    case settings::Kind::Flag:
        return toFlag(text).value_or(*toFlag(key.defaultText)) ? u"1"_s : u"0"_s;
    case settings::Kind::Hours:
    case settings::Kind::Tries: {
        // Out of range counts as not set, as a text that does not convert.
        const int most =
            key.kind == settings::Kind::Hours ? JobOptions::MostKillAfterHours : JobOptions::MostTries;
        bool ok = false;
        const int count = text.trimmed().toInt(&ok);
        return ok && count >= 0 && count <= most ? QString::number(count) : key.defaultText;
    }
    }
    return text;
}

} // namespace

SettingsValues::SettingsValues()
{
    for (const settings::Key& key : settings::keys())
        set(key.name, key.defaultText);
}

QString SettingsValues::text(const QString& key) const
{
    return m_texts.value(key);
}

qint16 SettingsValues::number(const QString& key) const
{
    return toInt16(text(key)).value_or(0);
}

bool SettingsValues::flag(const QString& key) const
{
    return text(key) == u"1"_s;
}

void SettingsValues::set(const QString& name, const QString& raw)
{
    const settings::Key* key = findKey(name);
    const QString value = key ? normalised(*key, raw) : raw;
    m_texts.insert(name, value);
    // The keys the program reads by name.
    using Member = std::variant<QString SettingsValues::*, qint16 SettingsValues::*, bool SettingsValues::*>;
    static const QHash<QString, Member> members{
        {settings::Ip, &SettingsValues::ip},         {settings::User, &SettingsValues::user},
        {settings::Pass, &SettingsValues::pass},     {settings::Cover, &SettingsValues::cover},
        {settings::Mail, &SettingsValues::mail},     {settings::MaxDials, &SettingsValues::maxDials},
        {settings::Prefix, &SettingsValues::prefix}, {settings::Debug, &SettingsValues::debug},
        {settings::Chop, &SettingsValues::chop},     {settings::Rubrica, &SettingsValues::rubrica},
        {settings::VCard, &SettingsValues::vcard},
    };
    const auto it = members.constFind(name);
    if (it == members.constEnd())
        return;
    if (const auto* text = std::get_if<QString SettingsValues::*>(&*it))
        this->** text = value;
    else if (const auto* number = std::get_if<qint16 SettingsValues::*>(&*it))
        this->** number = this->number(name);
    else
        this->*std::get<bool SettingsValues::*>(*it) = flag(name);
}

} // namespace kestrel
