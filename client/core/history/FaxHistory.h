#pragma once

#include "Expected.h"
#include "FaxRecord.h"
#include "JobUpdate.h"

#include <QHash>
#include <QList>
#include <QObject>

namespace kestrel {

class Clock;

// Every fax this client submitted, kept across runs in an SQLite file of the
// program folder (storico.db, readable by its owner only). The file is made
// when the first fax is added; nothing in it is ever removed. The records
// are read whole at open() and kept in memory, oldest first; each change is
// written through at once. When the file cannot be used the history goes on
// in memory for the run and says why once (storeFailed).
class FaxHistory : public QObject
{
    Q_OBJECT
public:
    static constexpr const char* FileName = "storico.db";

    FaxHistory(QString path, Clock& clock, QObject* parent = nullptr);
    ~FaxHistory() override;

    QString path() const { return m_path; }
    // Reads the file when there is one.
    Status open();

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
    // The file cannot be used; said once a run.
    void storeFailed(const QString& reason);

private:
    Status connect(bool create);
    Status load();
    Status store(FaxRecord& record);
    Status storeChange(const FaxRecord& record);
    void failed(const Error& error);
    void beginIfBatched();
    static QString key(const QString& appliance, const QString& job) { return appliance + u'\n' + job; }

    QString m_path;
    Clock& m_clock;
    QString m_connection;
    bool m_connected = false;
    bool m_failed = false;
    int m_batchDepth = 0;
    bool m_inTransaction = false;
    QList<FaxRecord> m_records;
    QHash<QString, int> m_newest;
};

} // namespace kestrel
