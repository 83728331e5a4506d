#pragma once

#include <QList>
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
inline const QString Rubrica = u"RUBRICA"_s; // the address book ("rubrica") database; never written
inline const QString VCard = u"VCARD"_s;     // never written
// 1: a fax to several destinations goes in one session, its documents
// uploaded once; 0: one session per destination, for appliances that need it.
inline const QString GroupSend = u"GROUPSEND"_s;
// The send options every fax starts with (the send window changes them for
// one fax): hours after the send time before the server gives a fax up and
// tries at most (0: the fax server's own), and standard resolution (1) or
// fine (0).
inline const QString KillAfter = u"KILLAFTER"_s;
inline const QString MaxTries = u"MAXTRIES"_s;
inline const QString Standard = u"STANDARD"_s;
// Prints whose pages name their destinations (tags "@@FAX:number|name@@"):
// 1 sends such a print at once, one fax per letter, without the send window;
// 0 (the default) lists its letters in the send window. TAGSKIPFIRST 1
// leaves the pages before the first tag out of every letter.
inline const QString TagSend = u"TAGSEND"_s;
inline const QString TagSkipFirst = u"TAGSKIPFIRST"_s;

// Marks an unset address, cover page, e-mail address or prefix; compared
// case-sensitively.
inline const QString None = u"none"_s;

// How a key's text becomes its value.
enum class Kind
{
    Text,
    Dials, // a number of dial attempts, kept between 1 and 99
    Flag,  // a number (not 0 is on) or the words True and False
    Hours, // hours before a fax is given up, 0 (the default) to 2376 (99 days)
    Tries, // tries of a fax, 0 (the server's) to 99
};

// One key of the settings file: everything reading it, the options window
// and saving need to know. A new key is a row here and a field of the
// options window; the program reads it with SettingsValues::text(),
// number() or flag().
struct Key
{
    QString name;
    // What a missing key reads as. With folderFile set: the program folder
    // followed by that file instead.
    QString defaultText;
    Kind kind = Kind::Text;
    // The options window's field that shows it (its object name); a key
    // without one is never written.
    QString field;
    QString folderFile;
};

// Every key, in the order the options window writes them.
const QList<Key>& keys();

} // namespace kestrel::settings
