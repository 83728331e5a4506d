#pragma once

#include <QString>

namespace kestrel::messages {

using namespace Qt::StringLiterals;

// Texts the host shows the user.
inline const QString ApplianceOffline = u"Appliance KESTREL Offline"_s;
inline const QString NotActivated = u"deve essere attivata con .attiva"_s;
inline const QString LoginRefused = u"Nome utente o password errati"_s;

inline QString serverUnreachable(const QString& address)
{
    return u"Impossibile collegarsi al server fax %1: fax non inviato"_s.arg(address);
}
inline QString noGreeting(const QString& address)
{
    return u"Il server fax %1 non risponde: fax non inviato"_s.arg(address);
}
inline const QString ReplyTimeout = u"Il server fax non ha risposto in tempo: fax non inviato"_s;
inline const QString ConnectionDropped = u"Il server fax ha chiuso la connessione: fax non inviato"_s;
inline const QString TransferFailed =
    u"Trasferimento del documento al server fax non riuscito: fax non inviato"_s;
inline QString unreadableDocument(const QString& path)
{
    return u"Impossibile leggere il documento %1: fax non inviato"_s.arg(path);
}
inline QString refusedByServer(const QString& reply)
{
    return u"Il server fax ha rifiutato il fax (%1): fax non inviato"_s.arg(reply);
}
inline const QString NoJobNumber = u"Il server fax non ha assegnato un numero al fax: fax non inviato"_s;

} // namespace kestrel::messages
