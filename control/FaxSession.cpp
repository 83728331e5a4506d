#include "FaxSession.h"

#include "ControlState.h"
#include "DebugLog.h"
#include "Messages.h"
#include "PassiveReply.h"
#include "Ports.h"
#include "SessionText.h"
#include "Wait.h"

#include <QThread>

using namespace Qt::StringLiterals;

namespace kestrel {

SessionLimits SessionLimits::fromEnvironment()
{
    SessionLimits limits;
    bool ok = false;
    const int seconds = qEnvironmentVariableIntValue("KESTREL_WAIT_SECONDS", &ok);
    if (ok && seconds > 0) {
        const int ms = seconds * 1000;
        limits = {ms, ms, ms, ms};
    }
    return limits;
}

FaxSession::FaxSession(SessionHost& host, QObject* parent)
    : QObject(parent), m_host(host), m_limits(SessionLimits::fromEnvironment())
{
    m_cmd.setObjectName(u"sCmd"_s);
    m_replyTimer.setSingleShot(true);
    m_stallTimer.setSingleShot(true);
    connect(&m_cmd, &SocketComponent::DataArrival, this, &FaxSession::onCommandData);
    connect(&m_cmd, &SocketComponent::Error, this, [this](int number, const QString& description) {
        const bool connecting = m_phase == Phase::Connecting;
        abandon(u"Command connection error %1: %2"_s.arg(number).arg(description),
                connecting ? messages::serverUnreachable(ControlState::current().IndirizzoIP)
                           : messages::ConnectionDropped);
    });
    connect(&m_cmd, &SocketComponent::Close, this, [this] {
        // Replies that came with the close are still handled first.
        onCommandData();
        abandon(u"The fax server closed the command connection"_s, messages::ConnectionDropped);
    });
    connect(&m_replyTimer, &QTimer::timeout, this, [this] {
        const QString waitingFor = m_pending.isEmpty() ? QString() : m_pending.head().command;
        abandon(u"No reply to \"%1\" within %2 s"_s.arg(waitingFor).arg(m_limits.reply / 1000),
                messages::ReplyTimeout);
    });
    connect(&m_stallTimer, &QTimer::timeout, this, [this] {
        abandon(u"The transfer made no progress for %1 s"_s.arg(m_limits.transferStall / 1000),
                messages::TransferFailed);
    });
    connect(&m_data, &DataChannel::progressed, this, [this] {
        if (m_phase == Phase::Uploading)
            m_stallTimer.start(m_limits.transferStall);
    });
    connect(&m_data, &DataChannel::failed, this, [this](const QString& reason, bool documentUnreadable) {
        const ControlState& state = ControlState::current();
        abandon(reason, documentUnreadable
                            ? messages::unreadableDocument(state.FileList.value(state.CurrentFile))
                            : messages::TransferFailed);
    });
    connect(&m_data, &DataChannel::SendComplete, this, &FaxSession::onSendComplete);
}

QVariant FaxSession::start()
{
    ControlState& state = ControlState::current();

    if (m_cmd.state() != SocketComponent::Closed) {
        m_cmd.close();
        waitUntil([this] { return m_cmd.state() == SocketComponent::Closed; }, m_limits.reply);
    }
    m_data.close();
    m_replyTimer.stop();
    m_stallTimer.stop();
    m_splitter.reset();
    m_pending.clear();
    const quint64 generation = ++m_generation;
    m_phase = Phase::Connecting;
    // A code left from an earlier session must not pass for this greeting.
    state.LastReplyCode.clear();

    m_cmd.connectTo(state.IndirizzoIP, ports::faxServer());
    m_pending.enqueue({u"(connect)"_s});
    DebugLog(state.IndirizzoIP);

    const WaitOutcome outcome =
        waitUntil([&state] { return state.LastReplyCode == "220"_L1; }, m_limits.greeting,
                  [this, generation] { return m_generation != generation; });
    if (outcome == WaitOutcome::TimedOut) {
        abandon(u"No greeting from %1 within %2 s"_s.arg(state.IndirizzoIP).arg(m_limits.greeting / 1000),
                messages::noGreeting(state.IndirizzoIP));
        return {};
    }
    if (outcome == WaitOutcome::Failed || outcome == WaitOutcome::Interrupted)
        return {};
    m_phase = Phase::Running;
    send({u"USER "_s + state.NomeUtente});
    return u"OnRun"_s;
}

void FaxSession::send(const QStringList& commands)
{
    for (const QString& command : commands) {
        // An empty line identifier makes the server refuse the modem line;
        // the job then keeps its default line.
        const bool emptyModem = command == "jparm modem "_L1;
        m_pending.enqueue({command, emptyModem});
    }
    if (m_cmd.sendData(commandBytes(commands)) < 0) {
        abandon(u"Cannot send on the command connection: "_s + m_cmd.lastErrorDescription(),
                messages::ConnectionDropped);
        return;
    }
    if (m_phase != Phase::Uploading)
        restartReplyTimer();
}

void FaxSession::restartReplyTimer()
{
    if (m_pending.isEmpty())
        m_replyTimer.stop();
    else
        m_replyTimer.start(m_limits.reply);
}

void FaxSession::onCommandData()
{
    const quint64 generation = m_generation;
    if (!m_splitter.feed(m_cmd.getData())) {
        abandon(u"The fax server sent a line too long to be a reply"_s, messages::ConnectionDropped);
        return;
    }
    // Nested handlers (inside the waits below) drain the same queue, so each
    // reply is handled exactly once, in order.
    while (m_generation == generation && m_splitter.hasReply())
        handleReply(m_splitter.takeReply());
}

void FaxSession::handleReply(const Reply& reply)
{
    ControlState& state = ControlState::current();
    const quint64 generation = m_generation;
    const QString& text = reply.text;
    state.LastReplyCode = reply.codeText();

    const bool active = m_phase != Phase::Idle && m_phase != Phase::Failed && m_phase != Phase::Submitted;
    if (!active) {
        DebugLog(text);
        return;
    }

    if (reply.isRefusal())
        DebugLog(text);
    if (reply.isRefusal() && m_pending.isEmpty()) {
        // Unasked, such as a server closing an idle session.
        abandon(u"The fax server said: "_s + text, messages::refusedByServer(text));
        return;
    }

    bool accepted = false;
    if (reply.code >= 200 && !m_pending.isEmpty()) {
        const Pending answered = m_pending.dequeue();
        if (reply.code == 530) {
            loginRefused();
            return;
        }
        if (reply.isRefusal()) {
            if (!answered.mayBeRefused) {
                abandon(u"The fax server refused \"%1\": %2"_s.arg(answered.command, text),
                        messages::refusedByServer(text));
                return;
            }
        }
        accepted = answered.command == "jsubm"_L1 && reply.code / 100 == 2;
        if (m_phase != Phase::Uploading)
            restartReplyTimer();
    }

    if (text.contains("job created"_L1)) {
        state.JobNumber = TextBetween(text, u"id:"_s, u"g"_s).trimmed();
        DebugLog(u"Job Numero:"_s + state.JobNumber);
        if (state.JobNumber.isEmpty()) {
            abandon(u"No job number in: "_s + text, messages::NoJobNumber);
            return;
        }
        send(jobParameterBatch(state.NomeUtente, state.FaxNumber, state.ModemInvio, state.MaxDials));
    }

    const QString code = reply.codeText();
    if (code == "227"_L1) {
        OpenDataConnection(text);
        if (m_generation != generation)
            return;
        const int current = state.CurrentFile;
        const QString path = state.FileList.value(current);
        UploadFile(path, remoteName(state.JobNumber, current, path));
        if (m_generation != generation)
            return;
    } else if (code == "230"_L1) {
        send({u"jnew"_s});
    } else if (code == "331"_L1) {
        send({u"PASS "_s + state.PasswordUtente});
    }

    if (text.contains("213 NOTIFYADDR"_L1))
        send({u"cwd /tmp"_s, u"PASV"_s});
    if (text.contains("213 SENDTIME"_L1))
        send({notifyAddressCommand(state.notifyAddress)});

    if (!reply.isRefusal())
        DebugLog(text);

    if (accepted && m_generation == generation) {
        m_phase = Phase::Submitted;
        m_replyTimer.stop();
        const QString jobNumber = state.JobNumber;
        const QString sentFiles = state.FileName;
        m_host.sessionFaxSubmitted(jobNumber, sentFiles);
        chiuditutto(false);
    }
}

void FaxSession::OpenDataConnection(const QString& reply)
{
    const auto address = parsePassiveReply(reply);
    if (!address) {
        abandon(u"Unusable passive reply: "_s + reply, messages::TransferFailed);
        return;
    }
    DebugLog(u"Data Connection IP:"_s + address->host + u"Port: "_s + QString::number(address->port));
    m_data.OpenDataConnection(*address);
}

void FaxSession::UploadFile(const QString& path, const QString& name)
{
    ControlState& state = ControlState::current();
    const quint64 generation = m_generation;
    if (isTextSuffix(path))
        DebugLog(u".TXT non supportato "_s + path);

    int errorNumber = 0;
    QString errorDescription;
    if (!m_data.openFile(path, &errorNumber, &errorDescription)) {
        DebugLog(u"UploadFile ERRORE: "_s + QString::number(errorNumber) + errorDescription);
        abandon(u"Cannot read "_s + path, messages::unreadableDocument(path));
        return;
    }
    send({u"STOR /tmp/"_s + name});
    if (m_generation != generation)
        return;
    // The wait below has its own limit for the opening of the transfer.
    m_replyTimer.stop();
    const WaitOutcome outcome =
        waitUntil([&state] { return state.LastReplyCode == "150"_L1 || state.LastReplyCode == "125"_L1; },
                  m_limits.transferStart, [this, generation] { return m_generation != generation; });
    if (outcome == WaitOutcome::TimedOut) {
        abandon(u"The fax server did not open the transfer of %1 within %2 s"_s.arg(name).arg(
                    m_limits.transferStart / 1000),
                messages::TransferFailed);
        return;
    }
    if (outcome == WaitOutcome::Failed || outcome == WaitOutcome::Interrupted)
        return;
    // The reply to STOR comes when the transfer ends; until then only the
    // transfer's own progress is timed.
    m_phase = Phase::Uploading;
    m_replyTimer.stop();
    m_stallTimer.start(m_limits.transferStall);
    m_data.startSending();
}

void FaxSession::onSendComplete()
{
    if (m_phase != Phase::Uploading)
        return;
    ControlState& state = ControlState::current();
    m_stallTimer.stop();
    m_data.close();
    DebugLog(u"File Inviato"_s);
    m_phase = Phase::Running;
    if (state.CurrentFile < state.FileCount) {
        state.CurrentFile += 1;
        send({u"PASV"_s});
        return;
    }
    QStringList names;
    for (int i = 1; i <= state.FileCount; ++i)
        names << remoteName(state.JobNumber, i, state.FileList.value(i));
    m_phase = Phase::Submitting;
    send(submitBatch(names, state.ChopOn != VbFalse));
}

void FaxSession::chiuditutto(bool calledByHost)
{
    const int dataState = m_data.state();
    DebugLog(u"JOB subimitted DataSocket:"_s + QString::number(dataState));
    if (dataState != SocketComponent::Closed)
        m_data.close();
    // The pause lets a submit batch reach the server before anything else
    // happens. After a confirmed job nothing is in flight, so it is skipped.
    if (calledByHost && m_cmd.state() != SocketComponent::Closed)
        QThread::msleep(1000);
    DebugLog(u"JOB subimitted CMDSocket:"_s + QString::number(m_cmd.state()));
}

void FaxSession::loginRefused()
{
    ++m_generation;
    m_phase = Phase::Failed;
    m_replyTimer.stop();
    m_stallTimer.stop();
    m_pending.clear();
    m_host.sessionMessageBox().show(
        {messages::LoginRefused, u"KestrelOCX"_s, MsgIcon::Critical, MsgButtons::Ok});
    m_data.close();
    m_cmd.close();
    m_phase = Phase::Idle;
}

void FaxSession::abandon(const QString& why, const QString& message)
{
    if (m_phase == Phase::Idle || m_phase == Phase::Failed || m_phase == Phase::Submitted)
        return;
    ++m_generation;
    m_phase = Phase::Failed;
    m_replyTimer.stop();
    m_stallTimer.stop();
    m_pending.clear();
    m_data.close();
    m_cmd.close();
    m_splitter.reset();
    DebugLog(u"Fax non inviato: "_s + why);
    m_host.sessionMessage(message);
}

} // namespace kestrel
