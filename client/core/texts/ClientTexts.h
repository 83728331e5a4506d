#pragma once

#include "KestrelVersion.h"
#include "MessageBox.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QUrl>

// What the client shows the user, in one table: windows take their texts
// from here and tests name them instead of copying them. Quoted as the
// product has always shown them, blanks included.
namespace kestrel::texts {

using namespace Qt::StringLiterals;

inline const QString ProductName = u"KESTREL WinClient"_s;

// Options window frmOption.
inline const QString IncompleteConfiguration =
    u"L'indirizzo IP dell'appliance Fax e l'indirizzo email dell'utente sono campi necessari "_s;
inline const QString OptionIp = u"Indirizzo IP:"_s;
inline const QString OptionUser = u"Utente:"_s;
inline const QString OptionPassword = u"Password:"_s;
inline const QString OptionMail = u"Indirizzo e-mail:"_s;
inline const QString OptionPrefix = u"Prefisso da appendere :"_s;
inline const QString OptionMaxDials = u"Numero di tentativi di invio :"_s;
inline const QString OptionCover = u"Copertina:"_s;
inline const QString OptionBrowse = u"Sfoglia"_s;
inline const QString OptionDebug = u"Abilita debug"_s;
inline const QString OptionChop = u"Inserisci Intestazione"_s;
inline const QString OptionGroupSend = u"Un solo collegamento per tutti i destinatari"_s;
inline const QString OptionSave = u"Salva impostazioni"_s;
inline const QString OptionCancel = u"Annulla"_s;
// File dialog filter of the cover page (and of the send window's "+").
inline const QString DocumentFilter = u" Documento PDF - PS (*.pdf;*.ps)|*.pdf;*.ps|"_s;

// Options window: the settings file could not be written. The detail names
// the file and the system's reason.
inline const QString SettingsNotSaved = u"Impostazioni non salvate: "_s;

inline MessageBoxRequest settingsNotSavedBox(const QString& detail)
{
    return {SettingsNotSaved + detail, ProductName, MsgIcon::Critical, MsgButtons::Ok};
}

// At start-up: the settings file was refused (over 1 MiB, not a regular
// file, unreadable); the program runs on the defaults and leaves the file
// as it is. The detail names the file and the reason.
inline const QString SettingsNotRead =
    u"Impostazioni non lette, il programma usa quelle predefinite e non modifica il file: "_s;

inline MessageBoxRequest settingsNotReadBox(const QString& detail)
{
    return {SettingsNotRead + detail, ProductName, MsgIcon::Exclamation, MsgButtons::Ok};
}

// A message box whose text is longer than the screen shows what fits and
// ends with this line; the whole text is under the box's details.
inline const QString TextContinues = u"[…] il testo completo è nei dettagli"_s;

// Pop-up menu Dialog of the notification-area icon.
inline const QString MenuSendFax = u"Invia FAX"_s;
inline const QString MenuSetup = u"Setup"_s;
inline const QString MenuQuit = u"Esci"_s;
inline const QString MenuFeedback = u"FeedBack"_s;
// What the pop-up menu is called, for screen readers and window lists.
inline const QString TrayMenuName = u"Menu di KESTREL WinClient"_s;
inline const QString QuitQuestion = u"Terminare l'applicazione ?"_s;

inline MessageBoxRequest quitBox()
{
    return {QuitQuestion, ProductName, MsgIcon::None, MsgButtons::YesNo};
}

// Send window: the outgoing line selector.
inline const QString LineSelectorLabel = u"Seleziona Linea in uscita:"_s;
inline const QString LineSelectorTip =
    u"Seleziona il modem da utilizzare in invio, se lasciato vuoto usa il default"_s;

// Information icon, OK only, the program's default title: at save time and
// at start-up alike.
inline MessageBoxRequest incompleteConfigurationBox()
{
    return {IncompleteConfiguration, QString(), MsgIcon::Information, MsgButtons::Ok};
}

// major.minor.revision of the running program.
inline QString versionText()
{
    return u"%1.%2.%3"_s.arg(version::Major).arg(version::Minor).arg(version::Revision);
}

// Tooltip of the notification-area icon.
inline QString trayTip()
{
    return u"KESTREL ("_s + versionText() + u')';
}

// Caption of the notice window FrmMsg.
inline QString noticeCaption(const QString& executableName)
{
    return executableName + u" ("_s + versionText() + u')';
}

// Where the tray menu's "FeedBack" leads.
inline const QString FeedbackHost = u"www.kestrel-fax.example"_s;

inline QString feedbackPageAddress()
{
    return u"http://"_s + FeedbackHost + u"/help/contact.php?subject=KESTRELWIN%20Client%20"_s +
           versionText();
}

// The address with its escapes kept as they are.
inline QUrl feedbackPageUrl()
{
    return QUrl(feedbackPageAddress(), QUrl::StrictMode);
}

// Send window frmSend and its submissions.
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
// Jobs handed in whose answer never came: the server may hold them, so they
// are not sent again.
inline QString uncertainJobs(const QString& jobList)
{
    return u"Esito da verificare (la connessione si è interrotta prima della conferma, il fax potrebbe "
           u"essere partito): "_s +
           jobList.trimmed();
}
// The summary when some jobs' answers never came.
inline QString submissionSummary(const QString& mail, const QString& jobList, const QString& uncertain)
{
    if (uncertain.isEmpty())
        return submissionSummary(mail, jobList);
    return submissionSummary(mail, jobList) + u'\r' + uncertainJobs(uncertain);
}
// No job of the submission was confirmed, some may have gone.
inline QString outcomeToCheck(const QString& uncertain)
{
    return uncertainJobs(uncertain) +
           u"\rI documenti non sono stati rimessi nella lista, per non inviarli due volte."_s;
}
// A submission that stopped after some of its destinations got their fax.
inline QString partialFailure(const QString& reason, const QString& jobList, const QString& uncertain)
{
    QString text = u"Il fax non è stato inviato a tutti i destinatari."_s;
    if (!reason.isEmpty())
        text += u'\r' + reason;
    if (!jobList.isEmpty())
        text += u"\rNumero di Protocollo FAX dei fax già inoltrati: "_s + jobList.trimmed();
    if (!uncertain.isEmpty())
        text += u'\r' + uncertainJobs(uncertain);
    return text + u"\rI destinatari rimasti e i documenti sono di nuovo nella lista: premere \"Invia FAX\" "
                  u"per riprovare."_s;
}
// "Invia FAX" while the appliance does not answer.
inline const QString ApplianceAway =
    u"L'appliance fax non risponde: il fax non è stato inviato. I destinatari e i documenti restano nella "
    u"lista; l'appliance viene cercata di nuovo ogni minuto."_s;
// After an outage, once.
inline const QString ApplianceBack = u"L'appliance fax è di nuovo raggiungibile."_s;
// "Invia FAX" while the press waits for the appliance's answer: the
// button's caption, and what it says to a screen reader and as its tip.
inline const QString CheckingButton = u"Verifica in corso..."_s;
inline const QString CheckingAppliance = u"Verifica dell'appliance in corso..."_s;
// Settings saved while a fax is on its way.
inline const QString ReloadAfterSubmission =
    u"Le nuove impostazioni saranno usate al termine dell'invio in corso."_s;

// What became of the faxes: the history, its window and the notices.
namespace history {

// The state of a fax, in words.
inline const QString Queued = u"In coda"_s;
inline const QString Sending = u"In invio"_s;
inline const QString Sent = u"Inviato"_s;
inline const QString Failed = u"Non riuscito"_s;
inline const QString Cancelled = u"Annullato"_s;
inline const QString ToCheck = u"Esito da verificare"_s;
// The reason of a fax the fax server no longer knows (its record there
// was cleared, or the job never reached it).
inline const QString NotOnServer = u"Il server fax non ha più notizie di questo fax"_s;
// The reasons of a fax whose job number on the appliance now names another
// job: the number was given again (the server counted anew).
inline QString otherOwner(const QString& owner)
{
    return u"Il numero di questo fax sul server fax è ora di un fax di un altro utente ("_s + owner + u')';
}
inline QString otherNumber(const QString& number)
{
    return u"Il numero di questo fax sul server fax è ora di un fax per un altro destinatario ("_s + number +
           u')';
}
// The status window when the last question to the fax server went
// unanswered: the states shown are those of the last answer.
inline const QString StatesFromLastAnswer = u"Gli stati sono quelli dell'ultima risposta del server fax. "_s;
inline QString serverAway(const QString& why, int minutes)
{
    return StatesFromLastAnswer + why + u". Nuovo tentativo tra "_s +
           (minutes <= 1 ? u"un minuto"_s : QString::number(minutes) + u" minuti"_s) + u'.';
}
inline QString loginRefusedNote(const QString& why)
{
    return StatesFromLastAnswer + why +
           u": lo stato dei fax non sarà più chiesto finché le impostazioni non cambiano."_s;
}
// A fax whose end the server gave no reason for.
inline const QString NoReason = u"motivo non indicato"_s;

// Status window.
inline const QString WindowTitle = u"Stato dei fax"_s;
inline const QString OpenButton = u"&Stato dei fax"_s;
inline const QString OpenTip = u"Mostra che cosa è stato dei fax inviati"_s;
inline const QString MenuEntry = u"Stato dei fax"_s;
inline const QString DateHeader = u"Data e ora"_s;
inline const QString DestinationHeader = u"Destinatario"_s;
inline const QString NumberHeader = u"Numero"_s;
inline const QString StateHeader = u"Stato"_s;
inline const QString PagesHeader = u"Pagine"_s;
inline const QString TriesHeader = u"Tentativi"_s;
inline const QString ReasonHeader = u"Motivo"_s;
inline const QString JobHeader = u"N. fax"_s;
inline const QString FilterLabel = u"&Mostra:"_s;
inline const QString FilterAll = u"Tutti i fax"_s;
inline const QString FilterOpen = u"Non ancora conclusi"_s;
inline const QString FilterFailed = u"Non riusciti"_s;
inline const QString FilterOpenOrFailed = u"Non conclusi o non riusciti"_s;
inline const QString ResendButton = u"&Reinvia"_s;
inline const QString ResendTip = u"Rimette documenti e numero del fax scelto nella finestra di invio"_s;
inline const QString CloseButton = u"&Chiudi"_s;
// The status window's search box.
inline const QString SearchName = u"Cerca fax"_s;
inline const QString SearchPlaceholder = u"Cerca per numero, nome o N. fax"_s;
inline const QString SearchTip = u"Mostra solo i fax con questo numero, nome o N. fax (Ctrl+F)"_s;
// What a screen reader says for a row.
inline QString rowSpoken(const QString& when, const QString& destination, const QString& state,
                         const QString& reason)
{
    QString text = u"Fax a "_s + destination + u", "_s + when + u": "_s + state;
    return reason.isEmpty() ? text : text + u", "_s + reason;
}

// The desktop notice when a fax ends; "Reinvia" on a failed one.
inline QString sentNotice(const QString& destination, int pages)
{
    if (pages <= 0) // the appliance's pages do not count them
        return u"Fax a "_s + destination + u" inviato"_s;
    return u"Fax a "_s + destination + u" inviato ("_s + QString::number(pages) + u" pagine)"_s;
}
inline QString failedNotice(const QString& destination, const QString& reason)
{
    return u"Fax a "_s + destination + u" non riuscito: "_s + (reason.isEmpty() ? NoReason : reason);
}
inline QString cancelledNotice(const QString& destination)
{
    return u"Fax a "_s + destination + u" annullato"_s;
}
inline const QString ResendAction = u"Reinvia"_s;
// "Reinvia" on a fax whose spool files are gone.
inline const QString DocumentsMissing = u"Documenti non più presenti, non rimessi nella lista: "_s;
inline QString documentsMissing(const QStringList& paths)
{
    return DocumentsMissing + paths.join(u", "_s);
}

// "Reinvia" on a fax whose spool file is no longer the one sent: replaced,
// changed, linked elsewhere or another user's.
inline const QString DocumentsRefused = u"Documenti cambiati o non propri, non rimessi nella lista: "_s;
inline QString documentsRefused(const QStringList& paths)
{
    return DocumentsRefused + paths.join(u", "_s);
}
// "Reinvia" while the send window holds numbers or documents: a resend is
// a send of its own.
inline const QString ResendReplaceQuestion =
    u"La finestra di invio contiene già numeri o documenti da inviare.\n"
    "Toglierli e mettere al loro posto il fax da reinviare?"_s;
// "Reinvia" while a send is on its way.
inline const QString ResendWhileSending = u"È in corso un invio: usare Reinvia quando sarà concluso."_s;

// Stopping a fax, or moving a queued one to another send time, from the
// status window.
inline const QString CancelButton = u"A&nnulla fax"_s;
inline const QString CancelTip =
    u"Chiede al server fax di fermare il fax scelto, se non è ancora stato inviato"_s;
inline const QString MoveButton = u"S&posta invio..."_s;
inline const QString MoveTip = u"Sceglie un altro orario di invio per il fax scelto, ancora in coda"_s;
inline QString cancelQuestion(const QString& job, const QString& destination)
{
    return u"Annullare il fax n. %1 a %2?\nIl server fax lo fermerà se non è ancora stato inviato."_s.arg(
        job, destination);
}
inline QString moveTitle(const QString& job)
{
    return u"Sposta invio del fax n. %1"_s.arg(job);
}
inline const QString MoveLabel = u"&Nuovo orario di invio:"_s;
inline const QString SendTimePast = u"L'orario scelto è già passato: sceglierne uno futuro."_s;
inline const QString SendTimeTooFar =
    u"L'orario scelto è oltre un anno da oggi: sceglierne uno più vicino."_s;
inline const QString ChangeBusy = u"È in corso un'altra modifica di un fax: riprovare tra poco."_s;
inline const QString ChangesUnavailable =
    u"La libreria di controllo installata non permette di annullare o spostare i fax."_s;
inline QString cancelConfirmed(const QString& job)
{
    return u"Il fax n. %1 è stato annullato."_s.arg(job);
}
inline QString moveConfirmed(const QString& job, const QDateTime& when)
{
    return u"Il fax n. %1 partirà il %2."_s.arg(job, when.toString(u"dd/MM/yyyy HH:mm"_s));
}
inline QString changeNotDone(const QString& job, const QString& why)
{
    return u"Il fax n. %1 non è stato modificato: %2"_s.arg(job, why);
}

// The history file cannot be used now: the changes wait in memory and are
// tried again.
inline const QString Unavailable = u"Lo storico dei fax non può essere usato ora: i cambiamenti restano "
                                   "in memoria e saranno salvati appena possibile. Motivo: "_s;
// The status window's line while its list is not the saved one.
inline const QString NotSaved = u"Storico non salvato: gli ultimi cambiamenti sono solo in memoria, "
                                "nuovo tentativo tra poco. Motivo: "_s;
inline const QString NotRead = u"Storico non ancora letto: mancano i fax delle sessioni precedenti, "
                               "nuovo tentativo tra poco. Motivo: "_s;
inline const QString NotRegularFile = u"non è un file regolare"_s;
inline const QString OtherUsersFile = u"appartiene a un altro utente"_s;

} // namespace history

// The address book: its store, its windows and the desktop contacts.
namespace book {

// Texts the address book's core shows the user, letter for letter (trailing
// blanks and double spaces included): users and their notes know them so.
inline const QString SqlErrorNumber = u"Errore N° "_s;
inline const QString SqlErrorDescription = u"Descrizione =  "_s;
inline const QString SqlErrorCommand = u"Comando = "_s;
inline const QString SqlErrorQuestion = u"Errore SQL procedere ?"_s;
inline const QString SqlErrorTitle = u"ERRORE MOTORE SQL"_s;
inline const QString SqlErrorThanks = u"Grazie per aver inviato il messaggio "_s;
// The error of a statement on the empty database that ships with the
// program, which is never anybody's contact database.
inline const QString ShippedDatabaseRefused =
    u"è la rubrica vuota fornita con il programma: non si usa come rubrica dei contatti"_s;
inline const QString LoadingDesktopContacts = u"Carico contatti..."_s;
// Desktop contact files over 64 MiB are not read; the user is told once.
inline const QString ContactFilesTooLarge = u"Contatti non letti, file oltre 64 MiB: "_s;
inline QString contactFilesTooLarge(const QStringList& paths)
{
    return ContactFilesTooLarge + paths.join(u", "_s);
}

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
// Delete on a database contact of the address book.
inline const QString DeleteContactTitle = u"Elimina contatto"_s;
inline QString deleteContactQuestion(const QString& description, const QString& number)
{
    return u"Eliminare il contatto "_s + description + u" ("_s + number + u") dalla rubrica?"_s;
}
// Shown in the list while the contacts are being read.
inline const QString LoadingContacts = u"Carico rubrica..."_s;
// What the hidden picture box holding the desktop contacts' mark is called.
inline const QString DesktopMarkName = u"Contatto del desktop"_s;

// Contact editor frmAggiungi.
inline const QString EditorTitle = u"Aggiungi/Modfica contatto"_s;
inline const QString EditorNumber = u"Nr. Fax"_s;
inline const QString EditorDescription = u"Descrizione"_s;
inline const QString EditorGroup = u"Gruppo"_s;
inline const QString SaveNew = u"&Aggiungi"_s;
inline const QString SaveEdited = u"&Modifica"_s;
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

} // namespace book

// A number checked where it is used, whatever filled its box.
namespace numbers {
// "Invia FAX" on a destination whose number has no digit (a contact stored
// without a number): nothing is sent.
inline QString noDigits(const QString& description, const QString& number)
{
    const QString who = description.isEmpty() ? QString() : u" di "_s + description;
    return u"Il numero di fax"_s + who + u" (\""_s + number +
           u"\") non contiene cifre: nessun fax è stato inviato. Correggere il numero o togliere il "
           u"destinatario dalla lista."_s;
}
} // namespace numbers

// A contact changed or deleted by another program since the address book
// listed it: the change asked for was not made.
namespace book {
inline QString contactChanged(const QString& description, const QString& number)
{
    return u"Il contatto "_s + description + u" ("_s + number +
           u") è stato modificato o eliminato da un altro programma dopo che la rubrica lo ha elencato: non "
           u"è stato cambiato nulla. La rubrica è stata ricaricata; controllare il contatto e riprovare."_s;
}
} // namespace book

// Send options: the send window's expandable row, the options window's
// defaults, and the send times refused before anything goes.
namespace sendoptions {
inline const QString Toggle = u"&Opzioni di invio"_s;
inline const QString ToggleTip = u"Invio più tardi, rinuncia, risoluzione e tentativi di questo fax"_s;
inline const QString SendLater = u"Invia &alle:"_s;
inline const QString SendAtField = u"Data e ora di invio"_s;
inline const QString KillAfter = u"Rinuncia dopo (ore):"_s;
inline const QString Resolution = u"Risoluzione:"_s;
inline const QString Fine = u"Fine"_s;
inline const QString Standard = u"Standard (più veloce)"_s;
inline const QString Tries = u"Tentativi di trasmissione:"_s;
// A count left to the fax server.
inline const QString ServerDefault = u"Predefinito (server)"_s;
inline const QString KillDefault = u"Predefinito (3 ore)"_s;
// Options window: the defaults of every fax.
inline const QString OptionKillAfter = u"Rinuncia dopo (ore) :"_s;
inline const QString OptionTries = u"Tentativi di trasmissione :"_s;
inline const QString OptionStandard = u"Risoluzione standard (più veloce)"_s;
// Refused before sending.
inline const QString SendTimePast = u"L'ora di invio è già passata: sceglierne una futura."_s;
inline const QString SendTimeTooFar = u"L'ora di invio è a più di un anno da oggi: controllare la data."_s;
inline const QString KillBeforeSend =
    u"Il fax verrebbe abbandonato prima di essere inviato: controllare le ore di rinuncia."_s;
inline const QString KillTooLate = u"Le ore di rinuncia sono troppe: al massimo 2376 (99 giorni)."_s;
inline const QString TriesOutOfRange = u"I tentativi vanno da 1 a 99."_s;
// The history: when a fax waiting for later is to go.
inline QString plannedTip(const QString& when)
{
    return u"Invio previsto: "_s + when;
}
} // namespace sendoptions

// The office's shared address book on a database server: where names the
// server, its password masked.
namespace sharedbook {
inline QString unreachable(const QString& where, const QString& detail)
{
    return u"Rubrica condivisa non raggiungibile ("_s + where + u"): "_s + detail;
}
inline QString refused(const QString& where, const QString& detail)
{
    return u"La rubrica condivisa ("_s + where + u") ha rifiutato l'operazione: "_s + detail;
}
inline QString badAddress(const QString& where, const QString& detail)
{
    return u"Indirizzo della rubrica condivisa non valido ("_s + where + u"): "_s + detail;
}
inline QString missingTable(const QString& where, const QString& script)
{
    return u"La rubrica condivisa ("_s + where +
           u") non ha ancora la tabella dei contatti e questo utente non può crearla: un amministratore "
           u"esegua lo "
           u"script "_s +
           script + u" sul database."_s;
}
inline QString semicolonIn(const QString& key)
{
    return u"il valore di "_s + key +
           u" contiene \";\", che il driver non sa trasmettere: toglierlo dall'indirizzo o usare un file di servizio"_s;
}
// corvafax-rubrica, which moves a desk's file into the shared book.
inline QString importSummary(int added, int skipped)
{
    return u"Contatti aggiunti: "_s + QString::number(added) + u", saltati perché già presenti: "_s +
           QString::number(skipped);
}
inline const QString ImportUsage =
    u"Uso: corvafax-rubrica import FILE URI\nCopia i contatti del file FILE (la "
    u"rubrica.db di una postazione) nella rubrica condivisa indicata da URI "
    u"(postgresql://utente@server:porta/database)."_s;
inline const QString ShowingLastRead =
    u"Rubrica condivisa non raggiungibile: elenco dell'ultima lettura, in sola lettura"_s;
inline const QString ConnectionClosed = u"il server ha chiuso la connessione"_s;
inline const QString NulCharacter = u"Il contatto contiene un carattere nullo, che la rubrica condivisa non "
                                    u"può conservare: non è stato salvato "
                                    u"nulla. Togliere il carattere e riprovare."_s;
// The address book when the server answers again after an outage.
inline const QString BackReachable =
    u"Rubrica condivisa di nuovo raggiungibile: elenco riletto, di nuovo modificabile"_s;
// The options window's line on where the contacts are kept. A part the
// address leaves out is libpq's default.
inline const QString OptionStore = u"Rubrica:"_s;
inline QString fileInUse(const QString& path)
{
    return u"file "_s + path;
}
inline const QString DefaultPart = u"predefinito"_s;
inline QString serverInUse(const QString& host, const QString& port, const QString& database,
                           const QString& user)
{
    return u"server condiviso "_s + host + u", porta "_s + port + u", database "_s + database +
           u", utente "_s + user;
}
} // namespace sharedbook

// Where the appliance password is kept (the options window).
namespace keyring {
inline const QString Unavailable =
    u"Portachiavi non disponibile: la password resta nel file delle impostazioni"_s;
} // namespace keyring

// Destinations read from the printed pages' tags: why a print was refused.
namespace tags {
inline QString refused(const QString& detail)
{
    return u"Stampa con etichette @@FAX@@ non inviata, nessun fax è partito: "_s + detail;
}
inline QString noDigits(int page)
{
    return u"a pagina %1 un'etichetta @@FAX@@ non contiene alcuna cifra"_s.arg(page);
}
inline QString numberTooLong(int page, int most)
{
    return u"a pagina %1 il numero di un'etichetta @@FAX@@ supera le %2 cifre ammesse"_s.arg(page).arg(most);
}
inline QString badNumber(int page, const QString& number)
{
    return u"a pagina %1 il numero \"%2\" di un'etichetta @@FAX@@ contiene caratteri non ammessi"_s.arg(
        QString::number(page), number);
}
inline QString unclosedTag(int page)
{
    return u"a pagina %1 un'etichetta @@FAX: non è chiusa da @@"_s.arg(page);
}
inline QString twoDestinations(int page, const QString& first, const QString& second)
{
    return u"la pagina %1 porta due destinatari diversi (%2 e %3)"_s.arg(QString::number(page), first,
                                                                         second);
}
inline QString tooManyLetters(int page, int most)
{
    return u"la pagina %1 apre una lettera oltre le %2 ammesse in una stampa"_s.arg(page).arg(most);
}
inline QString noText(int page)
{
    return u"il testo della pagina %1 non si legge (forse è un'immagine): non si sa a chi vada"_s.arg(page);
}
inline QString unreadableText(int page)
{
    return u"il testo della pagina %1 non si legge (caratteri senza codifica, come i caratteri TrueType "
           u"arrivati attraverso CUPS): non si sa a chi vada"_s.arg(page);
}
inline QString pageTooLong(int page)
{
    return u"il testo della pagina %1 supera 16 MiB"_s.arg(page);
}
inline QString readTimedOut(int page, int seconds)
{
    if (page == 0)
        return u"la lettura del testo non è finita entro %1 secondi (nessuna pagina letta)"_s.arg(seconds);
    return u"la lettura del testo non è finita entro %1 secondi (ferma dopo la pagina %2)"_s.arg(seconds).arg(
        page);
}
inline QString readFailed(int page, const QString& reason)
{
    if (page == 0)
        return u"la lettura del testo si è interrotta prima della prima pagina: "_s + reason;
    return u"la lettura del testo si è interrotta dopo la pagina %1: %2"_s.arg(QString::number(page), reason);
}
inline QString programEnded(int exitCode)
{
    return u"Ghostscript è terminato con il codice %1"_s.arg(exitCode);
}
inline const QString ProgramNotStarted = u"Ghostscript (gs) non si avvia"_s;
inline const QString NoTemporaryFolder = u"non si crea una cartella temporanea"_s;
inline QString letterNotWritten(int firstPage, int lastPage, const QString& reason)
{
    return u"il documento della lettera delle pagine %1-%2 non è stato scritto: %3"_s.arg(
        QString::number(firstPage), QString::number(lastPage), reason);
}
} // namespace tags

// Prints whose pages name their destinations, split into letters: the
// settings, the send window's column and what the user is told.
namespace letters {
inline const QString OptionSendAtOnce = u"Invia subito le stampe con destinatario"_s;
inline const QString OptionSkipFirstPages = u"Non inviare le pagine prima del primo destinatario"_s;
// The destination list's column of each letter's pages.
inline const QString PagesHeader = u"Pagine"_s;
// The print could not be split (the reader said why, and that nothing
// went): it is listed as any other print.
inline QString refused(const QString& problem)
{
    return problem +
           u"\rLa stampa è nella lista dei documenti, da inviare scegliendo a mano i destinatari."_s;
}
// No private folder for the letters' documents could be made.
inline QString noFolder(const QString& reason)
{
    return u"non è stato possibile preparare la cartella dei fax ("_s + reason + u')';
}
// A destination as the notice names it.
inline QString destination(const QString& name, const QString& number)
{
    return name.isEmpty() ? number : name + u" ("_s + number + u')';
}
// A print sent at once: the destinations the server confirmed, their job
// numbers, and the jobs whose answer never came.
inline QString sentNotice(const QStringList& destinations, const QString& jobList, const QString& uncertain)
{
    const qsizetype count = destinations.size();
    QString text = u"Stampa con destinatari: "_s;
    if (count == 0)
        text += u"nessun fax confermato dal server."_s;
    else
        text += QString::number(count) +
                (count == 1 ? u" fax inoltrato al server, a "_s : u" fax inoltrati al server, a "_s) +
                destinations.join(u", "_s) + u'.';
    if (!jobList.trimmed().isEmpty())
        text += u"\nNumero di Protocollo FAX: "_s + jobList.trimmed();
    if (!uncertain.trimmed().isEmpty())
        text += u'\n' + uncertainJobs(uncertain);
    return text;
}
} // namespace letters

} // namespace kestrel::texts
