// The fax server's reasons in Italian: every text hfaxd, faxq and faxsend
// give a job that failed or was put back in the queue, as they give it
// (details appended), and the Italian words the user reads for it.

#include "ServerReasons.h"

#include <QTest>

using namespace Qt::StringLiterals;

using namespace kestrel;

class TestServerReasons : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void known_data();
    void known();
    void unknown_data();
    void unknown();
};

void TestServerReasons::known_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("italian");
    const QString busy = u"Numero occupato"_s;
    const QString noAnswer = u"Nessuna risposta dal numero chiamato"_s;
    const QString noCarrier = u"Nessun fax ha risposto al numero chiamato"_s;
    const QString noDialTone = u"Manca il segnale di linea sul server fax"_s;
    const QString noHandshake = u"Collegamento con il fax chiamato non riuscito"_s;
    const QString hungUp = u"Il fax chiamato ha chiuso la chiamata prima della fine"_s;
    const QString cannotReceive = u"Il numero chiamato non può ricevere fax"_s;
    const QString interrupted = u"Trasmissione interrotta dal fax chiamato"_s;
    const QString stopped = u"Chiamata interrotta sul server fax"_s;
    const QString dials = u"Raggiunto il numero massimo di chiamate"_s;
    const QString tries = u"Raggiunto il numero massimo di tentativi di trasmissione"_s;
    const QString pages = u"Troppe pagine per il server fax"_s;
    const QString noDocuments = u"Il fax non contiene documenti"_s;
    const QString conversion = u"Conversione del documento non riuscita"_s;
    const QString unreadable = u"Documento non leggibile sul server fax"_s;
    const QString pageFormat = u"Il fax chiamato non accetta il formato della pagina"_s;
    const QString badNumber = u"Numero di fax non valido"_s;
    const QString noLine = u"Nessuna linea fax disponibile sul server"_s;
    const QString lineUnusable = u"Linea fax del server non utilizzabile"_s;
    const QString staggered = u"Rinviato per distanziare le chiamate"_s;
    const QString serverFault = u"Errore interno del server fax"_s;
    const QString damaged = u"Dati del fax danneggiati sul server"_s;
    const QString rows[][2] = {
        // The call.
        {u"Busy signal detected"_s, busy},
        {u"Busy"_s, busy},
        {u"No answer from remote"_s, noAnswer},
        {u"No answer (T.30 T1 timeout)"_s, noAnswer},
        {u"No answer or ring back"_s, noAnswer},
        {u"Ringback detected, no answer without CED"_s, noAnswer},
        {u"No carrier detected"_s, noCarrier},
        {u"No carrier"_s, noCarrier},
        {u"No local dialtone"_s, noDialTone},
        {u"No dial tone"_s, noDialTone},
        {u"No loop current"_s, noDialTone},
        {u"Invalid dialing command"_s, badNumber},
        {u"Unknown problem"_s, u"Problema sconosciuto durante la chiamata"_s},
        {u"Carrier established, but Phase A failure"_s, noHandshake},
        {u"Data connection established (wanted fax)"_s,
         u"Al numero chiamato risponde un modem dati, non un fax"_s},
        {u"Glare - RING detected"_s, u"Chiamata in arrivo sulla linea mentre si componeva il numero"_s},
        {u"Blacklisted by modem"_s, u"Numero bloccato dal modem dopo troppe chiamate non riuscite"_s},
        {u"Ring detected without successful handshake"_s, noHandshake},
        {u"Ring detect without successful handshake"_s, noHandshake},
        {u"Unable to establish message carrier"_s, noHandshake},
        {u"No receiver protocol (T.30 T1 timeout)"_s, noHandshake},
        {u"Can not continue after DIS/DTC"_s, noHandshake},
        // The other fax.
        {u"Remote fax disconnected prematurely"_s, hungUp},
        {u"COMREC received DCN (sender abort)"_s, hungUp},
        {u"COMREC error in transmit Phase B/got DCN"_s, hungUp},
        {u"RSPREC error/got DCN"_s, hungUp},
        {u"Remote has no T.4 receiver capability"_s, cannotReceive},
        {u"Remote station cannot receive (DIS bit 10)"_s, cannotReceive},
        {u"Remote cannot receive"_s, cannotReceive},
        {u"Unable to transmit page (giving up after RTN)"_s,
         u"Pagina non trasmessa: linea disturbata o fax chiamato non disponibile"_s},
        {u"Failure to train remote modem at 2400 bps or minimum speed"_s,
         u"Linea troppo disturbata per trasmettere"_s},
        {u"TRAINING failed"_s, u"Linea troppo disturbata per trasmettere"_s},
        {u"Procedure interrupt (operator intervention)"_s, interrupted},
        {u"Communication failure during Phase B/C (modem protocol botch)"_s, interrupted},
        {u"T.30 T2 timeout, expected signal not received"_s, interrupted},
        {u"Client does not support document page width, max remote page width 1728 pixels, image width 2432 "
         "pixels"_s,
         pageFormat},
        // Stopped on the server.
        {u"Call aborted by user"_s, stopped},
        {u"Send aborted due to operator intervention"_s, stopped},
        {u"Job aborted by request"_s, u"Annullato su richiesta"_s},
        {u"Job interrupted by user"_s, u"Interrotto dall'utente"_s},
        // The queue's limits.
        {u"Kill time expired"_s, u"Tempo massimo per l'invio scaduto"_s},
        {u"REJECT: Too many attempts to dial: 12, max 12"_s, dials},
        {u"REJECT: Too many attempts to dial (max 3)"_s, dials},
        {u"too many attempts to dial"_s, dials},
        {u"REJECT: Too many attempts to transmit: 3, max 3"_s, tries},
        {u"Too many attempts to transmit"_s, tries},
        {u"too many attempts to send"_s, tries},
        {u"REJECT: Too many pages in submission: 200, max 150"_s, pages},
        {u"Too many pages in submission; max 150"_s, pages},
        {u"Blocked by concurrent calls"_s, u"In attesa: altre chiamate in corso verso lo stesso numero"_s},
        {u"Delayed by time-of-day restrictions"_s, u"Rinviato: fuori dalla fascia oraria consentita"_s},
        {u"Delayed by outbound call staggering"_s, staggered},
        {u"Delayed by prior call"_s, staggered},
        // The job and its documents.
        {u"Job contains no documents"_s, noDocuments},
        {u"REJECT: No work found in job file"_s, noDocuments},
        {u"Document preparation failed: Error converting document; command was \"bin/ps2fax\""_s, conversion},
        {u"Error converting document; command was \"bin/pdf2fax -o docq/doc7.pdf;21\""_s, conversion},
        {u"Converted document is not valid TIFF"_s, conversion},
        {u"Could not reopen converted document to verify format"_s, conversion},
        {u"Unable to create document file"_s, conversion},
        {u"Image conversion error"_s, conversion},
        {u"CONVERT DOCUMENT: job time limit exceeded"_s, conversion},
        {u"SEND: No continuation cover page,  document conversion failed: Unable to create document file"_s,
         conversion},
        {u"Can not open document file docq/doc7.ps"_s, unreadable},
        {u"Can not access document file \"docq/doc7.ps\": No such file or directory"_s, unreadable},
        {u"Can not set directory 2 in document file docq/doc7.tif"_s, unreadable},
        {u"Error reading directory 2 in document file docq/doc7.tif"_s, unreadable},
        {u"Unable to lock shared document file"_s, unreadable},
        {u"Unable to open shared document file"_s, unreadable},
        {u"Invalid or corrupted job description file"_s, damaged},
        {u"Rejected document in corrupt job request"_s, damaged},
        {u"REJECT: Unable to convert dial string to canonical format"_s, badNumber},
        // The server's lines and programs.
        {u"REJECT: Requested modem ttyS1 is not registered"_s, noLine},
        {u"No assignable modem located"_s, noLine},
        {u"Modem does not support document page width, max page width 1728 pixels, image width 2432 pixels"_s,
         pageFormat},
        {u"Can not lock modem device"_s, lineUnusable},
        {u"Unable to setup modem on ttyS0; giving up after 3 attempts"_s, lineUnusable},
        {u"Unable to configure modem for fax use"_s, lineUnusable},
        {u"Could not fork to prepare job for transmission"_s, serverFault},
        {u"Cannot fork to prepare job for transmission"_s, serverFault},
        {u"Send program terminated abnormally with exit status 0x100"_s, serverFault},
    };
    for (const auto& [server, italian] : rows)
        QTest::newRow(qPrintable(server)) << server << italian;
    // How the server may write them.
    QTest::newRow("case aside") << u"BUSY SIGNAL DETECTED"_s << busy;
    QTest::newRow("blanks around") << u"  No carrier detected \t"_s << noCarrier;
    QTest::newRow("a number appended") << u"Busy signal detected (3)"_s << busy;
    // The longest start wins: "No carrier" is a start of this one too.
    QTest::newRow("longest start") << u"No carrier detected after 2 dials"_s << noCarrier;
}

void TestServerReasons::known()
{
    QFETCH(QString, server);
    QFETCH(QString, italian);
    QCOMPARE(serverReasons::known(server), std::optional(italian));
    QCOMPARE(serverReasons::inItalian(server), italian);
}

void TestServerReasons::unknown_data()
{
    QTest::addColumn<QString>("server");
    QTest::newRow("none") << QString();
    QTest::newRow("a text of its own") << u"Modem wedged, call the technician"_s;
    // A start is a whole word.
    QTest::newRow("a longer word") << u"Busyness of the line"_s;
    // Not at the start.
    QTest::newRow("inside") << u"Job 12: Busy signal detected"_s;
    // What this client writes itself, in Italian already.
    QTest::newRow("the client's own") << u"Il server fax non ha più notizie di questo fax"_s;
}

void TestServerReasons::unknown()
{
    QFETCH(QString, server);
    QCOMPARE(serverReasons::known(server), std::nullopt);
    // Shown as it came.
    QCOMPARE(serverReasons::inItalian(server), server);
}

QTEST_GUILESS_MAIN(TestServerReasons)
#include "tst_serverreasons.moc"
