#include "FaxSession.h"

#include "ControlTexts.h"
#include "Ports.h"
#include "SessionText.h"
#include "Wait.h"

#include <QThread>

namespace kestrel {
namespace {

// The command connection never holds more than this unread: a server that
// floods it is read in pieces, never into one huge buffer.
constexpr qint64 CommandReadBuffer = 64 * 1024;

// What the fax server's answer about a job whose "jsubm" went unanswered
// proves.
enum class Settled
{
    Queued,      // submitted: the server has taken it for sending
    CreatedOnly, // made by the session and never submitted
    Absent,      // the server has no such job
    Unknown,     // no answer, or none that proves either
};

Settled settledAs(const std::optional<JobReport>& report)
{
    if (!report)
        return Settled::Unknown;
    // The server said it does not know the job: hfaxd deletes a job that was
    // never submitted when the session that made it ends ("Cannot set job N;
    // job does not exist"). Any other reason, or none (the job was never
    // asked about), proves nothing.
    if (report->state == JobReport::State::Unknown)
        return report->reason.contains(u"does not exist"_s) ? Settled::Absent : Settled::Unknown;
    // hfaxd's words: a job made by "jnew" is SUSPENDED until "jsubm"; once
    // submitted it is PENDING (a send time to come), SLEEPING, BLOCKED or
    // READY until it is sent (ACTIVE), then DONE or FAILED.
    static const QStringList queued{u"PENDING"_s, u"SLEEPING"_s, u"BLOCKED"_s, u"READY"_s,
                                    u"ACTIVE"_s,  u"DONE"_s,     u"FAILED"_s};
    const QString state = report->serverState.trimmed().toUpper();
    if (state == u"SUSPENDED"_s)
        return Settled::CreatedOnly;
    // Any other word proves nothing either way.
    return queued.contains(state) ? Settled::Queued : Settled::Unknown;
}

} // namespace

FaxSession::FaxSession(SessionHost& host, QObject* parent) : QObject(parent), m_host(&host)
{
    m_cmd.setObjectName(u"sCmd"_s);
    m_cmd.setLowDelay(true);
    m_replyTimer.setSingleShot(true);
    m_stallTimer.setSingleShot(true);
    connect(&m_cmd, &SocketComponent::DataArrival, this, &FaxSession::onCommandData);
    connect(&m_cmd, &SocketComponent::Error, this, [this](int number, const QString& description) {
        const bool greeted = m_protocol && m_protocol->greeted();
        abandon(u"Command connection error %1: %2"_s.arg(number).arg(description),
                greeted ? texts::connectionDropped() : texts::serverUnreachable(m_server));
    });
    connect(&m_cmd, &SocketComponent::Close, this, [this] {
        // Replies that came with the close are still handled first.
        onCommandData();
        abandon(u"The fax server closed the command connection"_s, texts::connectionDropped());
    });
    connect(&m_replyTimer, &QTimer::timeout, this, [this] {
        const QString waitingFor = m_protocol ? m_protocol->waitingFor() : QString();
        const bool transfer = m_protocol && m_protocol->awaitingTransfer();
        abandon(u"No reply to \"%1\" within %2 s"_s.arg(waitingFor).arg(m_waitLimitMs / 1000.0),
                transfer ? texts::transferFailed() : texts::replyTimeout());
    });
    connect(&m_stallTimer, &QTimer::timeout, this, [this] {
        abandon(u"The transfer made no progress for %1 s"_s.arg(m_waitLimitMs / 1000.0),
                texts::transferFailed());
    });
    connect(&m_data, &DataChannel::progressed, this, [this] {
        if (m_protocol && m_protocol->transferring())
            m_stallTimer.start(m_waitLimitMs);
    });
    connect(&m_data, &DataChannel::failed, this, [this](const QString& reason, bool documentUnreadable) {
        const QString path =
            m_protocol ? m_protocol->submission().files.value(m_protocol->currentFile()) : QString();
        abandon(reason, documentUnreadable ? texts::unreadableDocument(path) : texts::transferFailed());
    });
    connect(&m_data, &DataChannel::SendComplete, this, &FaxSession::onFileSent);
}

void FaxSession::setLogger(Logger logger)
{
    m_log = logger;
    m_data.setLogger(std::move(logger));
}

void FaxSession::log(const QString& line) const
{
    if (m_log)
        m_log(line);
}

QVariant FaxSession::start(const QString& server, Submission submission)
{
    // Whatever was under way is dropped, and never submitted. A job still
    // being asked about is left unsettled (the log says so).
    if (m_check) {
        log(u"Job %1: left unsettled by a new submission"_s.arg(m_unsettled.job));
        m_check.reset();
    }
    const quint64 generation = ++m_generation;
    m_active = false;
    m_replyTimer.stop();
    m_stallTimer.stop();
    m_data.close();
    if (m_cmd.state() != SocketComponent::Closed) {
        m_cmd.close();
        waitUntil([this] { return m_cmd.state() == SocketComponent::Closed; }, m_waitLimitMs);
    }
    m_splitter.reset();

    // Nothing goes out for a document that cannot be sent.
    for (const QString& path : std::as_const(submission.files)) {
        const Expected<qint64> size = DataChannel::checkDocument(path);
        if (!size) {
            log(u"UploadFile ERRORE: "_s + QString::number(size.error().number) + size.error().message);
            if (m_host)
                m_host->sessionMessage(texts::unreadableDocument(path));
            return {};
        }
        if (*size == 0) {
            log(u"Fax non inviato: the document is empty: "_s + path);
            if (m_host)
                m_host->sessionMessage(texts::emptyDocument(path));
            return {};
        }
    }

    if (submission.compress) {
        for (const QString& path : std::as_const(submission.files))
            submission.compressible << DataChannel::compresses(path);
    }
    m_protocol = std::make_unique<SubmissionProtocol>(std::move(submission));
    m_server = server;
    m_active = true;
    m_cmd.connectTo(server, ports::faxServer());
    m_cmd.setReadBufferSize(CommandReadBuffer);
    log(server);

    // Each wait watches its own session: a start made meanwhile (from a
    // timer, or from a handler of this session's failure) replaces it.
    const WaitOutcome outcome = waitUntil(
        [this, generation] { return m_generation != generation || !m_active || m_protocol->greeted(); },
        m_waitLimitMs);
    if (m_generation != generation)
        return {};
    if (outcome == WaitOutcome::Interrupted) {
        abandon(u"The program was asked to quit"_s, texts::interrupted());
        return {};
    }
    if (outcome != WaitOutcome::Done) {
        abandon(u"No greeting from %1 within %2 s"_s.arg(server).arg(m_waitLimitMs / 1000.0),
                texts::noGreeting(server));
        return {};
    }
    if (!m_active || !m_protocol->greeted())
        return {};
    return u"OnRun"_s;
}

void FaxSession::onCommandData()
{
    const QByteArray bytes = m_cmd.getData();
    if (!m_active)
        return;
    const quint64 generation = m_generation;
    if (!m_splitter.feed(bytes)) {
        abandon(u"The fax server sent a reply longer than %1 bytes"_s.arg(ReplySplitter::MaxReply),
                texts::replyTooLong());
        return;
    }
    // A handler run from here may start another session; this loop then
    // leaves the rest to it.
    while (m_generation == generation && m_splitter.hasReply()) {
        const Reply reply = m_splitter.takeReply();
        log(reply.text);
        const ProtocolStep step = m_protocol->onReply(reply);
        execute(step);
    }
}

void FaxSession::execute(const ProtocolStep& step)
{
    const quint64 generation = m_generation;
    for (const QString& line : step.log)
        log(line);
    if (step.failure) {
        abandon(step.failure->why, step.failure->message);
        return;
    }
    if (step.loginRefused) {
        loginRefused();
        return;
    }
    if (step.openDataPort) {
        // The port comes from the server's reply; the address is the server
        // the command connection reached, whatever the reply names.
        const QString host = m_cmd.peerAddress();
        log(u"Data Connection IP:"_s + host + u"Port: "_s + QString::number(*step.openDataPort));
        m_data.OpenDataConnection(host, *step.openDataPort);
    }
    if (step.submittedJob) {
        m_replyTimer.stop();
        const QString sentFiles = m_protocol->submission().fileName;
        // After the last job nothing more is said to the server: its closing
        // the connection from now on (while the host's handler runs, say)
        // fails nothing.
        if (step.finished)
            finish();
        const quint64 raised = m_generation;
        if (m_host)
            m_host->sessionFaxSubmitted(*step.submittedJob, sentFiles);
        if (m_generation != raised)
            return; // the host started another submission from its handler
        chiuditutto(false);
        if (step.finished)
            return;
    }
    if (!step.commands.isEmpty())
        send(step.commands);
    if (m_generation != generation)
        return;
    if (step.uploadFile)
        startUpload(*step.uploadFile);
    else
        armReplyTimer();
    if (step.finished && m_generation == generation)
        finish();
}

void FaxSession::send(const QStringList& commands)
{
    if (m_cmd.sendData(commandBytes(commands)) < 0) {
        abandon(u"Cannot send on the command connection: "_s + m_cmd.lastErrorDescription(),
                texts::connectionDropped());
    }
}

void FaxSession::armReplyTimer()
{
    if (!m_active || m_protocol->transferring() || !m_protocol->greeted())
        return;
    if (m_protocol->awaitingReply())
        m_replyTimer.start(m_waitLimitMs);
    else
        m_replyTimer.stop();
}

void FaxSession::startUpload(int file)
{
    const QString path = m_protocol->submission().files.value(file);
    m_replyTimer.stop();
    m_stallTimer.start(m_waitLimitMs);
    const Status started = m_data.startSending(path, m_protocol->compressed());
    if (!started) {
        log(u"UploadFile ERRORE: "_s + QString::number(started.error().number) + started.error().message);
        abandon(u"Cannot read "_s + path, texts::unreadableDocument(path));
    }
}

void FaxSession::onFileSent()
{
    if (!m_active || !m_protocol->transferring())
        return;
    m_stallTimer.stop();
    // Closing the data connection ends the transfer for the server, which
    // then gives its verdict on it.
    m_data.close();
    execute(m_protocol->onFileSent(m_data.fileBytesSent()));
}

void FaxSession::chiuditutto(bool calledByHost)
{
    const int dataState = m_data.state();
    log(u"JOB subimitted DataSocket:"_s + QString::number(dataState));
    if (dataState != SocketComponent::Closed)
        m_data.close();
    // The pause lets a submit batch reach the server before anything else
    // happens. After a confirmed job nothing is in flight, so it is skipped.
    if (calledByHost && m_cmd.state() != SocketComponent::Closed)
        QThread::msleep(1000);
    log(u"JOB subimitted CMDSocket:"_s + QString::number(m_cmd.state()));
}

void FaxSession::endSession()
{
    ++m_generation;
    m_active = false;
    m_replyTimer.stop();
    m_stallTimer.stop();
    m_data.close();
    m_cmd.close();
    m_splitter.reset();
}

void FaxSession::finish()
{
    // The last job of the session is in: nothing more to say to the server.
    endSession();
}

void FaxSession::loginRefused()
{
    endSession();
    if (m_host)
        m_host->sessionMessageBox(
            {texts::loginRefused(), texts::BoxTitle, MsgIcon::Critical, MsgButtons::Ok});
}

void FaxSession::abandon(const QString& why, const QString& message)
{
    if (!m_active)
        return;
    if (const std::optional<QString> job = m_protocol ? m_protocol->unsettledJob() : std::nullopt) {
        settle(*job, why, message);
        return;
    }
    endSession();
    log(u"Fax non inviato: "_s + why);
    if (m_host)
        m_host->sessionMessage(message);
}

void FaxSession::settle(const QString& job, const QString& why, const QString& failure)
{
    const Submission& submission = m_protocol->submission();
    m_unsettled = {job,     m_protocol->faxNumber(), submission.fileName, m_protocol->numbersLeftAfterThis(),
                   failure, submission.userName,     submission.password, std::nullopt,
                   false};
    endSession();
    log(u"Job %1: no answer to jsubm (%2); asking the fax server whether it queued the job"_s.arg(job, why));
    // The server may still be taking in what the session before sent.
    askAboutUnsettled(SettleDelayMs);
}

void FaxSession::askAboutUnsettled(int delayMs)
{
    m_check = std::make_unique<JobQuery>();
    m_check->setLogger(m_log);
    connect(m_check.get(), &JobQuery::reported, this, [this](const JobReport& report) {
        if (report.job == m_unsettled.job)
            m_unsettled.report = report;
    });
    connect(m_check.get(), &JobQuery::finished, this, &FaxSession::onSettled);
    QTimer::singleShot(delayMs, m_check.get(),
                       [check = m_check.get(), server = m_server, user = m_unsettled.user,
                        password = m_unsettled.password, job = m_unsettled.job,
                        limit = m_waitLimitMs] { check->start(server, user, password, {job}, limit); });
}

void FaxSession::onSettled(const QString& error)
{
    // Its signal is done; it goes once back in the event loop.
    if (m_check)
        m_check.release()->deleteLater();
    const Settled settled = settledAs(m_unsettled.report);
    if (settled == Settled::CreatedOnly && !m_unsettled.rechecked) {
        // The server deletes a job never submitted once it has taken in the
        // end of the session that made it; until then a "jsubm" still on
        // its way (data written before the close reaches it before the
        // close does) may queue it. Asked once more, as the server may be
        // slow to take in the last commands.
        log(u"Job %1 is on the fax server but not submitted (%2); asking once more"_s.arg(
            m_unsettled.job, m_unsettled.report->serverState));
        m_unsettled.rechecked = true;
        m_unsettled.report.reset();
        askAboutUnsettled(RecheckDelayMs);
        return;
    }
    const Unsettled unsettled = std::exchange(m_unsettled, {});
    const quint64 generation = m_generation;
    switch (settled) {
    case Settled::Queued:
        log(u"Job %1 is queued on the fax server (%2)"_s.arg(unsettled.job, unsettled.report->serverState));
        if (m_host)
            m_host->sessionFaxSubmitted(unsettled.job, unsettled.fileName);
        break;
    case Settled::Absent:
        // It will not go, and neither will the numbers after it: one report
        // says both.
        log(u"Fax non inviato: job %1 was not queued by the fax server (%2)"_s.arg(unsettled.job,
                                                                                   unsettled.report->reason));
        if (m_host)
            m_host->sessionMessage(texts::jobNotQueued(unsettled.job, unsettled.number, unsettled.failure));
        return;
    case Settled::CreatedOnly:
    case Settled::Unknown:
        // Still made and not submitted, asked twice: the session that made
        // it is still open on the server's side, and a "jsubm" held up on
        // the way may yet queue it. Only its deletion proves it will not go.
        log(u"Fax: outcome of job %1 unknown: %2"_s.arg(
            unsettled.job,
            settled == Settled::CreatedOnly
                ? u"still %1 on the fax server, its session not ended there"_s.arg(
                      unsettled.report->serverState)
            : !error.isEmpty() ? error
            : unsettled.report
                ? u"the fax server said \"%1\""_s.arg(
                      QString(unsettled.report->serverState + u' ' + unsettled.report->reason).trimmed())
                : u"no answer about it"_s));
        if (m_host)
            m_host->sessionMessage(texts::outcomeUnknown(unsettled.job, unsettled.number, unsettled.failure));
        break;
    }
    // The numbers after it were never tried, for the reason the session ended.
    if (unsettled.numbersLeft > 0 && m_host && m_generation == generation) {
        log(u"Fax non inviato: the session ended before the remaining numbers"_s);
        m_host->sessionMessage(unsettled.failure);
    }
}

void FaxSession::retire()
{
    m_host = nullptr;
    m_check.reset();
    endSession();
}

} // namespace kestrel
