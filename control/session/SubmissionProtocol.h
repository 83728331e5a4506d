#pragma once

#include "JobOptions.h"
#include "ReplySplitter.h"

#include <QQueue>
#include <QStringList>

#include <optional>

namespace kestrel {

using namespace Qt::StringLiterals;

// One call of SendFax: what to send, as who, and to whom. Fixed when the
// call is made.
struct Submission
{
    QString userName;
    QString password;
    QString fileName;    // the file list exactly as the host passed it
    QStringList files;   // its non-empty elements, in order
    QStringList numbers; // the non-empty elements of the number list
    QString notifyAddress;
    qint16 maxDials = 3;
    QString modem = u"any"_s;
    bool chopOn = true;
    // Ask for the compressed transfer mode; a server that refuses it gets
    // the files as they are.
    bool compress = true;
    // For each file: whether it compresses (a PDF of photographs does not,
    // and compressing it only adds the framing). Files not listed do.
    QList<bool> compressible;
    // When and how every job of the session is sent.
    JobOptions options;
};

struct SessionFailure
{
    QString why;     // for the debug log
    QString message; // for the user
};

// What the session does after an input, in this order: write the log lines,
// connect the data connection, report the submitted job, send the commands
// (in one write), start sending a file, close the session, or give up.
struct ProtocolStep
{
    QStringList log;
    std::optional<quint16> openDataPort;
    std::optional<QString> submittedJob;
    QStringList commands;
    std::optional<int> uploadFile; // index into Submission::files
    bool finished = false;         // the last job is in
    bool loginRefused = false;
    std::optional<SessionFailure> failure;
};

// The decisions of a submission on the fax server's command connection,
// without sockets: a reply in, the next step out. It logs in, makes one job
// per number, uploads every file once (for the first job) and lets every job
// of the session use those uploads.
//
// A reply is acted on only as the answer to the command that waits for it;
// a reply nobody asked for, or one that does not fit its command, ends the
// session. Documents and "jsubm" go out only after the server has confirmed
// every transfer, and said that it holds as many bytes as the file had.
//
// A HylaFAX server (its greeting says so) reads commands ahead and answers
// them in order, and goes on with the commands after one it refused: the
// session then sends together what does not wait for an answer (a job's
// creation, parameters and document lines, and with them the "jsubm" of the
// job before), checks each answer against its command, and sends a job's
// "jsubm" only once every line of that job was taken. At most one "jsubm"
// is ever unanswered. Any other server gets one step after the other.
class SubmissionProtocol
{
public:
    explicit SubmissionProtocol(Submission submission);

    ProtocolStep onReply(const Reply& reply);
    // Every byte of the file being uploaded has left and the data connection
    // was closed; the server's verdict on the transfer follows. fileBytes:
    // the bytes of the file sent (before any compression).
    ProtocolStep onFileSent(qint64 fileBytes);

    bool greeted() const { return m_greeted; }
    bool ended() const { return m_ended; }
    // Between the opening of a transfer and its last byte: progress, not a
    // reply, is what the session times.
    bool transferring() const { return m_transferOpened && !m_fileSent; }
    bool awaitingReply() const { return !m_pending.isEmpty(); }
    // The reply awaited is the server's verdict on a transfer.
    bool awaitingTransfer() const { return !m_pending.isEmpty() && m_pending.head().kind == Kind::Stor; }
    // The file being uploaded goes compressed.
    bool compressed() const { return m_modeZ; }
    // The session sends the commands of a job together (see above).
    bool pipelined() const { return m_pipelined; }
    // The command whose reply is awaited, for logs (passwords masked).
    QString waitingFor() const;
    // The job whose "jsubm" went out without an answer: when the session
    // fails now, or failed then, the server may hold that job all the same.
    std::optional<QString> unsettledJob() const;
    // The number of the job being made (the one the session is at).
    QString faxNumber() const { return m_submission.numbers.value(m_jobIndex); }
    // Numbers after the one being made, which will not be tried when the
    // session ends now.
    int numbersLeftAfterThis() const { return qMax(0, int(m_submission.numbers.size()) - m_jobIndex - 1); }

    const Submission& submission() const { return m_submission; }
    QString jobNumber() const { return m_jobNumber; }
    int currentFile() const { return m_currentFile; }

    // The line a log shows for a command: a password never appears.
    static QString shownCommand(const QString& command);

private:
    enum class Kind
    {
        Greeting,
        User,
        Pass,
        Mode, // the compressed transfer mode; a refusal only means plain transfers
        Jnew,
        Parameter,
        OptionalParameter, // a refusal is logged and the job goes on
        SendTime,
        NotifyAddress,
        Cwd,
        Pasv,
        Stor,
        Size,    // the size of an upload the server confirmed
        JobLine, // a line of the submit batch; jsubm follows once all are taken
        Submit,
    };

    struct Pending
    {
        Kind kind;
        QString command;
        int file = -1;     // Size: the upload asked about
        qint64 bytes = -1; // Size: the bytes of it sent
    };

    ProtocolStep answer(const Pending& asked, const Reply& reply);
    ProtocolStep jobCreated(const Reply& reply);
    ProtocolStep transferDone(const Pending& asked, const Reply& reply);
    ProtocolStep sizeAnswered(const Pending& asked, const Reply& reply);
    ProtocolStep jobSubmitted(const Reply& reply);
    void requestPassive(ProtocolStep& step, bool firstFile);
    bool compresses(int file) const { return m_submission.compressible.value(file, true); }
    void submitBatch(ProtocolStep& step);
    void sendJobParameters(ProtocolStep& step, int jobIndex);
    // Pipelined: the next job's creation, parameters and document lines.
    void sendNextJob(ProtocolStep& step);
    // Pipelined: a reply that is not the answer to the command it is taken
    // for would shift every answer after it.
    std::optional<ProtocolStep> mismatch(const Pending& asked, const Reply& reply);
    void send(ProtocolStep& step, Kind kind, const QString& command);
    ProtocolStep fail(const QString& why, const QString& message);
    ProtocolStep refused(const Pending& asked, const Reply& reply);
    ProtocolStep unexpected(const QString& what, const Reply& reply);

    Submission m_submission;
    QQueue<Pending> m_pending;
    bool m_greeted = false;
    bool m_ended = false;
    int m_jobIndex = 0; // the number being submitted
    QString m_jobNumber;
    QStringList m_jobNumbers; // every job of the session so far
    int m_currentFile = 0;
    QStringList m_remoteNames; // of the uploads so far, in file order
    bool m_transferOpened = false;
    bool m_fileSent = false;
    qint64 m_fileBytes = 0;     // of the upload under way
    bool m_sizeUnknown = false; // the server does not know SIZE
    bool m_jsubmUnanswered = false;
    bool m_serverTakesZ = false;        // the server took "MODE Z"
    bool m_modeZ = false;               // the mode in force on the server
    std::optional<QString> m_unsettled; // set when the session failed with a jsubm unanswered
    bool m_pipelined = false;
    // Pipelined: what follows the job's notify address (the passive request
    // or the document lines) went out with it.
    bool m_aheadSent = false;
};

} // namespace kestrel
