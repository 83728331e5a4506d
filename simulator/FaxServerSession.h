#pragma once

#include "FaxCommandInterpreter.h"
#include "LineSplitter.h"
#include "ZipStream.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <memory>
#include <vector>

class QFile;
class QTcpServer;
class QTcpSocket;

namespace kestrel::simulator {

class ReplyWriter;

// One command connection of the fax server: records what the client sends,
// feeds complete lines to the interpreter, and runs the passive data
// connection for uploads. While a transfer runs, further command lines wait,
// as they do with hfaxd, which serves one command at a time.
class FaxServerSession : public QObject
{
    Q_OBJECT
public:
    FaxServerSession(QTcpSocket* socket, JobStore& store, FaultPlan& faults, const LoginPolicy& login,
                     const QString& hostName, QObject* parent = nullptr);
    ~FaxServerSession() override;

    void start();

signals:
    void finished();

private:
    enum class Transfer
    {
        None,
        AwaitingConnection, // STOR accepted, the data connection has not come yet
        Receiving,
        Stalled, // no-150: accepted and never served
    };

    class BatchScope;

    void onCommandBytes();
    void onCommandClosed();
    void processLines();
    void apply(const FaxCommandInterpreter::Outcome& outcome);
    void send(const QByteArray& reply);
    void flushBatch();

    void openPassive();
    void closePassive();
    void onDataConnection();
    void beginStore(const QString& name, const QString& path, bool compressed);
    void startTransfer();
    void onDataBytes();
    void store(QByteArrayView bytes);
    void onDataClosed();
    void onDataTimeout();
    void dropConnections();
    void cutData();
    void flood();

    void log(const QString& text) const;

    QTcpSocket* m_socket;
    JobStore& m_store;
    FaultPlan& m_faults;
    QString m_hostName;
    FaxCommandInterpreter m_interpreter;
    LineSplitter m_splitter;
    ReplyWriter* m_writer;
    std::unique_ptr<QFile> m_sessionLog;
    int m_number = 0;
    int m_commands = 0; // read so far

    bool m_closing = false;

    // merge-replies: replies collected while one event is handled
    int m_batchDepth = 0;
    QByteArray m_batch;

    QPointer<QTcpServer> m_passive;
    QPointer<QTcpSocket> m_data;
    Transfer m_transfer = Transfer::None;
    QTimer m_dataTimer;
    std::unique_ptr<QFile> m_upload;
    std::unique_ptr<ZipStream> m_unzip; // the upload comes compressed (MODE Z)
    QString m_uploadName;
    QString m_uploadPath;
    qint64 m_received = 0;
    qint64 m_stored = 0;   // bytes written to the upload
    QByteArray m_heldBack; // drop-tail: the last bytes received, never stored
    bool m_writeFailed = false;
    bool m_dropUpload = false;
    bool m_cutData = false;
    QTimer m_flood; // unasked-227 and endless-greeting
    std::vector<char> m_chunk;
};

} // namespace kestrel::simulator
