#pragma once

#include <QString>

namespace kestrel::settings {

using namespace Qt::StringLiterals;

// The one section of the settings file and its keys.
inline const QString Section = u"MAIN"_s;

inline const QString Ip = u"IP"_s;
inline const QString User = u"USER"_s;
inline const QString Pass = u"PASS"_s;
inline const QString Cover = u"COVER"_s;
inline const QString Mail = u"MAIL"_s;
inline const QString MaxDials = u"MAXDIALS"_s;
inline const QString Prefix = u"PREFIX"_s;
inline const QString Debug = u"DEBUG"_s;
inline const QString Chop = u"CHOP"_s;
inline const QString Rubrica = u"RUBRICA"_s; // never written
inline const QString VCard = u"VCARD"_s;     // never written

// Marks an unset address, cover page, e-mail address or prefix; compared
// case-sensitively.
inline const QString None = u"none"_s;

inline const QString DefaultUser = u"test"_s;
inline const QString DefaultPass = u"brio"_s;
inline const QString DefaultMaxDials = u"3"_s;
inline const QString DefaultDebug = u"0"_s;
inline const QString DefaultChop = u"1"_s;

} // namespace kestrel::settings
