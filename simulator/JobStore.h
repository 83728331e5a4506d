#pragma once

#include <QDateTime>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

namespace kestrel::simulator {

struct JobParameter
{
    QString key;   // lower case
    QString value; // as received
};

struct JobRecord
{
    int id = 0; // 0: the session's default job, never submitted
    int groupId = 0;
    QString owner;
    QList<JobParameter> parameters; // in the order received, documents included
    QStringList documents;          // names under /tmp
    QDateTime submittedAt;
    bool killed = false; // killed on request before it went

    QString lastValue(const QString& key) const;
    QStringList values(const QString& key) const;
};

// Everything the fax server keeps, on disk under one folder:
//   sessions/NNNN.cmd  every byte received on command connection NNNN
//   tmp/NAME           uploaded files
//   jobs/N/            a submitted job: "job" (key:value lines), its
//                      documents, and "submitted", written last; "killed"
//                      once it is killed
//   jobseq             the last job number handed out
class JobStore
{
public:
    bool open(const QString& root, QString* error);
    QString root() const { return m_root; }

    int newJobId();

    // Opened for appending, unbuffered: each write reaches the file at once.
    std::unique_ptr<QFile> openSessionLog(int* number);

    static bool isValidUploadName(const QString& name);
    QString uploadPath(const QString& name) const;
    bool uploadExists(const QString& name) const;
    // Fails when the name is taken, so concurrent sessions never share a file.
    std::unique_ptr<QFile> createUpload(const QString& name, QString* error);

    // Jobs made by JNEW and not submitted, while the session that made them
    // lasts (hfaxd deletes them when it ends): other sessions see them
    // SUSPENDED. Kept in memory only.
    void noteCreated(const JobRecord& job);
    void forgetCreated(int id);
    const JobRecord* createdJob(int id) const;

    bool submit(JobRecord job, QString* error);
    const QList<JobRecord>& submittedJobs() const { return m_jobs; }
    const JobRecord* submittedJob(int id) const;

    // A submitted job is being sent until doneAfterMs have passed since its
    // submission, then sent, unless it was killed before.
    void setDoneAfterMs(int ms) { m_doneAfterMs = ms; }
    // hfaxd's word for the job's state: READY, DONE or FAILED.
    QString stateOf(const JobRecord& job, const QDateTime& now) const;
    bool isFinished(const JobRecord& job, const QDateTime& now) const;
    // Kills a job that has not gone yet; false when it had.
    bool kill(int id, const QDateTime& now);

private:
    void loadSubmittedJobs();
    static QString formatJobFile(const JobRecord& job);

    QString m_root;
    int m_lastJobId = 0;
    int m_lastSession = 0;
    int m_doneAfterMs = 5000;
    QList<JobRecord> m_jobs;
    QList<JobRecord> m_created;
};

} // namespace kestrel::simulator
