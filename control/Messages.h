#pragma once

#include <QString>

namespace kestrel::messages {

// Texts the host shows the user.
inline const QString ApplianceOffline = QStringLiteral("Appliance KESTREL Offline");
inline const QString NotActivated = QStringLiteral("deve essere attivata con .attiva");
inline const QString LoginRefused = QStringLiteral("Nome utente o password errati");

inline QString serverUnreachable(const QString& address)
{
    return QStringLiteral("Impossibile collegarsi al server fax %1: fax non inviato").arg(address);
}
inline QString noGreeting(const QString& address)
{
    return QStringLiteral("Il server fax %1 non risponde: fax non inviato").arg(address);
}
inline const QString ReplyTimeout = QStringLiteral("Il server fax non ha risposto in tempo: fax non inviato");
inline const QString ConnectionDropped =
    QStringLiteral("Il server fax ha chiuso la connessione: fax non inviato");
inline const QString TransferFailed =
    QStringLiteral("Trasferimento del documento al server fax non riuscito: fax non inviato");
inline QString unreadableDocument(const QString& path)
{
    return QStringLiteral("Impossibile leggere il documento %1: fax non inviato").arg(path);
}
inline QString refusedByServer(const QString& reply)
{
    return QStringLiteral("Il server fax ha rifiutato il fax (%1): fax non inviato").arg(reply);
}
inline const QString NoJobNumber =
    QStringLiteral("Il server fax non ha assegnato un numero al fax: fax non inviato");

} // namespace kestrel::messages
