#pragma once

#include <QString>

namespace kestrel::contactmessages {

using namespace Qt::StringLiterals;

// Texts the address book's core shows the user, letter for letter (trailing
// blanks and double spaces included): users and their notes know them so.
inline const QString SqlErrorNumber = u"Errore N° "_s;
inline const QString SqlErrorDescription = u"Descrizione =  "_s;
inline const QString SqlErrorCommand = u"Comando = "_s;
inline const QString SqlErrorQuestion = u"Errore SQL procedere ?"_s;
inline const QString SqlErrorTitle = u"ERRORE MOTORE SQL"_s;
inline const QString SqlErrorThanks = u"Grazie per aver inviato il messaggio "_s;
inline const QString LoadingDesktopContacts = u"Carico contatti..."_s;

} // namespace kestrel::contactmessages
