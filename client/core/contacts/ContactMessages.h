#pragma once

#include <QString>
#include <QStringList>

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

// Address book window FrmRubrica.
inline const QString AddressBookTitle = u"Rubrica"_s;
inline const QString NumberHeader = u"Nr. Fax"_s;
inline const QString DescriptionHeader = u"Descrizione"_s;
inline const QString GroupHeader = u"Grp"_s;
inline const QString SelectHeader = u"Seleziona"_s;
inline const QString EditHeader = u"Edit"_s;
// "Seleziona" of a marked row.
inline const QString Marked = u"Invia"_s;
inline const QString NewContact = u"&Nuovo Contatto"_s;
inline const QString NewContactTip = u"Aggiungi unnuovo contatto nella Rubrica"_s;
inline const QString AddGroup = u"&Invia tutto il  gruppo N°"_s;
inline const QString AddGroupTip = u"Aggiunge i contatti del gruppo selezionato alla lista destinatari"_s;
inline const QString AddSelected = u"&Aggiungi  selezionati"_s;
inline const QString AddSelectedTip = u"Aggiunge i contatti selezionati alla lista di invio fax"_s;
// What the hidden picture box holding the desktop contacts' mark is called.
inline const QString DesktopMarkName = u"Contatto del desktop"_s;

// Contact editor frmAggiungi.
inline const QString EditorTitle = u"Aggiungi/Modfica contatto"_s;
inline const QString EditorNumber = u"Nr. Fax"_s;
inline const QString EditorDescription = u"Descrizione"_s;
inline const QString EditorGroup = u"Gruppo"_s;
inline const QString SaveNew = u"Aggiungi"_s;
inline const QString SaveEdited = u"Modifica"_s;
inline const QString SaveTip = u"Aggiungi contatto alla rubrica interna"_s;
inline const QString Delete = u"&Elimina"_s;
inline const QString NumberRequired = u"Il numero fax è un campo obbligatorio!"_s;

// The groups both windows offer, "1" to "20"; "1" is the default.
inline const QString DefaultGroup = u"1"_s;
inline QStringList groupLabels()
{
    QStringList labels;
    for (int group = 1; group <= 20; ++group)
        labels << QString::number(group);
    return labels;
}

} // namespace kestrel::contactmessages
