#pragma once

#include "MessageBox.h"

#include <QString>

// What the send window and its submissions tell the user.
namespace kestrel::texts {

using namespace Qt::StringLiterals;

inline const QString SendTitle = u"Invio Fax..."_s;
inline const QString NumberFrame = u"Numero di Fax destinatario:"_s;
inline const QString NumberTip = u"Inserisci qui il destinatrio"_s;
inline const QString AddNumber = u"&Aggiungi"_s;
inline const QString AddNumberTip = u"Aggiungi nuovo destinatario alla lista di invio"_s;
inline const QString DestinationFrame = u"Elenco Destinatari"_s;
inline const QString AddressBookButton = u"&Rubrica"_s;
inline const QString DocumentsLabel = u"Documenti da inviare"_s;
inline const QString AddDocument = u"+"_s;
inline const QString AddDocumentTip = u"Aggiungi un documento PDF oTIFF"_s;
inline const QString SendButton = u"&Invia FAX"_s;
inline const QString SendTip = u"Inoltra al FaxServer"_s;
inline const QString HideButton = u"&Nascondi"_s;
inline const QString HideTip = u"Annulla i destinatari e i documenti in coda"_s;
inline const QString NumberHeader = u"Numero"_s;
inline const QString DescriptionHeader = u"Descrizione"_s;
inline const QString PathHeader = u"Percorso"_s;
inline const QString FileNameHeader = u"Nome File"_s;
// The document filter of the file dialog, in the dialog's classic form.
inline const QString SendDocumentFilter = u" Documento PDF - PS (*.pdf;*.ps)|*.pdf;*.ps|"_s;
// The name of the capture printer the control is given.
inline const QString CapturePrinter = u"kestrel"_s;

inline const QString NoNumberTyped = u"Inserci un numero per aggiungelo alla lista"_s;
inline const QString NotADocument = u"Il documento deve essere un file PDF o Postscript"_s;
inline const QString RemoveTitle = u"Elimina Documento"_s;
inline QString removeDestination(const QString& description, const QString& number)
{
    return u"Rimuovere il destinatario "_s + description + u" ("_s + number + u") dalla lista?"_s;
}
inline QString removeDocument(const QString& name)
{
    return u"Rimuovere il documento "_s + name + u" dalla lista?"_s;
}
inline const QString CancelTitle = u"Annulla FAX"_s;
inline const QString CancelQuestion =
    u"Vuoi annullare l'invio del fax? \r Tutti i destinatari e i documenti stampati verranno eliminati dalla coda"_s;

inline const QString WrongCover = u"La copertina deve essere un documento in formato PDF o Postscript"_s;
inline const QString NoDestination = u"Nessun destinatario inserito\r\nNon sarà inviato alcun fax"_s;
inline const QString NoDocument =
    u"è necessario stampare almeno un documento sulla  stampante virutale per poter "
    u"disporre di un documento da inviare"_s;
inline QString submissionSummary(const QString& mail, const QString& jobList)
{
    return u"FAX Inoltrato al server \rIndirizzo di conferma:"_s + mail + u"\rNumero di Protocollo FAX: "_s +
           jobList;
}

} // namespace kestrel::texts
