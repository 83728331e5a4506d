#pragma once

#include "Corvanefax.h"

#include <QString>

// Every text of the control that a user reads, in one place. Those a host
// must recognise are named in the public header and only taken from there.
namespace kestrel::texts {

using namespace Qt::StringLiterals;

inline QString applianceOffline()
{
    return ApplianceOffline.toString();
}
inline QString notActivated()
{
    return NotActivated.toString();
}
inline QString loginRefused()
{
    return LoginRefused.toString();
}

// The title of the control's own message boxes.
inline const QString BoxTitle = u"KestrelOCX"_s;

// Said before the capture printer is installed, with the name this system
// gives itself.
inline QString installingPrinter(const QString& printer, const QString& systemName)
{
    return u"Installo la stampante "_s + printer + u" su "_s + systemName;
}
// Said once when lpadmin did not install the capture printer: why, and the
// command that installs it (it needs an administrator's rights).
inline QString printerInstallFailed(const QString& printer, const QString& reason, const QString& command)
{
    return u"La stampante %1 non è stata installata (%2).\nUn amministratore può installarla con il "
           u"comando:\n"
           u"sudo %3"_s.arg(printer, reason, command);
}
inline QString programExitCode(const QString& program, int code)
{
    return u"%1 è terminato con il codice %2"_s.arg(program, QString::number(code));
}
inline QString programNotStarted(const QString& program, const QString& why)
{
    return u"%1 non si avvia: %2"_s.arg(program, why);
}
inline QString programTimedOut(const QString& program, int seconds)
{
    return u"%1 non ha finito entro %2 secondi"_s.arg(program, QString::number(seconds));
}
inline QString programCrashed(const QString& program)
{
    return u"%1 si è interrotto"_s.arg(program);
}
// The capture printer could not be checked or installed (the print system
// does not answer, say); reason is one of the printerProblem texts below
// (the print system's own words go to the debug log).
inline QString printerNotChecked(const QString& printer, const QString& reason)
{
    return u"Impossibile verificare la stampante %1 (%2)."_s.arg(printer, reason);
}
inline const QString PrinterSystemUnavailable = u"il sistema di stampa non risponde o non è in funzione"_s;
inline const QString PrinterNameInvalid = u"il nome non può essere il nome di una coda di stampa"_s;
inline const QString PrinterNameTaken =
    u"esiste già una stampante con lo stesso nome, scritto con maiuscole e minuscole diverse"_s;
inline const QString PrinterAdminMissing = u"il programma lpadmin non è installato (pacchetto cups-client)"_s;

// The end of every report of a fax that did not go.
inline QString notSent(const QString& what)
{
    return what + u": "_s + FaxNotSent.toString();
}
// What such a report says ended the session (the part before FaxNotSent),
// to be quoted inside another sentence.
inline QString causeOf(const QString& notSentReport)
{
    QString why = notSentReport;
    if (why.endsWith(u": "_s + FaxNotSent.toString()))
        why.chop(FaxNotSent.size() + 2);
    if (!why.isEmpty())
        why[0] = why.at(0).toLower();
    return why;
}

inline QString serverUnreachable(const QString& address)
{
    return notSent(u"Impossibile collegarsi al server fax %1"_s.arg(address));
}
inline QString noGreeting(const QString& address)
{
    return notSent(u"Il server fax %1 non risponde"_s.arg(address));
}
inline QString replyTimeout()
{
    return notSent(u"Il server fax non ha risposto in tempo"_s);
}
inline QString connectionDropped()
{
    return notSent(u"Il server fax ha chiuso la connessione"_s);
}
inline QString transferFailed()
{
    return notSent(u"Trasferimento del documento al server fax non riuscito"_s);
}
inline QString unreadableDocument(const QString& path)
{
    return notSent(u"Impossibile leggere il documento %1"_s.arg(path));
}
inline QString emptyDocument(const QString& path)
{
    return notSent(u"Il documento %1 è vuoto"_s.arg(path));
}
inline QString refusedByServer(const QString& reply)
{
    return notSent(u"Il server fax ha rifiutato il fax (%1)"_s.arg(reply));
}
inline QString noJobNumber()
{
    return notSent(u"Il server fax non ha assegnato un numero al fax"_s);
}
inline QString interrupted()
{
    return notSent(u"Invio interrotto"_s);
}
inline QString replyTooLong()
{
    return notSent(u"Il server fax ha mandato una risposta troppo lunga"_s);
}
inline QString unexpectedReply(const QString& reply)
{
    return notSent(u"Il server fax ha dato una risposta inattesa (%1)"_s.arg(reply));
}

// A job handed in whose answer never came, which the fax server, asked
// afterwards, has not queued for sending (it holds the job as created only, or
// no longer at all): it will not go.
// cause: the report of what ended the session.
inline QString jobNotQueued(const QString& job, const QString& number, const QString& cause)
{
    return notSent(u"Il server fax non ha messo in coda il fax n. %1 al numero %2 (%3)"_s.arg(
        job, number, causeOf(cause)));
}
// The fax server confirmed a transfer but holds less of the document, or
// something else, than was sent.
inline QString documentIncomplete(const QString& path)
{
    return notSent(u"Il server fax non ha ricevuto per intero il documento %1"_s.arg(path));
}

// A job handed in whose answer never came, and about which the fax server
// could not be asked: it may have gone. Never "not sent": sending it again
// could send it twice. cause: the report of what ended the session.
inline QString outcomeUnknown(const QString& job, const QString& number, const QString& cause)
{
    return OutcomeUnknownJob.toString() + job +
           u" al numero %1 potrebbe essere partito: il server fax non ha confermato l'invio (%2): "_s.arg(
               number, causeOf(cause)) +
           FaxOutcomeUnknown.toString();
}

// The capture port and the print jobs that come through it.
inline QString captureStopped(const QString& printer, const QString& address, const QString& reason)
{
    return CaptureStopped.toString() +
           u" della stampante %1: la porta %2 non si apre (%3). Le stampe non vengono acquisite finché la "
           u"porta non si libera: nuovo tentativo in corso."_s.arg(printer, address, reason);
}
inline QString captureResumed(const QString& printer, const QString& address)
{
    return CaptureResumed.toString() +
           u": la stampante %1 riceve di nuovo le stampe su %2."_s.arg(printer, address);
}
inline QString spoolNotSaved(const QString& folder, const QString& reason)
{
    return u"Impossibile salvare il documento stampato nella cartella temporanea %1 (%2). Il documento non è "
           u"stato acquisito: verificare la cartella temporanea e ristampare."_s.arg(folder, reason);
}
inline QString keptSpoolsUnusable(const QString& reason)
{
    return u"Le stampe terminate mentre il programma si chiudeva non possono essere elencate all'avvio: la "
           u"cartella privata dell'utente non è utilizzabile (%1). Se il programma si chiude durante una "
           u"stampa, ristampare il documento."_s.arg(reason);
}
inline QString printJobIncomplete(const QString& why)
{
    return u"Una stampa non è stata ricevuta per intero (%1). Il documento non è stato acquisito: ristampare."_s
        .arg(why);
}
inline QString silentFor(int minutes)
{
    return u"nessun dato per %1 minuti"_s.arg(minutes);
}
inline const QString ConnectionCut = u"connessione interrotta"_s;
inline const QString EndedMidDocument = u"stampa interrotta prima della fine del documento"_s;

// Why the fax server's word on jobs already submitted could not be had.
inline QString statusUnreachable(const QString& address)
{
    return u"Impossibile collegarsi al server fax %1 per lo stato dei fax"_s.arg(address);
}
inline QString statusNoReply()
{
    return u"Il server fax non ha risposto in tempo alla richiesta dello stato dei fax"_s;
}
inline QString statusConnectionDropped()
{
    return u"Il server fax ha chiuso la connessione durante la richiesta dello stato dei fax"_s;
}
inline QString statusReplyTooLong()
{
    return u"Il server fax ha mandato una risposta troppo lunga alla richiesta dello stato dei fax"_s;
}
inline QString statusUnexpectedReply(const QString& reply)
{
    return u"Il server fax ha dato una risposta inattesa alla richiesta dello stato dei fax (%1)"_s.arg(
        reply);
}
inline QString statusRefused(const QString& job, const QString& reply)
{
    return u"Il server fax non ha dato lo stato del fax n. %1 (%2)"_s.arg(job, reply);
}
// The server's listing for a job is not the job this client submitted.
inline QString statusOtherJob(const QString& job, const QString& listed)
{
    if (listed.isEmpty())
        return u"Il server fax ha dato per il fax n. %1 uno stato senza numero"_s.arg(job);
    return u"Il server fax ha dato per il fax n. %1 lo stato del fax n. %2"_s.arg(job, listed);
}
inline QString statusOtherOwner(const QString& job, const QString& owner)
{
    if (owner.isEmpty())
        return u"Il server fax non dice di chi è il fax n. %1"_s.arg(job);
    return u"Il fax n. %1 sul server fax è di un altro utente (%2)"_s.arg(job, owner);
}

// What the fax server did, or did not do, when asked to stop a job or move
// its send time. move: the request was to move it, not to stop it.
inline QString actionUnreachable(const QString& address)
{
    return u"Impossibile collegarsi al server fax %1 per modificare i fax"_s.arg(address);
}
inline QString actionNoReply()
{
    return u"Il server fax non ha risposto in tempo alla richiesta di modificare i fax"_s;
}
inline QString actionConnectionDropped()
{
    return u"Il server fax ha chiuso la connessione durante la richiesta di modificare i fax"_s;
}
inline QString actionReplyTooLong()
{
    return u"Il server fax ha mandato una risposta troppo lunga alla richiesta di modificare i fax"_s;
}
inline QString actionUnexpectedReply(const QString& reply)
{
    return u"Il server fax ha dato una risposta inattesa alla richiesta di modificare i fax (%1)"_s.arg(
        reply);
}
inline QString actionRefused(bool move, const QString& job, const QString& reply)
{
    const QString done = move ? u"spostato"_s : u"annullato"_s;
    if (reply.contains(u"already done"_s, Qt::CaseInsensitive))
        return u"Il fax n. %1 è già concluso: il server fax non lo ha %2 (%3)"_s.arg(job, done, reply);
    if (reply.contains(u"not permitted"_s, Qt::CaseInsensitive) ||
        reply.contains(u"permission denied"_s, Qt::CaseInsensitive))
        return u"Il server fax non permette a questo utente di modificare il fax n. %1 (%2)"_s.arg(job,
                                                                                                   reply);
    return u"Il server fax non ha %1 il fax n. %2 (%3)"_s.arg(done, job, reply);
}
inline QString actionUnknownJob(const QString& job, const QString& reply)
{
    if (reply.isEmpty())
        return u"Il server fax non conosce il fax n. %1"_s.arg(job);
    return u"Il server fax non conosce il fax n. %1 (%2)"_s.arg(job, reply);
}
inline QString actionUnconfirmed(const QString& job, const QString& reply)
{
    return u"Il server fax non ha confermato la modifica del fax n. %1 (%2)"_s.arg(job, reply);
}
inline QString moveNotQueued(const QString& job, const QString& state)
{
    return u"Il fax n. %1 non è più in coda sul server fax (%2): non si può spostare"_s.arg(job, state);
}
inline QString moveLeftSuspended(const QString& job, const QString& why)
{
    return u"Il fax n. %1 è rimasto sospeso sul server fax e non partirà da solo (%2)"_s.arg(job, why);
}

} // namespace kestrel::texts
