#pragma once

#include "CorvanefaxHost.h"

#include <QObject>
#include <QStringList>

namespace kestrel {

struct SendRequest
{
    QString appliance;
    QString user;
    QString password;
    QString notify;
    qint16 maxDials = 3;
    QString line; // empty: the control's default line
    bool debug = false;
    QStringList numbers;
    QStringList files;
};

// Sends the documents to every number with one SendFax: one session, one
// upload, one job per number. Prints each job number as the fax server
// accepts it; reports the numbers whose fax did not go.
class SendHost : public QObject
{
    Q_OBJECT
public:
    SendHost(CorvanefaxHost& host, SendRequest request);

    // Activates the control and starts the submission. The host is done
    // when finished() is emitted: 0 when every job was accepted.
    void start();

Q_SIGNALS:
    void finished(int exitCode);

private:
    void onSubmitted(const QString& jobNumber);
    void onMessage(const QString& message);
    void onFailed(const QString& reason);
    void finish(int exitCode);

    CorvanefaxHost& m_host;
    SendRequest m_request;
    QStringList m_jobs;
    bool m_offline = false;
    bool m_finished = false;
};

} // namespace kestrel
