#include "ServerReasons.h"

#include <iterator>

using namespace Qt::StringLiterals;

namespace kestrel::serverReasons {
namespace {

struct Row
{
    QLatin1StringView start; // how the server's text begins
    QString words;
};

// The words, each said once.
const QString Busy = u"Numero occupato"_s;
const QString NoAnswer = u"Nessuna risposta dal numero chiamato"_s;
const QString NoCarrier = u"Nessun fax ha risposto al numero chiamato"_s;
const QString NoDialTone = u"Manca il segnale di linea sul server fax"_s;
const QString NoHandshake = u"Collegamento con il fax chiamato non riuscito"_s;
const QString HungUp = u"Il fax chiamato ha chiuso la chiamata prima della fine"_s;
const QString CannotReceive = u"Il numero chiamato non può ricevere fax"_s;
const QString PageRefused = u"Pagina non trasmessa: linea disturbata o fax chiamato non disponibile"_s;
const QString PoorLine = u"Linea troppo disturbata per trasmettere"_s;
const QString Interrupted = u"Trasmissione interrotta dal fax chiamato"_s;
const QString OperatorStopped = u"Chiamata interrotta sul server fax"_s;
const QString KillTime = u"Tempo massimo per l'invio scaduto"_s;
const QString TooManyDials = u"Raggiunto il numero massimo di chiamate"_s;
const QString TooManyTries = u"Raggiunto il numero massimo di tentativi di trasmissione"_s;
const QString TooManyPages = u"Troppe pagine per il server fax"_s;
const QString Aborted = u"Annullato su richiesta"_s;
const QString UserInterrupted = u"Interrotto dall'utente"_s;
const QString NoDocuments = u"Il fax non contiene documenti"_s;
const QString Conversion = u"Conversione del documento non riuscita"_s;
const QString DocumentUnreadable = u"Documento non leggibile sul server fax"_s;
const QString PageFormat = u"Il fax chiamato non accetta il formato della pagina"_s;
const QString BadNumber = u"Numero di fax non valido"_s;
const QString NoLine = u"Nessuna linea fax disponibile sul server"_s;
const QString LineUnusable = u"Linea fax del server non utilizzabile"_s;
const QString Concurrent = u"In attesa: altre chiamate in corso verso lo stesso numero"_s;
const QString TimeOfDay = u"Rinviato: fuori dalla fascia oraria consentita"_s;
const QString Staggered = u"Rinviato per distanziare le chiamate"_s;
const QString ServerFault = u"Errore interno del server fax"_s;
const QString JobDamaged = u"Dati del fax danneggiati sul server"_s;
const QString Unknown = u"Problema sconosciuto durante la chiamata"_s;

// What hfaxd, faxq and faxsend write into a job's status when it fails or
// is put back into the queue.
const Row Table[] = {
    // The call.
    {"Busy signal detected"_L1, Busy},
    {"Busy"_L1, Busy},
    {"No answer from remote"_L1, NoAnswer},
    {"No answer"_L1, NoAnswer},
    {"Ringback detected"_L1, NoAnswer},
    {"No carrier detected"_L1, NoCarrier},
    {"No carrier"_L1, NoCarrier},
    {"No local dialtone"_L1, NoDialTone},
    {"No dial tone"_L1, NoDialTone},
    {"No loop current"_L1, NoDialTone},
    {"Invalid dialing command"_L1, BadNumber},
    {"Unknown problem"_L1, Unknown},
    {"Carrier established, but Phase A failure"_L1, NoHandshake},
    {"Data connection established (wanted fax)"_L1,
     u"Al numero chiamato risponde un modem dati, non un fax"_s},
    {"Glare - RING detected"_L1, u"Chiamata in arrivo sulla linea mentre si componeva il numero"_s},
    {"Blacklisted by modem"_L1, u"Numero bloccato dal modem dopo troppe chiamate non riuscite"_s},
    {"Ring detected without successful handshake"_L1, NoHandshake},
    {"Ring detect without successful handshake"_L1, NoHandshake},
    {"Unable to establish message carrier"_L1, NoHandshake},
    {"No receiver protocol"_L1, NoHandshake},
    {"Can not continue after DIS/DTC"_L1, NoHandshake},
    // The other fax.
    {"Remote fax disconnected prematurely"_L1, HungUp},
    {"COMREC received DCN"_L1, HungUp},
    {"COMREC error in transmit Phase B/got DCN"_L1, HungUp},
    {"RSPREC error/got DCN"_L1, HungUp},
    {"Remote has no T.4 receiver capability"_L1, CannotReceive},
    {"Remote station cannot receive"_L1, CannotReceive},
    {"Remote cannot receive"_L1, CannotReceive},
    {"Unable to transmit page"_L1, PageRefused},
    {"Failure to train"_L1, PoorLine},
    {"TRAINING failed"_L1, PoorLine},
    {"Procedure interrupt"_L1, Interrupted},
    {"Communication failure during Phase B/C"_L1, Interrupted},
    {"T.30 T2 timeout"_L1, Interrupted},
    {"Client does not support document page"_L1, PageFormat},
    // Stopped on the server.
    {"Call aborted by user"_L1, OperatorStopped},
    {"Send aborted due to operator intervention"_L1, OperatorStopped},
    {"Job aborted by request"_L1, Aborted},
    {"Job interrupted by user"_L1, UserInterrupted},
    // The queue's limits.
    {"Kill time expired"_L1, KillTime},
    {"REJECT: Too many attempts to dial"_L1, TooManyDials},
    {"Too many attempts to dial"_L1, TooManyDials},
    {"REJECT: Too many attempts to transmit"_L1, TooManyTries},
    {"Too many attempts to transmit"_L1, TooManyTries},
    {"Too many attempts to send"_L1, TooManyTries},
    {"REJECT: Too many pages in submission"_L1, TooManyPages},
    {"Too many pages in submission"_L1, TooManyPages},
    {"Blocked by concurrent calls"_L1, Concurrent},
    {"Delayed by time-of-day restrictions"_L1, TimeOfDay},
    {"Delayed by outbound call staggering"_L1, Staggered},
    {"Delayed by prior call"_L1, Staggered},
    // The job and its documents.
    {"Job contains no documents"_L1, NoDocuments},
    {"REJECT: No work found in job file"_L1, NoDocuments},
    {"Document preparation failed"_L1, Conversion},
    {"Error converting document"_L1, Conversion},
    {"Converted document is not valid TIFF"_L1, Conversion},
    {"Could not reopen converted document"_L1, Conversion},
    {"Unable to create document file"_L1, Conversion},
    {"Image conversion error"_L1, Conversion},
    {"CONVERT DOCUMENT"_L1, Conversion},
    {"SEND: No continuation cover page"_L1, Conversion},
    {"Can not open document file"_L1, DocumentUnreadable},
    {"Can not access document file"_L1, DocumentUnreadable},
    {"Can not set directory"_L1, DocumentUnreadable},
    {"Error reading directory"_L1, DocumentUnreadable},
    {"Unable to lock shared document file"_L1, DocumentUnreadable},
    {"Unable to open shared document file"_L1, DocumentUnreadable},
    {"Invalid or corrupted job description file"_L1, JobDamaged},
    {"Rejected document in corrupt job request"_L1, JobDamaged},
    {"REJECT: Unable to convert dial string to canonical format"_L1, BadNumber},
    // The server's lines and programs.
    {"REJECT: Requested modem"_L1, NoLine},
    {"No assignable modem located"_L1, NoLine},
    {"Modem does not support document page"_L1, PageFormat},
    {"Can not lock modem device"_L1, LineUnusable},
    {"Unable to setup modem"_L1, LineUnusable},
    {"Unable to configure modem"_L1, LineUnusable},
    {"Could not fork"_L1, ServerFault},
    {"Cannot fork"_L1, ServerFault},
    {"Send program terminated abnormally"_L1, ServerFault},
};

bool isWordCharacter(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

} // namespace

std::optional<QString> known(const QString& serverText)
{
    const QStringView text = QStringView(serverText).trimmed();
    const Row* best = nullptr;
    for (const Row& row : Table) {
        if (!text.startsWith(row.start, Qt::CaseInsensitive))
            continue;
        // "Busy" is not the start of "Busyness": a start ends a word.
        if (text.size() > row.start.size() && isWordCharacter(row.start.at(row.start.size() - 1)) &&
            isWordCharacter(text.at(row.start.size())))
            continue;
        if (!best || row.start.size() > best->start.size())
            best = &row;
    }
    if (!best)
        return std::nullopt;
    return best->words;
}

QString inItalian(const QString& serverText)
{
    return known(serverText).value_or(serverText);
}

} // namespace kestrel::serverReasons
