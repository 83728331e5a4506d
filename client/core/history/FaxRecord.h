#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace kestrel {

// Where a fax of the history stands, as the user reads it.
enum class FaxState
{
    Queued,    // "In coda"
    Sending,   // "In invio"
    Sent,      // "Inviato"
    Failed,    // "Non riuscito"
    Cancelled, // "Annullato"
    ToCheck,   // "Esito da verificare": handed in, the server's answer lost
};

inline bool isFinished(FaxState state)
{
    return state == FaxState::Sent || state == FaxState::Failed || state == FaxState::Cancelled;
}

// A document as it was when its fax was submitted: "Reinvia" puts back only
// the same file.
struct DocumentStamp
{
    qint64 size = -1;
    qint64 modifiedSecs = 0; // modification time, seconds and nanoseconds
    qint64 modifiedNsecs = 0;

    bool operator==(const DocumentStamp&) const = default;
};

// One job this client submitted, as the history keeps it.
struct FaxRecord
{
    qint64 id = 0; // the row in the history file; 0 before it is stored
    QString job;
    QString appliance; // the address it was submitted to
    QDateTime submitted;
    QDateTime planned;     // when the server is to send it; not valid: at once
    QString number;        // the destination as listed (without the prefix)
    QString name;          // from the address book, when known
    QStringList documents; // spool paths, the cover page not among them
    // One for each document, in the same order; empty for the faxes of
    // files written before they were kept.
    QList<DocumentStamp> stamps;
    FaxState state = FaxState::Queued;
    // The file's word for a state of a later version of the program (read
    // as ToCheck): written back as it was until the state changes here.
    QString stateWord;
    int pagesSent = 0;
    int pagesTotal = 0;
    int tries = 0;
    QString reason; // the server's last word on it
    QDateTime changed;
    // The server knows the job no more: it is not asked about again.
    bool lost = false;

    bool isFinished() const { return kestrel::isFinished(state); }
    // Still to be asked about.
    bool isTracked() const { return !isFinished() && !lost; }
    // Who it went to, for the user: the name, else the number.
    QString destination() const { return name.isEmpty() ? number : name; }
};

} // namespace kestrel
