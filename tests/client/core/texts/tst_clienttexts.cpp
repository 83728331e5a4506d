// Every text the program shows, as a literal: the product takes them from
// its text tables (ClientTexts.h for the client, ControlTexts.h and the
// public header for the control), and every other test names them. A typo
// in a table fails here, whatever the tests that name the text expect.

#include "ClientTexts.h"
#include "ControlTexts.h"

#include <QTest>

using namespace kestrel;
using namespace Qt::StringLiterals;

class TestClientTexts : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The version shown is the one CMake builds, in every text that has it.
    void versionFromTheProject()
    {
        const QString version = QString::fromLatin1(KESTREL_PROJECT_VERSION);
        QCOMPARE(texts::trayTip(), u"KESTREL ("_s + version + u')');
        QCOMPARE(texts::noticeCaption(u"corvafax-client"_s), u"corvafax-client ("_s + version + u')');
        QCOMPARE(texts::feedbackPageUrl().toString(QUrl::FullyEncoded),
                 u"http://"_s + texts::FeedbackHost + u"/help/contact.php?subject=KESTRELWIN%20Client%20"_s +
                     version);
    }

    void everyText_data();
    void everyText()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(text, expected);
    }
};

void TestClientTexts::everyText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("ProductName") << QString(texts::ProductName) << u"KESTREL WinClient"_s;
    QTest::newRow("IncompleteConfiguration")
        << QString(texts::IncompleteConfiguration)
        << u"L'indirizzo IP dell'appliance Fax e l'indirizzo email dell'utente sono campi necessari "_s;
    QTest::newRow("OptionIp") << QString(texts::OptionIp) << u"Indirizzo IP:"_s;
    QTest::newRow("OptionUser") << QString(texts::OptionUser) << u"Utente:"_s;
    QTest::newRow("OptionPassword") << QString(texts::OptionPassword) << u"Password:"_s;
    QTest::newRow("OptionMail") << QString(texts::OptionMail) << u"Indirizzo e-mail:"_s;
    QTest::newRow("OptionPrefix") << QString(texts::OptionPrefix) << u"Prefisso da appendere :"_s;
    QTest::newRow("OptionMaxDials") << QString(texts::OptionMaxDials) << u"Numero di tentativi di invio :"_s;
    QTest::newRow("OptionCover") << QString(texts::OptionCover) << u"Copertina:"_s;
    QTest::newRow("OptionBrowse") << QString(texts::OptionBrowse) << u"Sfoglia"_s;
    QTest::newRow("OptionDebug") << QString(texts::OptionDebug) << u"Abilita debug"_s;
    QTest::newRow("OptionChop") << QString(texts::OptionChop) << u"Inserisci Intestazione"_s;
    QTest::newRow("OptionGroupSend") << QString(texts::OptionGroupSend)
                                     << u"Un solo collegamento per tutti i destinatari"_s;
    QTest::newRow("OptionSave") << QString(texts::OptionSave) << u"Salva impostazioni"_s;
    QTest::newRow("OptionCancel") << QString(texts::OptionCancel) << u"Annulla"_s;
    QTest::newRow("DocumentFilter") << QString(texts::DocumentFilter)
                                    << u" Documento PDF - PS (*.pdf;*.ps)|*.pdf;*.ps|"_s;
    QTest::newRow("SettingsNotSaved") << QString(texts::SettingsNotSaved) << u"Impostazioni non salvate: "_s;
    QTest::newRow("SettingsNotRead")
        << QString(texts::SettingsNotRead)
        << u"Impostazioni non lette, il programma usa quelle predefinite e non modifica il file: "_s;
    QTest::newRow("TextContinues") << QString(texts::TextContinues)
                                   << u"[…] il testo completo è nei dettagli"_s;
    QTest::newRow("MenuSendFax") << QString(texts::MenuSendFax) << u"Invia FAX"_s;
    QTest::newRow("MenuSetup") << QString(texts::MenuSetup) << u"Setup"_s;
    QTest::newRow("MenuQuit") << QString(texts::MenuQuit) << u"Esci"_s;
    QTest::newRow("MenuFeedback") << QString(texts::MenuFeedback) << u"FeedBack"_s;
    QTest::newRow("QuitQuestion") << QString(texts::QuitQuestion) << u"Terminare l'applicazione ?"_s;
    QTest::newRow("LineSelectorLabel")
        << QString(texts::LineSelectorLabel) << u"Seleziona Linea in uscita:"_s;
    QTest::newRow("LineSelectorTip")
        << QString(texts::LineSelectorTip)
        << u"Seleziona il modem da utilizzare in invio, se lasciato vuoto usa il default"_s;
    QTest::newRow("SendTitle") << QString(texts::SendTitle) << u"Invio Fax..."_s;
    QTest::newRow("NumberFrame") << QString(texts::NumberFrame) << u"Numero di Fax destinatario:"_s;
    QTest::newRow("NumberTip") << QString(texts::NumberTip) << u"Inserisci qui il destinatrio"_s;
    QTest::newRow("AddNumber") << QString(texts::AddNumber) << u"&Aggiungi"_s;
    QTest::newRow("AddNumberTip") << QString(texts::AddNumberTip)
                                  << u"Aggiungi nuovo destinatario alla lista di invio"_s;
    QTest::newRow("DestinationFrame") << QString(texts::DestinationFrame) << u"Elenco Destinatari"_s;
    QTest::newRow("AddressBookButton") << QString(texts::AddressBookButton) << u"&Rubrica"_s;
    QTest::newRow("DocumentsLabel") << QString(texts::DocumentsLabel) << u"Documenti da inviare"_s;
    QTest::newRow("AddDocument") << QString(texts::AddDocument) << u"+"_s;
    QTest::newRow("AddDocumentTip") << QString(texts::AddDocumentTip) << u"Aggiungi un documento PDF oTIFF"_s;
    QTest::newRow("SendButton") << QString(texts::SendButton) << u"&Invia FAX"_s;
    QTest::newRow("SendTip") << QString(texts::SendTip) << u"Inoltra al FaxServer"_s;
    QTest::newRow("HideButton") << QString(texts::HideButton) << u"&Nascondi"_s;
    QTest::newRow("HideTip") << QString(texts::HideTip) << u"Annulla i destinatari e i documenti in coda"_s;
    QTest::newRow("NumberHeader") << QString(texts::NumberHeader) << u"Numero"_s;
    QTest::newRow("DescriptionHeader") << QString(texts::DescriptionHeader) << u"Descrizione"_s;
    QTest::newRow("PathHeader") << QString(texts::PathHeader) << u"Percorso"_s;
    QTest::newRow("FileNameHeader") << QString(texts::FileNameHeader) << u"Nome File"_s;
    QTest::newRow("SendDocumentFilter")
        << QString(texts::SendDocumentFilter) << u" Documento PDF - PS (*.pdf;*.ps)|*.pdf;*.ps|"_s;
    QTest::newRow("NoNumberTyped") << QString(texts::NoNumberTyped)
                                   << u"Inserci un numero per aggiungelo alla lista"_s;
    QTest::newRow("NotADocument") << QString(texts::NotADocument)
                                  << u"Il documento deve essere un file PDF o Postscript"_s;
    QTest::newRow("RemoveTitle") << QString(texts::RemoveTitle) << u"Elimina Documento"_s;
    QTest::newRow("CancelTitle") << QString(texts::CancelTitle) << u"Annulla FAX"_s;
    QTest::newRow("CancelQuestion")
        << QString(texts::CancelQuestion)
        << u"Vuoi annullare l'invio del fax? \r Tutti i destinatari e i documenti stampati verranno eliminati dalla coda"_s;
    QTest::newRow("WrongCover") << QString(texts::WrongCover)
                                << u"La copertina deve essere un documento in formato PDF o Postscript"_s;
    QTest::newRow("NoDestination") << QString(texts::NoDestination)
                                   << u"Nessun destinatario inserito\r\nNon sarà inviato alcun fax"_s;
    QTest::newRow("NoDocument")
        << QString(texts::NoDocument)
        << u"è necessario stampare almeno un documento sulla  stampante virutale per poter disporre di un documento da inviare"_s;
    QTest::newRow("ApplianceAway")
        << QString(texts::ApplianceAway)
        << u"L'appliance fax non risponde: il fax non è stato inviato. I destinatari e i documenti restano nella lista; l'appliance viene cercata di nuovo ogni minuto."_s;
    QTest::newRow("ApplianceBack") << QString(texts::ApplianceBack)
                                   << u"L'appliance fax è di nuovo raggiungibile."_s;
    QTest::newRow("TrayMenuName") << QString(texts::TrayMenuName) << u"Menu di KESTREL WinClient"_s;
    QTest::newRow("CheckingButton") << QString(texts::CheckingButton) << u"Verifica in corso..."_s;
    QTest::newRow("CheckingAppliance")
        << QString(texts::CheckingAppliance) << u"Verifica dell'appliance in corso..."_s;
    QTest::newRow("ReloadAfterSubmission")
        << QString(texts::ReloadAfterSubmission)
        << u"Le nuove impostazioni saranno usate al termine dell'invio in corso."_s;
    QTest::newRow("book::SqlErrorNumber") << QString(texts::book::SqlErrorNumber) << u"Errore N° "_s;
    QTest::newRow("book::SqlErrorDescription")
        << QString(texts::book::SqlErrorDescription) << u"Descrizione =  "_s;
    QTest::newRow("book::SqlErrorCommand") << QString(texts::book::SqlErrorCommand) << u"Comando = "_s;
    QTest::newRow("book::SqlErrorQuestion")
        << QString(texts::book::SqlErrorQuestion) << u"Errore SQL procedere ?"_s;
    QTest::newRow("book::SqlErrorTitle") << QString(texts::book::SqlErrorTitle) << u"ERRORE MOTORE SQL"_s;
    QTest::newRow("book::SqlErrorThanks")
        << QString(texts::book::SqlErrorThanks) << u"Grazie per aver inviato il messaggio "_s;
    QTest::newRow("book::ShippedDatabaseRefused")
        << QString(texts::book::ShippedDatabaseRefused)
        << u"è la rubrica vuota fornita con il programma: non si usa come rubrica dei contatti"_s;
    QTest::newRow("book::LoadingDesktopContacts")
        << QString(texts::book::LoadingDesktopContacts) << u"Carico contatti..."_s;
    QTest::newRow("book::ContactFilesTooLarge")
        << QString(texts::book::ContactFilesTooLarge) << u"Contatti non letti, file oltre 64 MiB: "_s;
    QTest::newRow("book::AddressBookTitle") << QString(texts::book::AddressBookTitle) << u"Rubrica"_s;
    QTest::newRow("book::NumberHeader") << QString(texts::book::NumberHeader) << u"Nr. Fax"_s;
    QTest::newRow("book::DescriptionHeader") << QString(texts::book::DescriptionHeader) << u"Descrizione"_s;
    QTest::newRow("book::GroupHeader") << QString(texts::book::GroupHeader) << u"Grp"_s;
    QTest::newRow("book::SelectHeader") << QString(texts::book::SelectHeader) << u"Seleziona"_s;
    QTest::newRow("book::EditHeader") << QString(texts::book::EditHeader) << u"Edit"_s;
    QTest::newRow("book::Marked") << QString(texts::book::Marked) << u"Invia"_s;
    QTest::newRow("book::NewContact") << QString(texts::book::NewContact) << u"&Nuovo Contatto"_s;
    QTest::newRow("book::NewContactTip")
        << QString(texts::book::NewContactTip) << u"Aggiungi unnuovo contatto nella Rubrica"_s;
    QTest::newRow("book::AddGroup") << QString(texts::book::AddGroup) << u"&Invia tutto il  gruppo N°"_s;
    QTest::newRow("book::AddGroupTip")
        << QString(texts::book::AddGroupTip)
        << u"Aggiunge i contatti del gruppo selezionato alla lista destinatari"_s;
    QTest::newRow("book::AddSelected") << QString(texts::book::AddSelected) << u"&Aggiungi  selezionati"_s;
    QTest::newRow("book::AddSelectedTip") << QString(texts::book::AddSelectedTip)
                                          << u"Aggiunge i contatti selezionati alla lista di invio fax"_s;
    QTest::newRow("book::DeleteContactTitle")
        << QString(texts::book::DeleteContactTitle) << u"Elimina contatto"_s;
    QTest::newRow("book::LoadingContacts") << QString(texts::book::LoadingContacts) << u"Carico rubrica..."_s;
    QTest::newRow("book::DesktopMarkName")
        << QString(texts::book::DesktopMarkName) << u"Contatto del desktop"_s;
    QTest::newRow("book::EditorTitle") << QString(texts::book::EditorTitle) << u"Aggiungi/Modfica contatto"_s;
    QTest::newRow("book::EditorNumber") << QString(texts::book::EditorNumber) << u"Nr. Fax"_s;
    QTest::newRow("book::EditorDescription") << QString(texts::book::EditorDescription) << u"Descrizione"_s;
    QTest::newRow("book::EditorGroup") << QString(texts::book::EditorGroup) << u"Gruppo"_s;
    QTest::newRow("book::SaveNew") << QString(texts::book::SaveNew) << u"&Aggiungi"_s;
    QTest::newRow("book::SaveEdited") << QString(texts::book::SaveEdited) << u"&Modifica"_s;
    QTest::newRow("book::SaveTip") << QString(texts::book::SaveTip)
                                   << u"Aggiungi contatto alla rubrica interna"_s;
    QTest::newRow("book::Delete") << QString(texts::book::Delete) << u"&Elimina"_s;
    QTest::newRow("book::NumberRequired")
        << QString(texts::book::NumberRequired) << u"Il numero fax è un campo obbligatorio!"_s;
    QTest::newRow("book::DefaultGroup") << QString(texts::book::DefaultGroup) << u"1"_s;
    QTest::newRow("history::Queued") << QString(texts::history::Queued) << u"In coda"_s;
    QTest::newRow("history::Sending") << QString(texts::history::Sending) << u"In invio"_s;
    QTest::newRow("history::Sent") << QString(texts::history::Sent) << u"Inviato"_s;
    QTest::newRow("history::Failed") << QString(texts::history::Failed) << u"Non riuscito"_s;
    QTest::newRow("history::Cancelled") << QString(texts::history::Cancelled) << u"Annullato"_s;
    QTest::newRow("history::ToCheck") << QString(texts::history::ToCheck) << u"Esito da verificare"_s;
    QTest::newRow("history::NotOnServer")
        << QString(texts::history::NotOnServer) << u"Il server fax non ha più notizie di questo fax"_s;
    QTest::newRow("history::NoReason") << QString(texts::history::NoReason) << u"motivo non indicato"_s;
    QTest::newRow("history::WindowTitle") << QString(texts::history::WindowTitle) << u"Stato dei fax"_s;
    QTest::newRow("history::OpenButton") << QString(texts::history::OpenButton) << u"&Stato dei fax"_s;
    QTest::newRow("history::OpenTip")
        << QString(texts::history::OpenTip) << u"Mostra che cosa è stato dei fax inviati"_s;
    QTest::newRow("history::MenuEntry") << QString(texts::history::MenuEntry) << u"Stato dei fax"_s;
    QTest::newRow("history::DateHeader") << QString(texts::history::DateHeader) << u"Data e ora"_s;
    QTest::newRow("history::DestinationHeader")
        << QString(texts::history::DestinationHeader) << u"Destinatario"_s;
    QTest::newRow("history::NumberHeader") << QString(texts::history::NumberHeader) << u"Numero"_s;
    QTest::newRow("history::StateHeader") << QString(texts::history::StateHeader) << u"Stato"_s;
    QTest::newRow("history::PagesHeader") << QString(texts::history::PagesHeader) << u"Pagine"_s;
    QTest::newRow("history::TriesHeader") << QString(texts::history::TriesHeader) << u"Tentativi"_s;
    QTest::newRow("history::ReasonHeader") << QString(texts::history::ReasonHeader) << u"Motivo"_s;
    QTest::newRow("history::JobHeader") << QString(texts::history::JobHeader) << u"N. fax"_s;
    QTest::newRow("history::FilterLabel") << QString(texts::history::FilterLabel) << u"&Mostra:"_s;
    QTest::newRow("history::FilterAll") << QString(texts::history::FilterAll) << u"Tutti i fax"_s;
    QTest::newRow("history::FilterOpen") << QString(texts::history::FilterOpen) << u"Non ancora conclusi"_s;
    QTest::newRow("history::FilterFailed") << QString(texts::history::FilterFailed) << u"Non riusciti"_s;
    QTest::newRow("history::FilterOpenOrFailed")
        << QString(texts::history::FilterOpenOrFailed) << u"Non conclusi o non riusciti"_s;
    QTest::newRow("history::ResendButton") << QString(texts::history::ResendButton) << u"&Reinvia"_s;
    QTest::newRow("history::ResendTip")
        << QString(texts::history::ResendTip)
        << u"Rimette documenti e numero del fax scelto nella finestra di invio"_s;
    QTest::newRow("history::CloseButton") << QString(texts::history::CloseButton) << u"&Chiudi"_s;
    QTest::newRow("history::SearchName") << QString(texts::history::SearchName) << u"Cerca fax"_s;
    QTest::newRow("history::SearchPlaceholder")
        << QString(texts::history::SearchPlaceholder) << u"Cerca per numero, nome o N. fax"_s;
    QTest::newRow("history::SearchTip") << QString(texts::history::SearchTip)
                                        << u"Mostra solo i fax con questo numero, nome o N. fax (Ctrl+F)"_s;
    QTest::newRow("history::ResendAction") << QString(texts::history::ResendAction) << u"Reinvia"_s;
    QTest::newRow("history::DocumentsMissing") << QString(texts::history::DocumentsMissing)
                                               << u"Documenti non più presenti, non rimessi nella lista: "_s;
    QTest::newRow("history::DocumentsRefused")
        << QString(texts::history::DocumentsRefused)
        << u"Documenti cambiati o non propri, non rimessi nella lista: "_s;
    QTest::newRow("history::ResendReplaceQuestion")
        << QString(texts::history::ResendReplaceQuestion)
        << u"La finestra di invio contiene già numeri o documenti da inviare.\n"
           "Toglierli e mettere al loro posto il fax da reinviare?"_s;
    QTest::newRow("history::ResendWhileSending")
        << QString(texts::history::ResendWhileSending)
        << u"È in corso un invio: usare Reinvia quando sarà concluso."_s;
    QTest::newRow("history::Unavailable")
        << QString(texts::history::Unavailable)
        << u"Lo storico dei fax non può essere usato ora: i cambiamenti "
           "restano in memoria e saranno salvati appena possibile. Motivo: "_s;
    QTest::newRow("history::NotSaved")
        << QString(texts::history::NotSaved)
        << u"Storico non salvato: gli ultimi cambiamenti sono solo in memoria, "
           "nuovo tentativo tra poco. Motivo: "_s;
    QTest::newRow("history::NotRead")
        << QString(texts::history::NotRead)
        << u"Storico non ancora letto: mancano i fax delle sessioni precedenti, "
           "nuovo tentativo tra poco. Motivo: "_s;
    QTest::newRow("history::NotRegularFile")
        << QString(texts::history::NotRegularFile) << u"non è un file regolare"_s;
    QTest::newRow("history::OtherUsersFile")
        << QString(texts::history::OtherUsersFile) << u"appartiene a un altro utente"_s;
    QTest::newRow("history::otherOwner")
        << texts::history::otherOwner(u"luigi"_s)
        << u"Il numero di questo fax sul server fax è ora di un fax di un altro utente (luigi)"_s;
    QTest::newRow("history::otherNumber")
        << texts::history::otherNumber(u"0698"_s)
        << u"Il numero di questo fax sul server fax è ora di un fax per un altro destinatario (0698)"_s;
    QTest::newRow("history::serverAway")
        << texts::history::serverAway(u"Il server fax non risponde"_s, 4)
        << u"Gli stati sono quelli dell'ultima risposta del server fax. Il server fax non risponde. Nuovo "
           "tentativo tra 4 minuti."_s;
    QTest::newRow("history::serverAway, a minute")
        << texts::history::serverAway(u"Il server fax non risponde"_s, 1)
        << u"Gli stati sono quelli dell'ultima risposta del server fax. Il server fax non risponde. Nuovo "
           "tentativo tra un minuto."_s;
    QTest::newRow("history::loginRefusedNote")
        << texts::history::loginRefusedNote(u"Nome utente o password errati"_s)
        << u"Gli stati sono quelli dell'ultima risposta del server fax. Nome utente o password errati: lo "
           "stato dei fax non sarà più chiesto finché le impostazioni non cambiano."_s;
    QTest::newRow("history::sentNotice")
        << texts::history::sentNotice(u"Studio Rossi"_s, 3) << u"Fax a Studio Rossi inviato (3 pagine)"_s;
    QTest::newRow("history::sentNotice, pages not counted")
        << texts::history::sentNotice(u"0612345"_s, 0) << u"Fax a 0612345 inviato"_s;
    QTest::newRow("history::failedNotice")
        << texts::history::failedNotice(u"0612345"_s, u"Busy"_s) << u"Fax a 0612345 non riuscito: Busy"_s;
    QTest::newRow("history::failedNotice, no reason") << texts::history::failedNotice(u"0612345"_s, {})
                                                      << u"Fax a 0612345 non riuscito: motivo non indicato"_s;
    QTest::newRow("history::cancelledNotice")
        << texts::history::cancelledNotice(u"0612345"_s) << u"Fax a 0612345 annullato"_s;
    QTest::newRow("history::rowSpoken")
        << texts::history::rowSpoken(u"08/12/2026 10:15"_s, u"0612345"_s, u"Non riuscito"_s, u"Busy"_s)
        << u"Fax a 0612345, 08/12/2026 10:15: Non riuscito, Busy"_s;
    QTest::newRow("BoxTitle") << QString(texts::BoxTitle) << u"KestrelOCX"_s;
    QTest::newRow("ConnectionCut") << QString(texts::ConnectionCut) << u"connessione interrotta"_s;
    QTest::newRow("EndedMidDocument")
        << QString(texts::EndedMidDocument) << u"stampa interrotta prima della fine del documento"_s;
    QTest::newRow("ApplianceOffline")
        << QString(ApplianceOffline.toString()) << u"Appliance KESTREL Offline"_s;
    QTest::newRow("NotActivated") << QString(NotActivated.toString())
                                  << u"deve essere attivata con .attiva"_s;
    QTest::newRow("LoginRefused") << QString(LoginRefused.toString()) << u"Nome utente o password errati"_s;
    QTest::newRow("FaxNotSent") << QString(FaxNotSent.toString()) << u"fax non inviato"_s;
    QTest::newRow("FaxOutcomeUnknown") << QString(FaxOutcomeUnknown.toString()) << u"esito da verificare"_s;
    QTest::newRow("OutcomeUnknownJob") << QString(OutcomeUnknownJob.toString()) << u"Il fax n. "_s;
    QTest::newRow("CaptureStopped") << QString(CaptureStopped.toString())
                                    << u"Impossibile ricevere le stampe"_s;
    QTest::newRow("CaptureResumed") << QString(CaptureResumed.toString()) << u"Di nuovo in ascolto"_s;
    QTest::newRow("quitBox().text") << QString(texts::quitBox().text) << u"Terminare l'applicazione ?"_s;
    QTest::newRow("incompleteConfigurationBox().text")
        << QString(texts::incompleteConfigurationBox().text)
        << u"L'indirizzo IP dell'appliance Fax e l'indirizzo email dell'utente sono campi necessari "_s;
    QTest::newRow("applianceOffline()")
        << QString(texts::applianceOffline()) << u"Appliance KESTREL Offline"_s;
    QTest::newRow("notActivated()") << QString(texts::notActivated())
                                    << u"deve essere attivata con .attiva"_s;
    QTest::newRow("loginRefused()") << QString(texts::loginRefused()) << u"Nome utente o password errati"_s;
    QTest::newRow("replyTimeout()") << QString(texts::replyTimeout())
                                    << u"Il server fax non ha risposto in tempo: fax non inviato"_s;
    QTest::newRow("connectionDropped()") << QString(texts::connectionDropped())
                                         << u"Il server fax ha chiuso la connessione: fax non inviato"_s;
    QTest::newRow("transferFailed()")
        << QString(texts::transferFailed())
        << u"Trasferimento del documento al server fax non riuscito: fax non inviato"_s;
    QTest::newRow("noJobNumber()") << QString(texts::noJobNumber())
                                   << u"Il server fax non ha assegnato un numero al fax: fax non inviato"_s;
    QTest::newRow("interrupted()") << QString(texts::interrupted()) << u"Invio interrotto: fax non inviato"_s;
    QTest::newRow("replyTooLong()")
        << QString(texts::replyTooLong())
        << u"Il server fax ha mandato una risposta troppo lunga: fax non inviato"_s;
    QTest::newRow("silentFor(10)") << QString(texts::silentFor(10)) << u"nessun dato per 10 minuti"_s;
    QTest::newRow("jobNotQueued()")
        << QString(texts::jobNotQueued(u"8"_s, u"0622"_s, texts::replyTimeout()))
        << u"Il server fax non ha messo in coda il fax n. 8 al numero 0622 (il server fax non ha risposto in "
           u"tempo): fax non inviato"_s;
    QTest::newRow("outcomeUnknown()")
        << QString(texts::outcomeUnknown(u"8"_s, u"0622"_s, texts::replyTimeout()))
        << u"Il fax n. 8 al numero 0622 potrebbe essere partito: il server fax non ha confermato l'invio (il "
           u"server fax non ha risposto in tempo): esito da verificare"_s;
    QTest::newRow("documentIncomplete()")
        << QString(texts::documentIncomplete(u"/tmp/a.ps"_s))
        << u"Il server fax non ha ricevuto per intero il documento /tmp/a.ps: fax non inviato"_s;

    // The client's composed texts, each with a sample argument.
    QTest::newRow("settingsNotSavedBox().text")
        << QString(texts::settingsNotSavedBox(u"/home/anna/.config/corvafax.ini: disco pieno"_s).text)
        << u"Impostazioni non salvate: /home/anna/.config/corvafax.ini: disco pieno"_s;
    QTest::newRow("settingsNotReadBox().text")
        << QString(texts::settingsNotReadBox(u"file oltre 1 MiB"_s).text)
        << u"Impostazioni non lette, il programma usa quelle predefinite e non modifica il file: file oltre "
           u"1 MiB"_s;
    QTest::newRow("removeDestination()")
        << texts::removeDestination(u"Studio Rossi"_s, u"0612345"_s)
        << u"Rimuovere il destinatario Studio Rossi (0612345) dalla lista?"_s;
    QTest::newRow("removeDocument()")
        << texts::removeDocument(u"fattura.pdf"_s) << u"Rimuovere il documento fattura.pdf dalla lista?"_s;
    QTest::newRow("submissionSummary()")
        << texts::submissionSummary(u"anna@example.org"_s, u"12 13"_s)
        << u"FAX Inoltrato al server \rIndirizzo di conferma:anna@example.org\rNumero di Protocollo FAX: 12 13"_s;
    QTest::newRow("submissionSummary(), none uncertain")
        << texts::submissionSummary(u"anna@example.org"_s, u"12"_s, QString())
        << u"FAX Inoltrato al server \rIndirizzo di conferma:anna@example.org\rNumero di Protocollo FAX: 12"_s;
    QTest::newRow("submissionSummary(), one uncertain")
        << texts::submissionSummary(u"anna@example.org"_s, u"12"_s, u" 13"_s)
        << u"FAX Inoltrato al server \rIndirizzo di conferma:anna@example.org\rNumero di Protocollo FAX: 12\r"
           u"Esito da verificare (la connessione si è interrotta prima della conferma, il fax potrebbe "
           u"essere "
           u"partito): 13"_s;
    QTest::newRow("uncertainJobs()") << texts::uncertainJobs(u" 13 14 "_s)
                                     << u"Esito da verificare (la connessione si è interrotta prima della "
                                        u"conferma, il fax potrebbe essere "
                                        u"partito): 13 14"_s;
    QTest::newRow("outcomeToCheck()")
        << texts::outcomeToCheck(u"13"_s)
        << u"Esito da verificare (la connessione si è interrotta prima della conferma, il fax potrebbe "
           u"essere "
           u"partito): 13\rI documenti non sono stati rimessi nella lista, per non inviarli due volte."_s;
    QTest::newRow("partialFailure()")
        << texts::partialFailure(u"Impossibile collegarsi"_s, u" 12"_s, u"13"_s)
        << u"Il fax non è stato inviato a tutti i destinatari.\rImpossibile collegarsi\rNumero di Protocollo "
           u"FAX dei fax già inoltrati: 12\rEsito da verificare (la connessione si è interrotta prima della "
           u"conferma, il fax potrebbe essere partito): 13\rI destinatari rimasti e i documenti sono di "
           u"nuovo "
           u"nella lista: premere \"Invia FAX\" per riprovare."_s;
    QTest::newRow("partialFailure(), no detail")
        << texts::partialFailure(QString(), QString(), QString())
        << u"Il fax non è stato inviato a tutti i destinatari.\rI destinatari rimasti e i documenti sono di "
           u"nuovo nella lista: premere \"Invia FAX\" per riprovare."_s;
    QTest::newRow("history::documentsMissing()")
        << texts::history::documentsMissing({u"/tmp/a.ps"_s, u"/tmp/b.ps"_s})
        << u"Documenti non più presenti, non rimessi nella lista: /tmp/a.ps, /tmp/b.ps"_s;
    QTest::newRow("history::documentsRefused()")
        << texts::history::documentsRefused({u"/tmp/a.ps"_s})
        << u"Documenti cambiati o non propri, non rimessi nella lista: /tmp/a.ps"_s;
    QTest::newRow("book::contactFilesTooLarge()")
        << texts::book::contactFilesTooLarge({u"/home/anna/contatti.vcf"_s})
        << u"Contatti non letti, file oltre 64 MiB: /home/anna/contatti.vcf"_s;
    QTest::newRow("book::deleteContactQuestion()") << texts::book::deleteContactQuestion(u"Alfa"_s, u"0611"_s)
                                                   << u"Eliminare il contatto Alfa (0611) dalla rubrica?"_s;
    // Why a print's tags were refused.
    QTest::newRow("tags::refused()") << texts::tags::refused(texts::tags::noDigits(3))
                                     << u"Stampa con etichette @@FAX@@ non inviata, nessun fax è partito: a "
                                        u"pagina 3 un'etichetta @@FAX@@ non "
                                        u"contiene alcuna cifra"_s;
    QTest::newRow("tags::numberTooLong()")
        << texts::tags::numberTooLong(2, 40)
        << u"a pagina 2 il numero di un'etichetta @@FAX@@ supera le 40 cifre ammesse"_s;
    QTest::newRow("tags::badNumber()")
        << texts::tags::badNumber(1, u"06 %1 CHIAMARE"_s)
        << u"a pagina 1 il numero \"06 %1 CHIAMARE\" di un'etichetta @@FAX@@ contiene caratteri non ammessi"_s;
    QTest::newRow("tags::unclosedTag()")
        << texts::tags::unclosedTag(4) << u"a pagina 4 un'etichetta @@FAX: non è chiusa da @@"_s;
    QTest::newRow("tags::twoDestinations()")
        << texts::tags::twoDestinations(2, u"0611 Alfa"_s, u"0622"_s)
        << u"la pagina 2 porta due destinatari diversi (0611 Alfa e 0622)"_s;
    QTest::newRow("tags::tooManyLetters()")
        << texts::tags::tooManyLetters(1001, 1000)
        << u"la pagina 1001 apre una lettera oltre le 1000 ammesse in una stampa"_s;
    QTest::newRow("tags::noText()")
        << texts::tags::noText(5)
        << u"il testo della pagina 5 non si legge (forse è un'immagine): non si sa a chi vada"_s;
    QTest::newRow("tags::unreadableText()")
        << texts::tags::unreadableText(5)
        << u"il testo della pagina 5 non si legge (caratteri senza codifica, come i caratteri TrueType "
           "arrivati attraverso CUPS): non si sa a chi vada"_s;
    QTest::newRow("tags::pageTooLong()")
        << texts::tags::pageTooLong(6) << u"il testo della pagina 6 supera 16 MiB"_s;
    QTest::newRow("tags::readTimedOut()")
        << texts::tags::readTimedOut(7, 120)
        << u"la lettura del testo non è finita entro 120 secondi (ferma dopo la pagina 7)"_s;
    QTest::newRow("tags::readTimedOut(), no page")
        << texts::tags::readTimedOut(0, 120)
        << u"la lettura del testo non è finita entro 120 secondi (nessuna pagina letta)"_s;
    QTest::newRow("tags::readFailed()")
        << texts::tags::readFailed(2, texts::tags::programEnded(1))
        << u"la lettura del testo si è interrotta dopo la pagina 2: Ghostscript è terminato con il codice 1"_s;
    QTest::newRow("tags::readFailed(), no page")
        << texts::tags::readFailed(0, texts::tags::ProgramNotStarted)
        << u"la lettura del testo si è interrotta prima della prima pagina: Ghostscript (gs) non si avvia"_s;
    QTest::newRow("tags::NoTemporaryFolder")
        << QString(texts::tags::NoTemporaryFolder) << u"non si crea una cartella temporanea"_s;
    QTest::newRow("tags::letterNotWritten()")
        << texts::tags::letterNotWritten(3, 4, u"VMerror"_s)
        << u"il documento della lettera delle pagine 3-4 non è stato scritto: VMerror"_s;

    // The control's composed texts, each with a sample argument, and the
    // reasons its printer texts quote.
    QTest::newRow("installingPrinter()")
        << texts::installingPrinter(u"kestrel"_s, u"Linux"_s) << u"Installo la stampante kestrel su Linux"_s;
    QTest::newRow("printerInstallFailed()")
        << texts::printerInstallFailed(u"kestrel"_s, u"lpadmin è terminato con il codice 1"_s,
                                       u"lpadmin -p kestrel -E"_s)
        << u"La stampante kestrel non è stata installata (lpadmin è terminato con il codice 1).\nUn "
           u"amministratore può installarla con il comando:\nsudo lpadmin -p kestrel -E"_s;
    QTest::newRow("programExitCode()")
        << texts::programExitCode(u"lpadmin"_s, 1) << u"lpadmin è terminato con il codice 1"_s;
    QTest::newRow("programNotStarted()") << texts::programNotStarted(u"lpadmin"_s, u"file non trovato"_s)
                                         << u"lpadmin non si avvia: file non trovato"_s;
    QTest::newRow("programTimedOut()")
        << texts::programTimedOut(u"lpstat"_s, 30) << u"lpstat non ha finito entro 30 secondi"_s;
    QTest::newRow("programCrashed()") << texts::programCrashed(u"lpstat"_s) << u"lpstat si è interrotto"_s;
    QTest::newRow("printerNotChecked()") << texts::printerNotChecked(u"kestrel"_s, u"motivo"_s)
                                         << u"Impossibile verificare la stampante kestrel (motivo)."_s;
    QTest::newRow("PrinterSystemUnavailable") << QString(texts::PrinterSystemUnavailable)
                                              << u"il sistema di stampa non risponde o non è in funzione"_s;
    QTest::newRow("PrinterNameInvalid")
        << QString(texts::PrinterNameInvalid) << u"il nome non può essere il nome di una coda di stampa"_s;
    QTest::newRow("PrinterNameTaken")
        << QString(texts::PrinterNameTaken)
        << u"esiste già una stampante con lo stesso nome, scritto con maiuscole e minuscole diverse"_s;
    QTest::newRow("PrinterAdminMissing")
        << QString(texts::PrinterAdminMissing)
        << u"il programma lpadmin non è installato (pacchetto cups-client)"_s;
    QTest::newRow("notSent()") << texts::notSent(u"Prova"_s) << u"Prova: fax non inviato"_s;
    QTest::newRow("causeOf()") << texts::causeOf(texts::replyTimeout())
                               << u"il server fax non ha risposto in tempo"_s;
    QTest::newRow("serverUnreachable()")
        << texts::serverUnreachable(u"192.0.2.10"_s)
        << u"Impossibile collegarsi al server fax 192.0.2.10: fax non inviato"_s;
    QTest::newRow("noGreeting()") << texts::noGreeting(u"192.0.2.10"_s)
                                  << u"Il server fax 192.0.2.10 non risponde: fax non inviato"_s;
    QTest::newRow("unreadableDocument()") << texts::unreadableDocument(u"/tmp/a.ps"_s)
                                          << u"Impossibile leggere il documento /tmp/a.ps: fax non inviato"_s;
    QTest::newRow("emptyDocument()") << texts::emptyDocument(u"/tmp/a.ps"_s)
                                     << u"Il documento /tmp/a.ps è vuoto: fax non inviato"_s;
    QTest::newRow("refusedByServer()")
        << texts::refusedByServer(u"550 Invalid number"_s)
        << u"Il server fax ha rifiutato il fax (550 Invalid number): fax non inviato"_s;
    QTest::newRow("unexpectedReply()")
        << texts::unexpectedReply(u"999 ?"_s)
        << u"Il server fax ha dato una risposta inattesa (999 ?): fax non inviato"_s;
    QTest::newRow("captureStopped()")
        << texts::captureStopped(u"kestrel"_s, u"127.0.0.1:9100"_s, u"indirizzo già in uso"_s)
        << u"Impossibile ricevere le stampe della stampante kestrel: la porta 127.0.0.1:9100 non si apre "
           u"(indirizzo già in uso). Le stampe non vengono acquisite finché la porta non si libera: nuovo "
           u"tentativo in corso."_s;
    QTest::newRow("captureResumed()")
        << texts::captureResumed(u"kestrel"_s, u"127.0.0.1:9100"_s)
        << u"Di nuovo in ascolto: la stampante kestrel riceve di nuovo le stampe su 127.0.0.1:9100."_s;
    QTest::newRow("spoolNotSaved()")
        << texts::spoolNotSaved(u"/tmp"_s, u"disco pieno"_s)
        << u"Impossibile salvare il documento stampato nella cartella temporanea /tmp (disco pieno). Il "
           u"documento non è stato acquisito: verificare la cartella temporanea e ristampare."_s;
    QTest::newRow("keptSpoolsUnusable()")
        << texts::keptSpoolsUnusable(u"permesso negato"_s)
        << u"Le stampe terminate mentre il programma si chiudeva non possono essere elencate all'avvio: la "
           u"cartella privata dell'utente non è utilizzabile (permesso negato). Se il programma si chiude "
           u"durante una stampa, ristampare il documento."_s;
    QTest::newRow("printJobIncomplete()")
        << texts::printJobIncomplete(u"connessione interrotta"_s)
        << u"Una stampa non è stata ricevuta per intero (connessione interrotta). Il documento non è stato "
           u"acquisito: ristampare."_s;
    QTest::newRow("statusUnreachable()")
        << texts::statusUnreachable(u"192.0.2.10"_s)
        << u"Impossibile collegarsi al server fax 192.0.2.10 per lo stato dei fax"_s;
    QTest::newRow("statusNoReply()")
        << texts::statusNoReply()
        << u"Il server fax non ha risposto in tempo alla richiesta dello stato dei fax"_s;
    QTest::newRow("statusConnectionDropped()")
        << texts::statusConnectionDropped()
        << u"Il server fax ha chiuso la connessione durante la richiesta dello stato dei fax"_s;
    QTest::newRow("statusReplyTooLong()")
        << texts::statusReplyTooLong()
        << u"Il server fax ha mandato una risposta troppo lunga alla richiesta dello stato dei fax"_s;
    QTest::newRow("statusUnexpectedReply()")
        << texts::statusUnexpectedReply(u"999 ?"_s)
        << u"Il server fax ha dato una risposta inattesa alla richiesta dello stato dei fax (999 ?)"_s;
    QTest::newRow("statusRefused()")
        << texts::statusRefused(u"8"_s, u"500 Unknown job"_s)
        << u"Il server fax non ha dato lo stato del fax n. 8 (500 Unknown job)"_s;
    QTest::newRow("statusOtherJob()") << texts::statusOtherJob(u"8"_s, u"9"_s)
                                      << u"Il server fax ha dato per il fax n. 8 lo stato del fax n. 9"_s;
    QTest::newRow("statusOtherJob(), no number")
        << texts::statusOtherJob(u"8"_s, QString())
        << u"Il server fax ha dato per il fax n. 8 uno stato senza numero"_s;
    QTest::newRow("statusOtherOwner()") << texts::statusOtherOwner(u"8"_s, u"luigi"_s)
                                        << u"Il fax n. 8 sul server fax è di un altro utente (luigi)"_s;
    QTest::newRow("statusOtherOwner(), no owner")
        << texts::statusOtherOwner(u"8"_s, QString()) << u"Il server fax non dice di chi è il fax n. 8"_s;

    // Stopping a fax, or moving its send time: the control's reasons.
    QTest::newRow("actionUnreachable()")
        << texts::actionUnreachable(u"10.0.0.5"_s)
        << u"Impossibile collegarsi al server fax 10.0.0.5 per modificare i fax"_s;
    QTest::newRow("actionNoReply()")
        << texts::actionNoReply()
        << u"Il server fax non ha risposto in tempo alla richiesta di modificare i fax"_s;
    QTest::newRow("actionConnectionDropped()")
        << texts::actionConnectionDropped()
        << u"Il server fax ha chiuso la connessione durante la richiesta di modificare i fax"_s;
    QTest::newRow("actionReplyTooLong()")
        << texts::actionReplyTooLong()
        << u"Il server fax ha mandato una risposta troppo lunga alla richiesta di modificare i fax"_s;
    QTest::newRow("actionUnexpectedReply()")
        << texts::actionUnexpectedReply(u"999 ?"_s)
        << u"Il server fax ha dato una risposta inattesa alla richiesta di modificare i fax (999 ?)"_s;
    QTest::newRow("actionRefused(), cancel") << texts::actionRefused(false, u"8"_s, u"500 No."_s)
                                             << u"Il server fax non ha annullato il fax n. 8 (500 No.)"_s;
    QTest::newRow("actionRefused(), move") << texts::actionRefused(true, u"8"_s, u"500 No."_s)
                                           << u"Il server fax non ha spostato il fax n. 8 (500 No.)"_s;
    QTest::newRow("actionRefused(), already done")
        << texts::actionRefused(false, u"8"_s, u"504 Job 8 not killed; already done."_s)
        << u"Il fax n. 8 è già concluso: il server fax non lo ha annullato (504 Job 8 not killed; already done.)"_s;
    QTest::newRow("actionRefused(), not permitted")
        << texts::actionRefused(false, u"8"_s, u"504 Cannot kill job: Operation not permitted."_s)
        << u"Il server fax non permette a questo utente di modificare il fax n. 8 (504 Cannot kill job: "
           u"Operation not permitted.)"_s;
    QTest::newRow("actionUnknownJob()") << texts::actionUnknownJob(u"8"_s, u"500 Gone."_s)
                                        << u"Il server fax non conosce il fax n. 8 (500 Gone.)"_s;
    QTest::newRow("actionUnknownJob(), no reply")
        << texts::actionUnknownJob(u"8 x"_s, QString()) << u"Il server fax non conosce il fax n. 8 x"_s;
    QTest::newRow("actionUnconfirmed()")
        << texts::actionUnconfirmed(u"8"_s, u"200 Job 9 killed."_s)
        << u"Il server fax non ha confermato la modifica del fax n. 8 (200 Job 9 killed.)"_s;
    QTest::newRow("moveNotQueued()")
        << texts::moveNotQueued(u"8"_s, u"ACTIVE"_s)
        << u"Il fax n. 8 non è più in coda sul server fax (ACTIVE): non si può spostare"_s;
    QTest::newRow("moveLeftSuspended()")
        << texts::moveLeftSuspended(u"8"_s, u"460 No."_s)
        << u"Il fax n. 8 è rimasto sospeso sul server fax e non partirà da solo (460 No.)"_s;
    // ... and the status window's.
    QTest::newRow("history::CancelButton") << QString(texts::history::CancelButton) << u"A&nnulla fax"_s;
    QTest::newRow("history::CancelTip")
        << QString(texts::history::CancelTip)
        << u"Chiede al server fax di fermare il fax scelto, se non è ancora stato inviato"_s;
    QTest::newRow("history::MoveButton") << QString(texts::history::MoveButton) << u"S&posta invio..."_s;
    QTest::newRow("history::MoveTip")
        << QString(texts::history::MoveTip)
        << u"Sceglie un altro orario di invio per il fax scelto, ancora in coda"_s;
    QTest::newRow("history::cancelQuestion")
        << texts::history::cancelQuestion(u"8"_s, u"Mario Rossi"_s)
        << u"Annullare il fax n. 8 a Mario Rossi?\nIl server fax lo fermerà se non è ancora stato inviato."_s;
    QTest::newRow("history::moveTitle")
        << texts::history::moveTitle(u"8"_s) << u"Sposta invio del fax n. 8"_s;
    QTest::newRow("history::MoveLabel") << QString(texts::history::MoveLabel) << u"&Nuovo orario di invio:"_s;
    QTest::newRow("history::SendTimePast") << QString(texts::history::SendTimePast)
                                           << u"L'orario scelto è già passato: sceglierne uno futuro."_s;
    QTest::newRow("history::SendTimeTooFar")
        << QString(texts::history::SendTimeTooFar)
        << u"L'orario scelto è oltre un anno da oggi: sceglierne uno più vicino."_s;
    QTest::newRow("history::ChangeBusy") << QString(texts::history::ChangeBusy)
                                         << u"È in corso un'altra modifica di un fax: riprovare tra poco."_s;
    QTest::newRow("history::ChangesUnavailable")
        << QString(texts::history::ChangesUnavailable)
        << u"La libreria di controllo installata non permette di annullare o spostare i fax."_s;
    QTest::newRow("history::cancelConfirmed")
        << texts::history::cancelConfirmed(u"8"_s) << u"Il fax n. 8 è stato annullato."_s;
    QTest::newRow("history::moveConfirmed")
        << texts::history::moveConfirmed(u"8"_s, QDateTime(QDate(2026, 12, 24), QTime(21, 5)))
        << u"Il fax n. 8 partirà il 24/12/2026 21:05."_s;
    QTest::newRow("history::changeNotDone") << texts::history::changeNotDone(u"8"_s, u"server lontano"_s)
                                            << u"Il fax n. 8 non è stato modificato: server lontano"_s;

    // Numbers and contacts checked where they are used.
    QTest::newRow("numbers::noDigits(description)")
        << texts::numbers::noDigits(u"Mario Bianchi"_s, u"n.d."_s)
        << u"Il numero di fax di Mario Bianchi (\"n.d.\") non contiene cifre: nessun fax è stato inviato. "
           u"Correggere il numero o togliere il destinatario dalla lista."_s;
    QTest::newRow("numbers::noDigits(no description)")
        << texts::numbers::noDigits(QString(), QString())
        << u"Il numero di fax (\"\") non contiene cifre: nessun fax è stato inviato. Correggere il numero o "
           u"togliere il destinatario dalla lista."_s;
    QTest::newRow("book::contactChanged()")
        << texts::book::contactChanged(u"Alfa"_s, u"0611"_s)
        << u"Il contatto Alfa (0611) è stato modificato o eliminato da un altro programma dopo che la "
           u"rubrica "
           u"lo ha elencato: non è stato cambiato nulla. La rubrica è stata ricaricata; controllare il "
           u"contatto e riprovare."_s;
    // The shared address book on a server.
    QTest::newRow("sharedbook::unreachable()")
        << texts::sharedbook::unreachable(u"postgresql://desk@db/ufficio"_s, u"timeout"_s)
        << u"Rubrica condivisa non raggiungibile (postgresql://desk@db/ufficio): timeout"_s;
    QTest::newRow("sharedbook::refused()")
        << texts::sharedbook::refused(u"postgresql://db/u"_s, u"errore"_s)
        << u"La rubrica condivisa (postgresql://db/u) ha rifiutato l'operazione: errore"_s;
    QTest::newRow("sharedbook::badAddress()")
        << texts::sharedbook::badAddress(u"postgresql://db:x/u"_s, u"invalid port"_s)
        << u"Indirizzo della rubrica condivisa non valido (postgresql://db:x/u): invalid port"_s;
    QTest::newRow("sharedbook::missingTable()")
        << texts::sharedbook::missingTable(u"postgresql://db/u"_s, u"/usr/share/kestrel/rubrica-server.sql"_s)
        << u"La rubrica condivisa (postgresql://db/u) non ha ancora la tabella dei contatti e questo utente "
           u"non "
           u"può crearla: un amministratore esegua lo script /usr/share/kestrel/rubrica-server.sql sul database."_s;
    QTest::newRow("sharedbook::semicolonIn()") << texts::sharedbook::semicolonIn(u"options"_s)
                                               << u"il valore di options contiene \";\", che il driver non "
                                                  u"sa trasmettere: toglierlo dall'indirizzo o "
                                                  u"usare un file di servizio"_s;
    QTest::newRow("sharedbook::importSummary()") << texts::sharedbook::importSummary(2, 1)
                                                 << u"Contatti aggiunti: 2, saltati perché già presenti: 1"_s;
    QTest::newRow("sharedbook::ImportUsage")
        << texts::sharedbook::ImportUsage
        << u"Uso: corvafax-rubrica import FILE URI\nCopia i contatti del file FILE (la rubrica.db di una "
           u"postazione) nella rubrica condivisa indicata da URI (postgresql://utente@server:porta/database)."_s;
    QTest::newRow("sharedbook::ShowingLastRead")
        << texts::sharedbook::ShowingLastRead
        << u"Rubrica condivisa non raggiungibile: elenco dell'ultima lettura, in sola lettura"_s;
    QTest::newRow("sharedbook::ConnectionClosed")
        << texts::sharedbook::ConnectionClosed << u"il server ha chiuso la connessione"_s;
    QTest::newRow("sharedbook::NulCharacter") << texts::sharedbook::NulCharacter
                                              << u"Il contatto contiene un carattere nullo, che la rubrica "
                                                 u"condivisa non può conservare: non è stato "
                                                 u"salvato nulla. Togliere il carattere e riprovare."_s;
    QTest::newRow("keyring::Unavailable")
        << texts::keyring::Unavailable
        << u"Portachiavi non disponibile: la password resta nel file delle impostazioni"_s;
    QTest::newRow("sharedbook::BackReachable")
        << texts::sharedbook::BackReachable
        << u"Rubrica condivisa di nuovo raggiungibile: elenco riletto, di nuovo modificabile"_s;
    QTest::newRow("sharedbook::OptionStore") << texts::sharedbook::OptionStore << u"Rubrica:"_s;
    QTest::newRow("sharedbook::fileInUse()")
        << texts::sharedbook::fileInUse(u"/home/a/rubrica.db"_s) << u"file /home/a/rubrica.db"_s;
    QTest::newRow("sharedbook::DefaultPart") << texts::sharedbook::DefaultPart << u"predefinito"_s;
    QTest::newRow("sharedbook::serverInUse()")
        << texts::sharedbook::serverInUse(u"db"_s, u"5432"_s, u"ufficio"_s, u"desk"_s)
        << u"server condiviso db, porta 5432, database ufficio, utente desk"_s;
    // Prints whose pages name their destinations.
    QTest::newRow("letters::OptionSendAtOnce")
        << texts::letters::OptionSendAtOnce << u"Invia subito le stampe con destinatario"_s;
    QTest::newRow("letters::OptionSkipFirstPages")
        << texts::letters::OptionSkipFirstPages << u"Non inviare le pagine prima del primo destinatario"_s;
    QTest::newRow("letters::PagesHeader") << texts::letters::PagesHeader << u"Pagine"_s;
    QTest::newRow("letters::refused()")
        << texts::letters::refused(u"Stampa non inviata."_s)
        << u"Stampa non inviata.\rLa stampa è nella lista dei documenti, da inviare scegliendo a mano i "
           u"destinatari."_s;
    QTest::newRow("letters::noFolder()")
        << texts::letters::noFolder(u"disco pieno"_s)
        << u"non è stato possibile preparare la cartella dei fax (disco pieno)"_s;
    QTest::newRow("letters::destination(), named")
        << texts::letters::destination(u"Rossi"_s, u"0123456789"_s) << u"Rossi (0123456789)"_s;
    QTest::newRow("letters::destination(), number only")
        << texts::letters::destination(QString(), u"0123456789"_s) << u"0123456789"_s;
    QTest::newRow("letters::sentNotice(), one")
        << texts::letters::sentNotice({u"Rossi (0611)"_s}, u" 7"_s, QString())
        << u"Stampa con destinatari: 1 fax inoltrato al server, a Rossi (0611).\n"
           u"Numero di Protocollo FAX: 7"_s;
    QTest::newRow("letters::sentNotice(), two and one uncertain")
        << texts::letters::sentNotice({u"Rossi (0611)"_s, u"0622"_s}, u" 7 8"_s, u" 9"_s)
        << u"Stampa con destinatari: 2 fax inoltrati al server, a Rossi (0611), 0622.\n"
           u"Numero di Protocollo FAX: 7 8\nEsito da verificare (la connessione si è interrotta prima della "
           u"conferma, il fax potrebbe essere partito): 9"_s;
    QTest::newRow("letters::sentNotice(), none confirmed")
        << texts::letters::sentNotice({}, QString(), u" 9"_s)
        << u"Stampa con destinatari: nessun fax confermato dal server.\nEsito da verificare (la connessione "
           u"si è interrotta prima della conferma, il fax potrebbe essere partito): 9"_s;
    // Send options.
    {
        using namespace texts::sendoptions;
        const std::pair<const char*, std::pair<QString, QString>> options[] = {
            {"sendoptions::Toggle", {Toggle, u"&Opzioni di invio"_s}},
            {"sendoptions::ToggleTip",
             {ToggleTip, u"Invio più tardi, rinuncia, risoluzione e tentativi di questo fax"_s}},
            {"sendoptions::SendLater", {SendLater, u"Invia &alle:"_s}},
            {"sendoptions::SendAtField", {SendAtField, u"Data e ora di invio"_s}},
            {"sendoptions::KillAfter", {KillAfter, u"Rinuncia dopo (ore):"_s}},
            {"sendoptions::Resolution", {Resolution, u"Risoluzione:"_s}},
            {"sendoptions::Fine", {Fine, u"Fine"_s}},
            {"sendoptions::Standard", {Standard, u"Standard (più veloce)"_s}},
            {"sendoptions::Tries", {Tries, u"Tentativi di trasmissione:"_s}},
            {"sendoptions::ServerDefault", {ServerDefault, u"Predefinito (server)"_s}},
            {"sendoptions::KillDefault", {KillDefault, u"Predefinito (3 ore)"_s}},
            {"sendoptions::OptionKillAfter", {OptionKillAfter, u"Rinuncia dopo (ore) :"_s}},
            {"sendoptions::OptionTries", {OptionTries, u"Tentativi di trasmissione :"_s}},
            {"sendoptions::OptionStandard", {OptionStandard, u"Risoluzione standard (più veloce)"_s}},
            {"sendoptions::SendTimePast",
             {SendTimePast, u"L'ora di invio è già passata: sceglierne una futura."_s}},
            {"sendoptions::SendTimeTooFar",
             {SendTimeTooFar, u"L'ora di invio è a più di un anno da oggi: controllare la data."_s}},
            {"sendoptions::KillBeforeSend",
             {KillBeforeSend,
              u"Il fax verrebbe abbandonato prima di essere inviato: controllare le ore di rinuncia."_s}},
            {"sendoptions::KillTooLate",
             {KillTooLate, u"Le ore di rinuncia sono troppe: al massimo 2376 (99 giorni)."_s}},
            {"sendoptions::TriesOutOfRange", {TriesOutOfRange, u"I tentativi vanno da 1 a 99."_s}},
            {"sendoptions::plannedTip()",
             {plannedTip(u"16/01/2027 09:30"_s), u"Invio previsto: 16/01/2027 09:30"_s}},
        };
        for (const auto& [name, pair] : options)
            QTest::newRow(name) << pair.first << pair.second;
    }
}

QTEST_GUILESS_MAIN(TestClientTexts)
#include "tst_clienttexts.moc"
