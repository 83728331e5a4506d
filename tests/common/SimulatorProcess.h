#pragma once

#include <QByteArray>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace kestrel::test {

using namespace Qt::StringLiterals;

// Runs the appliance simulator for one test: free ports, a private store,
// no logging. The accessors read what the simulator received back from its
// store folder.
class SimulatorProcess
{
public:
    SimulatorProcess() = default;
    ~SimulatorProcess();
    SimulatorProcess(const SimulatorProcess&) = delete;
    SimulatorProcess& operator=(const SimulatorProcess&) = delete;

    // Starts it with extraArgs (faults, lines, login...) and waits up to
    // 10 s for its ready line. False, with errorString(), when it fails.
    bool start(const QStringList& extraArgs = {});
    void stop();
    bool isRunning() const;
    QString errorString() const { return m_error; }

    QString host() const { return u"127.0.0.1"_s; }
    quint16 httpPort() const { return m_httpPort; } // 0 under --http-fault http-refuse
    quint16 faxPort() const { return m_faxPort; }
    QString storeDir() const { return m_storeDir; }

    // KESTREL_HTTP_PORT and KESTREL_FAX_PORT of this process, read by the control.
    void applyPortsToEnvironment() const;

    // Bytes received on command connection `index` (0 = first; -1 = the last).
    QByteArray sessionBytes(int index = -1) const;
    int sessionCount() const;

    // Submitted jobs, in number order.
    QStringList jobIds() const;
    // The job's "key:value" lines, in the order the server received them.
    QStringList jobLines(const QString& jobId) const;
    // The same grouped by key; values of repeated keys in order.
    QMap<QString, QStringList> jobParameters(const QString& jobId) const;
    QByteArray jobDocument(const QString& jobId, const QString& remoteName) const;
    // An uploaded file under the server's /tmp, job or not.
    QByteArray uploadedFile(const QString& remoteName) const;
    // Waits (processing events) until the job is recorded as submitted.
    bool waitForJob(const QString& jobId, int timeoutMs = 5000) const;

private:
    QStringList sessionFiles() const;

    std::unique_ptr<QProcess> m_process;
    std::unique_ptr<QTemporaryDir> m_temporary;
    QString m_storeDir;
    quint16 m_httpPort = 0;
    quint16 m_faxPort = 0;
    QString m_error;
};

} // namespace kestrel::test
