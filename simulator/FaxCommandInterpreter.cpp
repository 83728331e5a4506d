#include "FaxCommandInterpreter.h"

#include "FaxReplies.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

namespace kestrel::simulator {
namespace {

using namespace Qt::StringLiterals;

// Commands this server knows; anything else is "not recognized", logged in or not.
const QStringList knownVerbs{u"USER"_s,  u"PASS"_s, u"QUIT"_s,  u"NOOP"_s, u"TYPE"_s,
                             u"CWD"_s,   u"PASV"_s, u"STOR"_s,  u"JNEW"_s, u"JPARM"_s,
                             u"JSUBM"_s, u"JOB"_s,  u"JKILL"_s, u"MODE"_s, u"SIZE"_s};
const QStringList verbsBeforeLogin{u"USER"_s, u"PASS"_s, u"QUIT"_s, u"NOOP"_s};

// What JPARM shows for a parameter the job never set (hfaxd's defaults).
QString defaultValue(const QString& name)
{
    static const QHash<QString, QString> defaults{
        {u"modem"_s, u"any"_s},       {u"maxdials"_s, u"12"_s},  {u"maxtries"_s, u"3"_s},
        {u"vres"_s, u"98"_s},         {u"usexvres"_s, u"NO"_s},  {u"usetagline"_s, u"NO"_s},
        {u"useecm"_s, u"YES"_s},      {u"sendtime"_s, u"NOW"_s}, {u"lasttime"_s, u"000300"_s},
        {u"retrytime"_s, u"0000"_s},  {u"notify"_s, u"NONE"_s},  {u"pagechop"_s, u"DEFAULT"_s},
        {u"chopthreshold"_s, u"3"_s}, {u"pagelength"_s, u"0"_s}, {u"pagewidth"_s, u"0"_s},
    };
    return defaults.value(name);
}

QString stripLeadingSpaces(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i) == u' ')
        ++i;
    return text.mid(i);
}

std::optional<bool> parseBoolean(const QString& text)
{
    const QString lower = text.toLower();
    if (lower == u"yes"_s || lower == u"true"_s || lower == u"on"_s || lower == u"1"_s)
        return true;
    if (lower == u"no"_s || lower == u"false"_s || lower == u"off"_s || lower == u"0"_s)
        return false;
    return std::nullopt;
}

bool isDigits(const QString& text, qsizetype count)
{
    if (text.size() != count)
        return false;
    for (QChar c : text) {
        if (!c.isDigit())
            return false;
    }
    return true;
}

// The type hfaxd reports for a document is taken from its content.
QString documentType(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return u"DATA"_s;
    const QByteArray head = file.read(8);
    if (head.startsWith("%!"))
        return u"PS"_s;
    if (head.startsWith("%PDF"))
        return u"PDF"_s;
    if (head.startsWith("II*") || head.startsWith(QByteArrayView("MM\0*", 4)))
        return u"TIFF"_s;
    return u"DATA"_s;
}

using Outcome = FaxCommandInterpreter::Outcome;
using Next = FaxCommandInterpreter::Next;

Outcome answer(const QByteArray& reply, Next next = Next::Continue)
{
    Outcome outcome;
    if (!reply.isEmpty())
        outcome.replies << reply;
    outcome.next = next;
    return outcome;
}

} // namespace

FaxCommandInterpreter::FaxCommandInterpreter(JobStore& store, const LoginPolicy& policy, FaultPlan& faults)
    : m_store(store), m_policy(policy), m_faults(faults)
{}

FaxCommandInterpreter::~FaxCommandInterpreter()
{
    if (m_keepMade)
        return;
    for (const int id : std::as_const(m_madeHere))
        m_store.forgetCreated(id);
}

FaxCommandInterpreter::Outcome FaxCommandInterpreter::handle(const QByteArray& line)
{
    Command command;
    command.line = QString::fromLatin1(line); // bytes kept as they are, echoed back the same
    const qsizetype space = command.line.indexOf(u' ');
    command.hasArgument = space >= 0;
    command.verb = (command.hasArgument ? command.line.left(space) : command.line).toUpper();
    command.argument = command.hasArgument ? command.line.mid(space + 1) : QString();
    return dispatch(command);
}

FaxCommandInterpreter::Outcome FaxCommandInterpreter::handleTooLong()
{
    return answer(replies::line(500, u"Command line too long."_s));
}

FaxCommandInterpreter::Outcome FaxCommandInterpreter::dispatch(const Command& c)
{
    if (!knownVerbs.contains(c.verb) || (c.verb == u"SIZE"_s && m_faults.has(Fault::SizeUnknown)))
        return answer(replies::line(500, c.verb + u": Command not recognized."_s));
    if (!m_loggedIn && !verbsBeforeLogin.contains(c.verb))
        return answer(replies::line(530, u"Please login with USER and PASS."_s));

    static const QStringList withoutArgument{u"QUIT"_s, u"NOOP"_s, u"PASV"_s, u"JNEW"_s};
    static const QStringList withArgument{u"USER"_s, u"PASS"_s, u"TYPE"_s, u"CWD"_s,
                                          u"STOR"_s, u"JOB"_s,  u"MODE"_s, u"SIZE"_s};
    if (withoutArgument.contains(c.verb) && c.hasArgument)
        return answer(replies::syntaxError(c.line, u"expecting <CRLF>"_s));
    if (withArgument.contains(c.verb)) {
        if (!c.hasArgument)
            return answer(replies::syntaxError(c.line, u"expecting <SP>"_s));
        if (c.argument.isEmpty())
            return answer(replies::syntaxError(c.line, u"expecting <STRING>"_s));
    }

    if (c.verb == u"USER"_s)
        return user(c);
    if (c.verb == u"PASS"_s)
        return pass(c);
    if (c.verb == u"QUIT"_s)
        return answer(replies::goodbye(), Next::Close);
    if (c.verb == u"NOOP"_s)
        return answer(replies::line(200, u"NOOP command successful."_s));
    if (c.verb == u"TYPE"_s)
        return type(c);
    if (c.verb == u"CWD"_s)
        return cwd(c);
    if (c.verb == u"PASV"_s)
        return answer({}, Next::OpenPassive);
    if (c.verb == u"STOR"_s)
        return stor(c);
    if (c.verb == u"JNEW"_s)
        return jnew();
    if (c.verb == u"JPARM"_s)
        return jparm(c);
    if (c.verb == u"JOB"_s)
        return job(c);
    if (c.verb == u"MODE"_s)
        return mode(c);
    if (c.verb == u"JKILL"_s)
        return jkill(c);
    if (c.verb == u"SIZE"_s)
        return size(c);
    return jsubm(c);
}

FaxCommandInterpreter::Outcome FaxCommandInterpreter::user(const Command& c)
{
    m_loggedIn = false;
    m_pendingUser = c.argument;
    if (!m_policy.noPassword)
        return answer(replies::line(331, u"Password required for %1."_s.arg(c.argument)));
    if (m_faults.has(Fault::RefuseLogin) || (m_policy.user && *m_policy.user != c.argument))
        return loginFailed();
    m_loggedIn = true;
    m_user = c.argument;
    m_pendingUser.clear();
    return answer(replies::line(230, u"User %1 logged in."_s.arg(m_user)));
}

FaxCommandInterpreter::Outcome FaxCommandInterpreter::pass(const Command& c)
{
    if (m_loggedIn)
        return answer(replies::line(503, u"Already logged in as USER %1."_s.arg(m_user)));
    if (m_pendingUser.isEmpty())
        return answer(replies::line(503, u"Login with USER first."_s));
    const bool accepted = !m_faults.has(Fault::RefuseLogin) &&
                          (!m_policy.user || *m_policy.user == m_pendingUser) &&
                          (!m_policy.password || *m_policy.password == c.argument);
    if (!accepted)
        return loginFailed();
    m_loggedIn = true;
    m_user = m_pendingUser;
    m_pendingUser.clear();
    return answer(replies::line(230, u"User %1 logged in."_s.arg(m_user)));
}

FaxCommandInterpreter::Outcome FaxCommandInterpreter::loginFailed()
{
    // hfaxd forgets the user after a failure and hangs up on the fifth.
    m_pendingUser.clear();
    if (++m_loginFailures >= 5)
        return answer(replies::line(530, u"Login incorrect (closing connection)."_s), Next::Close);
    return answer(replies::loginIncorrect());
}

FaxCommandInterpreter::Outcome FaxCommandInterpreter::type(const Command& c)
{
    if (c.argument.contains(u' '))
        return answer(replies::syntaxError(c.line, u"expecting <CRLF>"_s));
    const QString type = c.argument.toUpper();
    if (type == u"I"_s)
        return answer(replies::line(200, u"Type set to Image."_s));
    if (type == u"A"_s)
        return answer(replies::line(200, u"Type set to ASCII."_s));
    return answer(replies::line(504, u"Type %1 not supported."_s.arg(c.argument)));
}

QString FaxCommandInterpreter::resolve(const QString& path) const
{
    return QDir::cleanPath(path.startsWith(u'/') ? path : m_cwd + u'/' + path);
}

FaxCommandInterpreter::Outcome FaxCommandInterpreter::cwd(const Command& c)
{
    // The server's tree is "/" and "/tmp", where uploads go.
    const QString target = resolve(c.argument);
    if (target != u"/"_s && target != u"/tmp"_s)
        return answer(replies::noSuchFile(c.argument));
    m_cwd = target;
    return answer(replies::line(250, u"CWD command successful."_s));
}

FaxCommandInterpreter::Outcome FaxCommandInterpreter::stor(const Command& c)
{
    const QString target = resolve(c.argument);
    if (target == u"/tmp"_s)
        return answer(replies::line(550, c.argument + u": not a plain file."_s));
    if (!target.startsWith(u"/tmp/"_s))
        return answer(replies::notPermitted(c.argument));
    const QString name = target.mid(5);
    if (name.contains(u'/'))
        return answer(replies::noSuchFile(c.argument));
    // An existing name is never overwritten: a document already queued could change under its job.
    if (m_faults.has(Fault::RefuseStor) || !JobStore::isValidUploadName(name) || m_store.uploadExists(name))
        return answer(replies::notPermitted(c.argument));
    Outcome outcome;
    outcome.next = Next::Store;
    outcome.storeName = name;
    outcome.storePath = c.argument;
    outcome.compressed = m_zipMode;
    return outcome;
}

FaxCommandInterpreter::Outcome FaxCommandInterpreter::jnew()
{
    // hfaxd finds its job sequence file relative to the current folder: away
    // from the spool's root, a new job cannot be numbered.
    if (m_cwd != u"/"_s)
        return answer(replies::line(
            503, u"Unable to open sequence number file sendq/seqf; No such file or directory.."_s));
    JobRecord job;
    job.id = m_store.newJobId();
    // Like hfaxd: further jobs of a session join the group of the job before them.
    job.groupId = m_job ? m_job->groupId : job.id;
    job.owner = m_user;
    m_job = job;
    m_jobSubmitted = false;
    m_jobOfAnotherSession = false;
    m_madeHere << job.id;
    m_store.noteCreated(job);
    return answer(
        replies::line(200, u"New job created: jobid: %1 groupid: %2."_s.arg(job.id).arg(job.groupId)));
}

QString FaxCommandInterpreter::currentJobName() const
{
    return m_job ? QString::number(m_job->id) : u"default"_s;
}

std::optional<FaxCommandInterpreter::ParameterKind>
FaxCommandInterpreter::parameterKind(const QString& lowerName)
{
    using K = ParameterKind;
    static const QHash<QString, ParameterKind> kinds{
        {u"fromuser"_s, K::String},   {u"fromcompany"_s, K::String},   {u"fromlocation"_s, K::String},
        {u"fromvoice"_s, K::String},  {u"touser"_s, K::String},        {u"tocompany"_s, K::String},
        {u"tolocation"_s, K::String}, {u"tovoice"_s, K::String},       {u"dialstring"_s, K::String},
        {u"external"_s, K::String},   {u"notify"_s, K::String},        {u"notifyaddr"_s, K::String},
        {u"modem"_s, K::String},      {u"pagechop"_s, K::String},      {u"tagline"_s, K::String},
        {u"tsi"_s, K::String},        {u"subaddr"_s, K::String},       {u"regarding"_s, K::String},
        {u"comments"_s, K::String},   {u"jobinfo"_s, K::String},       {u"usrkey"_s, K::String},
        {u"pagerange"_s, K::String},  {u"passwd"_s, K::String},        {u"doneop"_s, K::String},
        {u"faxnumber"_s, K::String},  {u"dataformat"_s, K::String},    {u"jobtype"_s, K::String},
        {u"maxdials"_s, K::Number},   {u"maxtries"_s, K::Number},      {u"vres"_s, K::Number},
        {u"pagelength"_s, K::Number}, {u"pagewidth"_s, K::Number},     {u"chopthreshold"_s, K::Number},
        {u"schedpri"_s, K::Number},   {u"minbr"_s, K::Number},         {u"begbr"_s, K::Number},
        {u"begst"_s, K::Number},      {u"usexvres"_s, K::Boolean},     {u"usetagline"_s, K::Boolean},
        {u"useecm"_s, K::Boolean},    {u"usecontcover"_s, K::Boolean}, {u"sendtime"_s, K::SendTime},
        {u"lasttime"_s, K::Digits6},  {u"retrytime"_s, K::Digits4},    {u"document"_s, K::Document},
    };
    const auto it = kinds.constFind(lowerName);
    if (it == kinds.constEnd())
        return std::nullopt;
    return *it;
}

FaxCommandInterpreter::Outcome FaxCommandInterpreter::jparm(const Command& c)
{
    if (!c.hasArgument)
        return jobState();
    const qsizetype space = c.argument.indexOf(u' ');
    const QString name = space < 0 ? c.argument : c.argument.left(space);
    // As hfaxd: the current job's state and progress, read only.
    for (const auto& [key, value] : progress()) {
        if (name.compare(key, Qt::CaseInsensitive) != 0)
            continue;
        if (space >= 0)
            return answer(
                replies::line(503, u"Permission denied: no write access to job parameter %1."_s.arg(key)));
        return answer(replies::line(213, value));
    }
    const auto kind = parameterKind(name.toLower());
    if (!kind)
        return answer(replies::line(500, u"JPARM %1: Parameter not recognized."_s.arg(name.toUpper())));
    if (space < 0)
        return queryParameter(name.toLower(), *kind);
    return setParameter(c, name.toLower(), *kind, stripLeadingSpaces(c.argument.mid(space + 1)));
}

FaxCommandInterpreter::Outcome FaxCommandInterpreter::setParameter(const Command& c, const QString& name,
                                                                   ParameterKind kind, const QString& value)
{
    const QString upper = name.toUpper();
    QString shown;
    QString kept = value;
    switch (kind) {
    case ParameterKind::String:
        // An empty value is refused and the job keeps what it had (modem "any").
        if (value.isEmpty())
            return answer(replies::syntaxError(c.line, u"expecting <STRING>"_s));
        if (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"'))
            kept = value.mid(1, value.size() - 2);
        shown = u'"' + kept + u'"';
        break;
    case ParameterKind::Number: {
        if (value.isEmpty())
            return answer(replies::syntaxError(c.line, u"expecting decimal number"_s));
        const qsizetype end = value.indexOf(u' ');
        kept = end < 0 ? value : value.left(end);
        if (!value.mid(kept.size()).trimmed().isEmpty())
            return answer(replies::syntaxError(c.line, u"expecting <CRLF>"_s));
        static const QRegularExpression number(u"^[+-]?[0-9]{1,18}$"_s);
        if (!number.match(kept).hasMatch())
            return answer(replies::syntaxError(c.line, u"invalid number"_s));
        // hfaxd reads numbers as unsigned 32-bit: "-1" comes back as 4294967295.
        shown = QString::number(static_cast<quint32>(kept.toLongLong()));
        break;
    }
    case ParameterKind::Boolean: {
        const auto flag = parseBoolean(value.trimmed());
        if (!flag)
            return answer(replies::syntaxError(c.line, u"invalid boolean value, use YES or NO"_s));
        shown = *flag ? u"YES"_s : u"NO"_s;
        break;
    }
    case ParameterKind::SendTime:
        if (value.trimmed().compare(u"now"_s, Qt::CaseInsensitive) == 0)
            shown = u"NOW"_s;
        else if (isDigits(value.trimmed(), 12))
            shown = value.trimmed() + u"00"_s;
        else
            return answer(replies::syntaxError(c.line, u"bad time value (expecting 12 digits)"_s));
        break;
    case ParameterKind::Digits4:
    case ParameterKind::Digits6: {
        const qsizetype digits = kind == ParameterKind::Digits4 ? 4 : 6;
        if (!isDigits(value.trimmed(), digits))
            return answer(
                replies::syntaxError(c.line, u"bad time value (expecting %1 digits)"_s.arg(digits)));
        shown = value.trimmed();
        break;
    }
    case ParameterKind::Document:
        return addDocument(value);
    }
    currentJob().parameters.append({name, kept});
    return answer(replies::line(213, u"%1 set to %2."_s.arg(upper, shown)));
}

FaxCommandInterpreter::Outcome FaxCommandInterpreter::addDocument(const QString& path)
{
    if (path.isEmpty())
        return answer(replies::noSuchFile(path));
    const QString target = resolve(path);
    const QString name = target.startsWith(u"/tmp/"_s) ? target.mid(5) : QString();
    if (!m_store.uploadExists(name))
        return answer(replies::noSuchFile(path));
    // The job folder keeps its own files under these names.
    if (name == u"job"_s || name == u"submitted"_s)
        return answer(replies::notPermitted(path));
    JobRecord& job = currentJob();
    const QString queued = u"docq/%1.%2"_s.arg(name, currentJobName());
    if (job.documents.contains(name))
        return answer(
            replies::line(550, u"Unable to link document %1 to /%2: File exists."_s.arg(path, queued)));
    job.documents << name;
    job.parameters.append({u"document"_s, u"/tmp/"_s + name});
    return answer(replies::line(200, u"Added document %1 as %2."_s.arg(path, queued)));
}

FaxCommandInterpreter::Outcome FaxCommandInterpreter::queryParameter(const QString& name,
                                                                     ParameterKind kind) const
{
    const JobRecord& job = currentJob();
    if (kind == ParameterKind::Document) {
        Outcome outcome;
        for (const QString& doc : job.documents) {
            outcome.replies << replies::partial(
                213, u"%1 docq/%2.%3"_s.arg(documentType(m_store.uploadPath(doc)), doc, currentJobName()));
        }
        outcome.replies << replies::line(213, u"End of documents."_s);
        return outcome;
    }
    const QStringList set = job.values(name);
    return answer(replies::line(213, set.isEmpty() ? defaultValue(name) : set.constLast()));
}

QList<QPair<QString, QString>> FaxCommandInterpreter::progress() const
{
    const JobRecord* submitted = m_job && m_jobSubmitted ? m_store.submittedJob(m_job->id) : nullptr;
    const QString state = !m_job       ? u"UNDEFINED"_s
                          : !submitted ? u"SUSPENDED"_s
                                       : m_store.stateOf(*submitted, QDateTime::currentDateTimeUtc());
    // A sent job went in one call, one page per document; a killed one
    // never went.
    const bool sent = state == u"DONE"_s;
    const QString pages = sent ? QString::number(submitted->documents.size()) : u"0"_s;
    const QString once = sent ? u"1"_s : u"0"_s;
    const bool killed = state == u"FAILED"_s;
    return {
        {u"STATE"_s, state},
        {u"STATUSCODE"_s, killed ? u"345"_s : u"000"_s},
        {u"STATUS"_s, killed ? u"Job aborted by request"_s : QString()},
        {u"TOTPAGES"_s, pages},
        {u"NPAGES"_s, pages},
        {u"NTRIES"_s, u"0"_s},
        {u"NDIALS"_s, u"0"_s},
        {u"TOTDIALS"_s, once},
        {u"TOTTRIES"_s, once},
    };
}

FaxCommandInterpreter::Outcome FaxCommandInterpreter::submittedJobState() const
{
    // hfaxd's listing of a queued job, in its order, with the parameters a
    // client reads back; the dial string only for the job's owner.
    const JobRecord& job = currentJob();
    const auto valueOf = [&job](const QString& key, const QString& fallback = QString()) {
        const QString value = job.lastValue(key);
        return value.isEmpty() ? fallback : value;
    };
    const QList<QPair<QString, QString>> progressValues = progress();
    const auto progressOf = [&progressValues](const QString& key) {
        for (const auto& [name, value] : progressValues) {
            if (name == key)
                return value;
        }
        return QString();
    };
    QList<QPair<QString, QString>> lines{
        {u"SENDTIME"_s, u"NOW"_s},
        {u"LASTTIME"_s, valueOf(u"lasttime"_s, defaultValue(u"lasttime"_s))},
        {u"STATE"_s, progressOf(u"STATE"_s)},
        {u"STATUSCODE"_s, progressOf(u"STATUSCODE"_s)},
        {u"STATUS"_s, progressOf(u"STATUS"_s)},
        {u"JOBTYPE"_s, u"facsimile"_s},
        {u"EXTERNAL"_s, valueOf(u"external"_s)},
    };
    if (job.owner == m_user)
        lines.append({u"DIALSTRING"_s, valueOf(u"dialstring"_s)});
    lines += QList<QPair<QString, QString>>{
        {u"MODEM"_s, valueOf(u"modem"_s, defaultValue(u"modem"_s))},
        {u"GROUPID"_s, QString::number(job.groupId)},
        {u"JOBID"_s, QString::number(job.id)},
        {u"OWNER"_s, job.owner},
    };
    for (const QString& key : {u"TOTPAGES"_s, u"NPAGES"_s, u"NTRIES"_s, u"NDIALS"_s, u"TOTDIALS"_s})
        lines.append({key, progressOf(key)});
    lines.append({u"MAXDIALS"_s, valueOf(u"maxdials"_s, defaultValue(u"maxdials"_s))});
    lines.append({u"TOTTRIES"_s, progressOf(u"TOTTRIES"_s)});
    lines.append({u"MAXTRIES"_s, valueOf(u"maxtries"_s, defaultValue(u"maxtries"_s))});
    for (const QString& doc : job.documents) {
        lines.append({u"DOCUMENT"_s, u"%1 docq/%2.%3"_s.arg(documentType(m_store.uploadPath(doc)), doc,
                                                            QString::number(job.id))});
    }
    Outcome outcome;
    outcome.replies << replies::partial(217,
                                        u"Job state: jobid %1 groupid %2"_s.arg(job.id).arg(job.groupId));
    for (const auto& [key, value] : lines)
        outcome.replies << ("    " + key.toLatin1() + ": " + value.toLatin1() + "\r\n");
    outcome.replies << replies::line(217, u"End of job %1 state."_s.arg(job.id));
    return outcome;
}

FaxCommandInterpreter::Outcome FaxCommandInterpreter::jobState() const
{
    if (m_job && (m_jobSubmitted || m_jobOfAnotherSession))
        return submittedJobState();
    const JobRecord& job = currentJob();
    Outcome outcome;
    outcome.replies << replies::partial(
        217, u"Job state: jobid %1 groupid %2"_s.arg(currentJobName(),
                                                     m_job ? QString::number(job.groupId) : QString()));
    for (const JobParameter& p : job.parameters)
        outcome.replies << ("    " + p.key.toUpper().toLatin1() + ": " + p.value.toLatin1() + "\r\n");
    outcome.replies << replies::line(217, u"End of job %1 state."_s.arg(currentJobName()));
    return outcome;
}

FaxCommandInterpreter::Outcome FaxCommandInterpreter::jsubm(const Command& c)
{
    const QString requested = c.argument.trimmed();
    if (c.hasArgument && (!m_job || requested != QString::number(m_job->id))) {
        return answer(replies::line(
            500, u"Cannot submit job %1; job does not exist (No such file or directory)."_s.arg(requested)));
    }
    if (!m_job)
        return answer(replies::line(504, u"Cannot submit default job."_s));
    const int id = m_job->id;
    if (m_jobSubmitted)
        return answer(replies::line(504, u"Job %1 not submitted; use JSUSP first."_s.arg(id)));
    if (m_job->values(u"dialstring"_s).isEmpty())
        return answer(
            replies::line(504, u"Cannot submit job %1; null or missing DIALSTRING parameter."_s.arg(id)));
    if (m_faults.has(Fault::RefuseJsubm) ||
        (m_faults.has(Fault::RefuseLaterJsubm) && m_submittedInSession > 0)) {
        return answer(replies::line(
            460, u"Failed to submit job %1: Unspecified reason (scheduler NAK'd request)."_s.arg(id)));
    }
    if (m_faults.has(Fault::LoseJsubm))
        return answer({}, Next::Close);
    if (m_faults.has(Fault::DropLaterJsubm) && m_submittedInSession > 0) {
        m_keepMade = true;
        return answer({}, Next::Close);
    }
    QString error;
    if (!m_store.submit(*m_job, &error))
        return answer(replies::line(460, u"Failed to submit job %1: %2."_s.arg(id).arg(error)));
    m_jobSubmitted = true;
    ++m_submittedInSession;
    if (m_faults.has(Fault::CutAfterJsubm))
        return answer({}, Next::Close);
    if (m_faults.has(Fault::SilentAfterJsubm))
        return {};
    return answer(replies::line(200, u"Job %1 submitted."_s.arg(id)),
                  m_faults.has(Fault::CloseAfterJsubm) ? Next::Close : Next::Continue);
}

FaxCommandInterpreter::Outcome FaxCommandInterpreter::mode(const Command& c)
{
    // hfaxd takes the stream mode and its zlib-compressed one.
    const QString mode = c.argument.trimmed().toUpper();
    if (mode == u"S"_s || mode == u"Z"_s) {
        m_zipMode = mode == u"Z"_s;
        return answer(replies::line(200, m_zipMode ? u"Mode set to ZIP."_s : u"Mode set to Stream."_s));
    }
    return answer(replies::line(504, u"Mode %1 not supported."_s.arg(c.argument)));
}

FaxCommandInterpreter::Outcome FaxCommandInterpreter::jkill(const Command& c)
{
    if (c.hasArgument && c.argument.trimmed().contains(u' '))
        return answer(replies::syntaxError(c.line, u"expecting <CRLF>"_s));
    // As hfaxd: the job named, else the current one.
    const QString requested = c.hasArgument ? c.argument.trimmed() : currentJobName();
    bool isNumber = false;
    const int id = requested.toInt(&isNumber);
    const JobRecord* job = isNumber ? m_store.submittedJob(id) : nullptr;
    if (!job) {
        return answer(replies::line(
            500, u"Cannot kill job %1; job does not exist (No such file or directory)."_s.arg(requested)));
    }
    if (job->owner != m_user)
        return answer(replies::line(504, u"Cannot kill job: Operation not permitted."_s));
    if (!m_store.kill(id, QDateTime::currentDateTimeUtc()))
        return answer(replies::line(504, u"Job %1 not killed; already done."_s.arg(id)));
    return answer(replies::line(200, u"Job %1 killed."_s.arg(id)));
}

FaxCommandInterpreter::Outcome FaxCommandInterpreter::job(const Command& c)
{
    // A job this server queued becomes the current one, to be asked about.
    const QString requested = c.argument.trimmed();
    for (const JobRecord& queued : m_store.submittedJobs()) {
        if (QString::number(queued.id) == requested) {
            m_job = queued;
            m_jobSubmitted = true;
            m_jobOfAnotherSession = false;
            return answer(replies::line(
                200, u"Current job: jobid: %1 groupid: %2."_s.arg(queued.id).arg(queued.groupId)));
        }
    }
    // As hfaxd: a job made and not submitted (yet) is there for any session
    // while the session that made it lasts.
    bool isNumber = false;
    if (const JobRecord* made = m_store.createdJob(requested.toInt(&isNumber)); isNumber && made) {
        if (!m_job || m_job->id != made->id)
            m_job = *made;
        m_jobSubmitted = false;
        m_jobOfAnotherSession = !m_madeHere.contains(made->id);
        return answer(
            replies::line(200, u"Current job: jobid: %1 groupid: %2."_s.arg(made->id).arg(made->groupId)));
    }
    return answer(replies::line(
        500, u"Cannot set job %1; job does not exist (No such file or directory)."_s.arg(requested)));
}

FaxCommandInterpreter::Outcome FaxCommandInterpreter::size(const Command& c)
{
    // As hfaxd: the size of a plain file the server holds, else "not a plain
    // file" (for a missing one too).
    const QString target = resolve(c.argument);
    const QString name = target.startsWith(u"/tmp/"_s) ? target.mid(5) : QString();
    if (!m_store.uploadExists(name))
        return answer(replies::line(550, c.argument + u": not a plain file."_s));
    return answer(replies::line(213, QString::number(QFileInfo(m_store.uploadPath(name)).size())));
}

} // namespace kestrel::simulator
