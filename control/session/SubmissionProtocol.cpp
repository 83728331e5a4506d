#include "SubmissionProtocol.h"

#include "ControlTexts.h"
#include "PassiveReply.h"
#include "SessionText.h"

#include <QRegularExpression>

#include <algorithm>

namespace kestrel {
namespace {

// A reply quoted in a message to the user: its first line, not too long.
QString quoted(const QString& text)
{
    constexpr qsizetype Longest = 120;
    QString line = text.section(u"\r\n"_s, 0, 0);
    if (line.size() > Longest)
        line = line.left(Longest) + u"..."_s;
    return line;
}

bool isPassiveOpening(const Reply& reply)
{
    return reply.code == 150 || reply.code == 125;
}

// Whether a reply that is no refusal is the answer, in hfaxd's words, to
// the command: "213 NAME set to ..." for a job parameter, "200 Added
// document ..." for a document, 250 for a change of folder.
bool answersCommand(const QString& command, const Reply& reply)
{
    const QString verb = command.section(u' ', 0, 0).toLower();
    if (verb == u"jparm"_s) {
        const QString name = command.section(u' ', 1, 1).toUpper();
        if (name == u"DOCUMENT"_s)
            return reply.code == 200 && reply.text.contains(u"Added document"_s, Qt::CaseInsensitive);
        return reply.code == 213 && reply.text.section(u"\r\n"_s, 0, 0).contains(name + u" set to"_s);
    }
    if (verb == u"cwd"_s)
        return reply.code == 250;
    if (verb == u"type"_s)
        return reply.code == 200 && reply.text.contains(u"Type set to"_s, Qt::CaseInsensitive);
    return reply.code / 100 == 2;
}

// Whether the first line of a reply names the job: hfaxd's answers to
// "jsubm" do ("200 Job N submitted.", "460 Failed to submit job N: ...",
// "504 Job N not submitted; ...").
bool namesJob(const Reply& reply, const QString& job)
{
    const QRegularExpression named(u"\\bjob %1\\b"_s.arg(QRegularExpression::escape(job)),
                                   QRegularExpression::CaseInsensitiveOption);
    return named.match(reply.text.section(u"\r\n"_s, 0, 0)).hasMatch();
}

} // namespace

SubmissionProtocol::SubmissionProtocol(Submission submission) : m_submission(std::move(submission))
{
    m_pending.enqueue({Kind::Greeting, u"(connect)"_s});
}

QString SubmissionProtocol::shownCommand(const QString& command)
{
    if (command.startsWith(u"PASS "_s))
        return u"PASS ********"_s;
    return command;
}

QString SubmissionProtocol::waitingFor() const
{
    return m_pending.isEmpty() ? QString() : shownCommand(m_pending.head().command);
}

void SubmissionProtocol::send(ProtocolStep& step, Kind kind, const QString& command)
{
    if (kind == Kind::Submit)
        m_jsubmUnanswered = true;
    m_pending.enqueue({kind, command});
    step.commands << command;
}

std::optional<QString> SubmissionProtocol::unsettledJob() const
{
    if (m_unsettled)
        return m_unsettled;
    if (m_jsubmUnanswered)
        return m_jobNumber;
    return std::nullopt;
}

ProtocolStep SubmissionProtocol::fail(const QString& why, const QString& message)
{
    if (m_jsubmUnanswered)
        m_unsettled = m_jobNumber;
    m_ended = true;
    m_pending.clear();
    ProtocolStep step;
    step.failure = SessionFailure{why, message};
    return step;
}

ProtocolStep SubmissionProtocol::refused(const Pending& asked, const Reply& reply)
{
    return fail(u"The fax server refused \"%1\": %2"_s.arg(shownCommand(asked.command), reply.text),
                texts::refusedByServer(quoted(reply.text)));
}

ProtocolStep SubmissionProtocol::unexpected(const QString& what, const Reply& reply)
{
    return fail(what + u": "_s + reply.text, texts::unexpectedReply(quoted(reply.text)));
}

ProtocolStep SubmissionProtocol::onReply(const Reply& reply)
{
    if (m_ended)
        return {};
    if (reply.code < 0)
        return {}; // not a reply: logged by the session, nothing to act on
    if (m_pending.isEmpty()) {
        if (reply.isRefusal()) // such as a server closing an idle session
            return fail(u"The fax server said: "_s + reply.text, texts::refusedByServer(quoted(reply.text)));
        if (reply.code == 227 || isPassiveOpening(reply))
            return unexpected(u"Unasked reply"_s, reply);
        return {};
    }
    const Pending& head = m_pending.head();
    if (reply.isPreliminary()) {
        if (!isPassiveOpening(reply))
            return {}; // warnings before the greeting, and the like
        if (head.kind != Kind::Stor || m_transferOpened)
            return unexpected(u"Unasked reply"_s, reply);
        m_transferOpened = true;
        ProtocolStep step;
        step.uploadFile = m_currentFile;
        return step;
    }
    const Pending asked = m_pending.dequeue();
    return answer(asked, reply);
}

ProtocolStep SubmissionProtocol::answer(const Pending& asked, const Reply& reply)
{
    // A passive reply answers PASV and nothing else: taken for another
    // command's answer it would shift every answer after it.
    if (reply.code == 227 && asked.kind != Kind::Pasv)
        return unexpected(u"Unasked reply"_s, reply);
    ProtocolStep step;
    switch (asked.kind) {
    case Kind::Greeting:
        if (reply.code != 220)
            return reply.isRefusal() ? refused(asked, reply) : unexpected(u"No greeting"_s, reply);
        m_greeted = true;
        // hfaxd reads commands ahead of its answers and answers every one of
        // them in order, also after one it refused.
        m_pipelined = reply.text.contains(u"HylaFAX"_s, Qt::CaseInsensitive);
        if (m_pipelined)
            step.log << u"The fax server takes commands in batches"_s;
        send(step, Kind::User, u"USER "_s + m_submission.userName);
        return step;
    case Kind::User:
    case Kind::Pass:
        if (reply.code == 530) {
            m_ended = true;
            m_pending.clear();
            step.loginRefused = true;
            return step;
        }
        if (reply.code == 331 && asked.kind == Kind::User) {
            send(step, Kind::Pass, u"PASS "_s + m_submission.password);
            return step;
        }
        if (reply.code != 230)
            return reply.isRefusal() ? refused(asked, reply) : unexpected(u"Login"_s, reply);
        // Asked together with the job: the answer costs no wait of its own.
        // Only when a file compresses: the others go as they are.
        if (m_submission.compress &&
            std::any_of(m_submission.files.cbegin(), m_submission.files.cend(),
                        [this, i = 0](const QString&) mutable { return compresses(i++); })) {
            send(step, Kind::Mode, u"MODE Z"_s);
            m_modeZ = true;
        }
        send(step, Kind::Jnew, u"jnew"_s);
        if (m_pipelined) {
            // A new job is the current one: its parameters need no number.
            sendJobParameters(step, m_jobIndex);
            send(step, Kind::NotifyAddress, notifyAddressCommand(m_submission.notifyAddress));
            // The first upload's mode is known before the answer to "MODE Z"
            // only when that file compresses; else the passive request
            // follows the answers, which may switch the mode.
            if (!m_modeZ || compresses(0)) {
                requestPassive(step, true);
                m_aheadSent = true;
            }
        }
        return step;
    case Kind::Mode:
        if (reply.code / 100 == 2) {
            m_serverTakesZ = m_serverTakesZ || m_modeZ;
            return step;
        }
        // Refused: the server keeps (or goes back to) plain transfers.
        step.log << u"The fax server does not take compressed transfers: "_s + reply.text;
        m_serverTakesZ = false;
        m_modeZ = false;
        return step;
    case Kind::Jnew:
        if (reply.isRefusal())
            return refused(asked, reply);
        return jobCreated(reply);
    case Kind::OptionalParameter:
        if (reply.isRefusal())
            return {}; // an empty line identifier: the job keeps its default line
        if (auto wrong = mismatch(asked, reply))
            return *wrong;
        return step;
    case Kind::Parameter:
    case Kind::Cwd:
        if (reply.isRefusal())
            return refused(asked, reply);
        if (auto wrong = mismatch(asked, reply))
            return *wrong;
        return step;
    case Kind::JobLine:
        if (reply.isRefusal())
            return refused(asked, reply);
        if (auto wrong = mismatch(asked, reply))
            return *wrong;
        // The job goes in only as the server has taken every line of it: a
        // refused document line must never leave a job without its document.
        if (m_pending.isEmpty()) {
            send(step, Kind::Submit, u"jsubm"_s);
            // Whatever the answer, the server goes on with the next job: a
            // refused "jsubm" leaves it made and never submitted, and it
            // goes with the session, which then ends.
            if (m_pipelined && m_jobIndex + 1 < m_submission.numbers.size())
                sendNextJob(step);
        }
        return step;
    case Kind::SendTime:
        if (reply.isRefusal())
            return refused(asked, reply);
        if (auto wrong = mismatch(asked, reply))
            return *wrong;
        if (!m_pipelined)
            send(step, Kind::NotifyAddress, notifyAddressCommand(m_submission.notifyAddress));
        return step;
    case Kind::NotifyAddress:
        if (reply.isRefusal())
            return refused(asked, reply);
        if (auto wrong = mismatch(asked, reply))
            return *wrong;
        if (m_aheadSent)
            return step;
        if (m_remoteNames.size() < m_submission.files.size())
            requestPassive(step, true);
        else
            submitBatch(step); // a later job of the session: the uploads are there
        return step;
    case Kind::Pasv: {
        if (reply.isRefusal())
            return refused(asked, reply);
        if (reply.code != 227)
            return unexpected(u"Not a passive reply"_s, reply);
        const std::optional<quint16> port = passivePort(reply.text);
        if (!port)
            return fail(u"Unusable passive reply: "_s + reply.text, texts::transferFailed());
        const QString path = m_submission.files.value(m_currentFile);
        const QString name = remoteName(m_jobNumber, m_currentFile + 1, path);
        if (isTextSuffix(path))
            step.log << u".TXT non supportato "_s + path;
        step.openDataPort = *port;
        m_remoteNames << name;
        m_transferOpened = false;
        m_fileSent = false;
        send(step, Kind::Stor, u"STOR /tmp/"_s + name);
        return step;
    }
    case Kind::Stor:
        return transferDone(asked, reply);
    case Kind::Size:
        return sizeAnswered(asked, reply);
    case Kind::Submit:
        // Pipelined, only an answer that names the job is the answer to its
        // "jsubm"; any other proves nothing about the job (one to the
        // commands sent after it says that the server went on without
        // answering it), which is then asked about.
        if (m_pipelined && !namesJob(reply, m_jobNumber)) {
            const QString why =
                u"No answer to jsubm of job %1; the next reply: %2"_s.arg(m_jobNumber, reply.text);
            if (reply.isRefusal())
                return fail(why, texts::refusedByServer(quoted(reply.text)));
            if (reply.text.contains(u"submit"_s, Qt::CaseInsensitive))
                return fail(why, texts::unexpectedReply(quoted(reply.text)));
            return fail(why, texts::replyTimeout());
        }
        // A refusal and a confirmation are the server's word on the job;
        // anything else leaves it open.
        if (reply.isRefusal()) {
            m_jsubmUnanswered = false;
            return refused(asked, reply);
        }
        if (m_pipelined && !reply.text.contains(u"submitted"_s, Qt::CaseInsensitive))
            return unexpected(u"Not the answer to jsubm of job "_s + m_jobNumber, reply);
        if (reply.code / 100 == 2)
            m_jsubmUnanswered = false;
        return jobSubmitted(reply);
    }
    return step;
}

ProtocolStep SubmissionProtocol::jobCreated(const Reply& reply)
{
    if (!reply.text.contains(u"job created"_s))
        return unexpected(u"No job created"_s, reply);
    m_jobNumber = TextBetween(reply.text, u"id:"_s, u"g"_s).trimmed();
    ProtocolStep step;
    step.log << u"Job Numero:"_s + m_jobNumber;
    // The number becomes part of file names and commands.
    if (!isPlainJobNumber(m_jobNumber)) {
        ProtocolStep failed = fail(u"No usable job number in: "_s + reply.text, texts::noJobNumber());
        failed.log = step.log;
        return failed;
    }
    // Two jobs under one number: the second would be reported, queried and
    // named in documents as the first.
    if (m_jobNumbers.contains(m_jobNumber)) {
        ProtocolStep failed = unexpected(u"Job number given twice"_s, reply);
        failed.log = step.log;
        return failed;
    }
    m_jobNumbers << m_jobNumber;
    if (!m_pipelined) // else they went with "jnew"
        sendJobParameters(step, m_jobIndex);
    return step;
}

void SubmissionProtocol::sendJobParameters(ProtocolStep& step, int jobIndex)
{
    const QStringList batch =
        jobParameterBatch(m_submission.userName, m_submission.numbers.value(jobIndex), m_submission.modem,
                          m_submission.maxDials, m_submission.options);
    for (const QString& command : batch) {
        Kind kind = Kind::Parameter;
        if (command == u"jparm modem "_s)
            kind = Kind::OptionalParameter;
        else if (command.startsWith(u"jparm sendtime "_s))
            kind = Kind::SendTime;
        send(step, kind, command);
    }
}

void SubmissionProtocol::sendNextJob(ProtocolStep& step)
{
    // The server numbers new jobs from its root folder; the uploads moved
    // the session to /tmp. The uploads are there: the job names them.
    send(step, Kind::Cwd, u"cwd /"_s);
    send(step, Kind::Jnew, u"jnew"_s);
    sendJobParameters(step, m_jobIndex + 1);
    send(step, Kind::NotifyAddress, notifyAddressCommand(m_submission.notifyAddress));
    submitBatch(step);
    m_aheadSent = true;
}

std::optional<ProtocolStep> SubmissionProtocol::mismatch(const Pending& asked, const Reply& reply)
{
    if (!m_pipelined || answersCommand(asked.command, reply))
        return std::nullopt;
    return unexpected(u"Not the answer to \"%1\""_s.arg(shownCommand(asked.command)), reply);
}

void SubmissionProtocol::requestPassive(ProtocolStep& step, bool firstFile)
{
    if (firstFile)
        send(step, Kind::Cwd, u"cwd /tmp"_s);
    // Each file in the mode that suits it, switched only when it changes.
    const bool wanted = m_serverTakesZ && compresses(m_currentFile);
    if (m_serverTakesZ && wanted != m_modeZ) {
        m_modeZ = wanted;
        send(step, Kind::Mode, wanted ? u"MODE Z"_s : u"MODE S"_s);
    }
    send(step, Kind::Pasv, u"PASV"_s);
}

ProtocolStep SubmissionProtocol::onFileSent(qint64 fileBytes)
{
    if (m_ended || !transferring())
        return {};
    m_fileSent = true;
    m_fileBytes = fileBytes;
    ProtocolStep step;
    step.log << u"File Inviato"_s;
    return step;
}

ProtocolStep SubmissionProtocol::transferDone(const Pending& asked, const Reply& reply)
{
    if (!m_transferOpened) { // refused before any byte moved
        return reply.isRefusal() ? refused(asked, reply)
                                 : unexpected(u"Transfer confirmed before it was opened"_s, reply);
    }
    if (reply.code / 100 != 2)
        return fail(u"The transfer of %1 failed: %2"_s.arg(m_remoteNames.value(m_currentFile), reply.text),
                    texts::transferFailed());
    if (!m_fileSent)
        return unexpected(u"Transfer confirmed before it was sent"_s, reply);
    m_transferOpened = false;
    m_fileSent = false;
    ProtocolStep step;
    // A 226 says that the data connection ended in order, not that the file
    // is whole (hfaxd confirms a compressed stream cut short): the server is
    // asked what it holds. The answer comes before those to the commands
    // sent with the question, and before any "jsubm".
    if (!m_sizeUnknown) {
        send(step, Kind::Size, u"SIZE /tmp/"_s + m_remoteNames.value(m_currentFile));
        m_pending.last().file = m_currentFile;
        m_pending.last().bytes = m_fileBytes;
    }
    if (++m_currentFile < m_submission.files.size())
        requestPassive(step, false);
    else
        submitBatch(step);
    return step;
}

ProtocolStep SubmissionProtocol::sizeAnswered(const Pending& asked, const Reply& reply)
{
    const QString path = m_submission.files.value(asked.file);
    const QString name = m_remoteNames.value(asked.file);
    ProtocolStep step;
    if (reply.code == 500 || reply.code == 502) {
        // A server that does not know the command gives no proof beyond its
        // 226. Refusing every fax on it would make it unusable, while hfaxd,
        // the appliance's server, knows the command: the transfer is taken
        // as confirmed, as it was before the question was asked, and the
        // question is not asked again in this session.
        m_sizeUnknown = true;
        step.log
            << u"The fax server does not tell file sizes (%1): the transfer of %2 is taken as confirmed"_s
                   .arg(reply.text, name);
        return step;
    }
    if (reply.code == 550) // hfaxd: "not a plain file", for a missing one too
        return fail(u"The fax server does not hold %1: %2"_s.arg(name, reply.text),
                    texts::documentIncomplete(path));
    if (reply.isRefusal())
        return refused(asked, reply);
    bool number = false;
    const qint64 held = reply.text.section(u"\r\n"_s, 0, 0).mid(4).trimmed().toLongLong(&number);
    if (reply.code != 213 || !number || held < 0)
        return unexpected(u"Not a file size"_s, reply);
    if (held != asked.bytes) {
        return fail(
            u"The fax server holds %1 bytes of %2, whose file has %3"_s.arg(held).arg(name).arg(asked.bytes),
            texts::documentIncomplete(path));
    }
    step.log << u"%1: %2 bytes on the fax server"_s.arg(name).arg(held);
    return step;
}

void SubmissionProtocol::submitBatch(ProtocolStep& step)
{
    // Everything but "jsubm", which waits for the answers to the rest.
    QStringList batch = kestrel::submitBatch(m_remoteNames, m_submission.chopOn, m_submission.options);
    batch.removeLast();
    for (const QString& command : std::as_const(batch))
        send(step, Kind::JobLine, command);
}

ProtocolStep SubmissionProtocol::jobSubmitted(const Reply& reply)
{
    ProtocolStep step;
    if (reply.code / 100 != 2)
        return unexpected(u"Submission not confirmed"_s, reply);
    step.submittedJob = m_jobNumber;
    if (++m_jobIndex < m_submission.numbers.size()) {
        if (m_pipelined)
            return step; // the next job went out with "jsubm"
        // The server numbers new jobs from its root folder; the uploads
        // moved the session to /tmp.
        send(step, Kind::Cwd, u"cwd /"_s);
        send(step, Kind::Jnew, u"jnew"_s);
        return step;
    }
    m_ended = true;
    step.finished = true;
    return step;
}

} // namespace kestrel
