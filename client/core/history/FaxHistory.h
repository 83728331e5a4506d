#pragma once

#include "Expected.h"
#include "FaxRecord.h"
#include "JobUpdate.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>

#include <memory>

namespace kestrel {

class Clock;
class OneShotTimer;

// Every fax this client submitted, kept across runs in an SQLite file of the
// program folder (storico.db, readable by its owner only). The file is made
// when the first fax is added; nothing in it is ever removed. The records
// are read whole at open() and kept in memory, oldest first; each change is
// written through at once, in a transaction of its own (or of its Batch).
//
// A file another program holds (a backup reading it) is waited for a while;
// what cannot be written then stays in memory and is written by the next
// change, by a retry a little later, or at the end. A file that could not be
// read at open() is read then too: its faxes go in front of those of this
// run. Until then fileState() says the list is not the saved one, and the
// first failure of a run is told (storeFailed).
//
// The file carries the version of its layout; an older one is brought up
// to date in place, a newer one is used as far as this version knows it.
class FaxHistory : public QObject
{
    Q_OBJECT
public:
    static constexpr const char* FileName = "storico.db";
    // How long a lock held by another program is waited for (while the
    // file is found held, a quarter of a second: it is tried again).
    static constexpr int BusyTimeoutMs = 5000;
    // How soon a file that could not be used is tried again.
    static constexpr int RetryMs = 30000;

    enum class FileState
    {
        Saved,   // the list is the file's
        Unsaved, // changes wait in memory
        Unread,  // the file's faxes are not read yet
    };

    FaxHistory(QString path, Clock& clock, QObject* parent = nullptr);
    // Whatever is unsaved is tried once more.
    ~FaxHistory() override;

    QString path() const { return m_path; }
    // The retry's timer (a timer of its own by default); tests give theirs.
    void setRetryTimer(OneShotTimer& timer);
    void setBusyTimeout(int ms) { m_busyTimeoutMs = ms; }
    // Reads the file when there is one; a file that cannot be read now is
    // read later.
    Status open();
    // Writes now whatever waits (the retry does the same).
    Status save();

    // As the last attempt to read or write left it.
    FileState fileState() const { return m_state; }
    // Why the list is not the saved one (empty when it is).
    QString fileProblem() const { return m_problem; }

    // A fax's handle for the run: unlike its index it stays when the file's
    // faxes are read late and go in front.
    int handleOf(int index) const { return index - m_readCount; }
    // The index of a handle, or -1.
    int indexOfHandle(int handle) const;

    const QList<FaxRecord>& records() const { return m_records; }
    // The newest fax of that appliance with that job number, or -1 (a fax
    // server that starts counting again gives old numbers to new jobs).
    int indexOf(const QString& appliance, const QString& job) const;

    // A job handed to the fax server; its submission and change times are
    // now unless set.
    void add(FaxRecord record);
    // The word of the server or of the appliance's pages on a job of the
    // history; lostReason is the reason a job the server knows no more gets.
    JobChange update(const QString& appliance, const QString& job, const JobUpdate& update,
                     const QString& lostReason);
    // The jobs of that appliance still to be asked about, oldest first.
    QStringList trackedJobs(const QString& appliance) const;

    // Changes made while one lives go to the file in one transaction.
    class Batch
    {
    public:
        explicit Batch(FaxHistory& history);
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

    private:
        FaxHistory& m_history;
    };

Q_SIGNALS:
    // Around a fax joining the end of records().
    void aboutToAdd(int index);
    void added(int index);
    void changed(int index);
    // Around the file's faxes, read late, going in front of records():
    // every index moves up by count.
    void aboutToPrepend(int count);
    void prepended(int count);
    // fileState() or fileProblem() changed.
    void fileStateChanged();
    // The file cannot be used now; said once a run.
    void storeFailed(const QString& reason);

private:
    Status connect(bool create);
    Status upgrade();
    Status read();
    Status load();
    Status write();
    Status transaction(bool& rolledBack);
    Status writeRecord(FaxRecord& record);
    void closeConnection();
    Status attempt();
    void autosave();
    int busyTimeout() const;
    void settle(const Status& status);
    void modified(int index);
    static QString key(const QString& appliance, const QString& job) { return appliance + u'\n' + job; }
    void index();

    QString m_path;
    Clock& m_clock;
    QString m_connection;
    int m_busyTimeoutMs = BusyTimeoutMs;
    std::unique_ptr<OneShotTimer> m_ownTimer;
    OneShotTimer* m_retry;
    bool m_connected = false;
    // The file's faxes are in records() (or there is no file, or it was
    // never opened: then its faxes are not wanted).
    bool m_read = true;
    bool m_opened = false;
    int m_readCount = 0;
    bool m_told = false;
    bool m_closing = false;
    bool m_saving = false;
    int m_batchDepth = 0;
    QString m_problem;
    FileState m_state = FileState::Saved;
    QList<FaxRecord> m_records;
    QSet<int> m_unsaved; // indices of records with changes not in the file
    QHash<QString, int> m_newest;
};

} // namespace kestrel
