#include "SendOptions.h"

#include "CorvanefaxHost.h"
#include "JobOptionsCheck.h"
#include "Keyring.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

// The password from a file that only its owner can read, or from standard
// input ("-"): the first line, without its line end.
Expected<QString> readPassword(const QString& path)
{
    QFile file;
    if (path == u"-"_s) {
        if (!file.open(stdin, QIODevice::ReadOnly))
            return Error{u"cannot read the password from standard input"_s};
    } else {
        file.setFileName(path);
        const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                                QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                                QFileDevice::WriteOther | QFileDevice::ExeOther;
        if (!file.open(QIODevice::ReadOnly))
            return Error{u"cannot read the password file %1: %2"_s.arg(path, file.errorString())};
        if (file.permissions() & others)
            return Error{
                u"the password file %1 can be read by others; make it private (chmod 600)"_s.arg(path)};
    }
    QByteArray line = file.readLine(4096);
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    // An empty file gives an empty password, not none: none would let the
    // keyring or the control's own default stand in for it.
    const QString password = QString::fromUtf8(line);
    return password.isNull() ? u""_s : password;
}

Error usage(const QString& text)
{
    return Error{text};
}

// --at, --kill-after, --standard and --tries, checked as the send window
// checks them.
Expected<JobOptions> jobOptions(const QCommandLineParser& parser)
{
    JobOptions options;
    if (parser.isSet(u"at"_s)) {
        const QDateTime at = QDateTime::fromString(parser.value(u"at"_s).trimmed(), u"yyyy-MM-dd HH:mm"_s);
        if (!at.isValid())
            return usage(u"--at must be a local time as \"YYYY-MM-DD HH:MM\""_s);
        options.sendAt = at;
    }
    bool ok = false;
    if (parser.isSet(u"kill-after"_s)) {
        options.killAfterHours = parser.value(u"kill-after"_s).toInt(&ok);
        if (!ok)
            return usage(u"--kill-after must be a number of hours"_s);
    }
    options.standardResolution = parser.isSet(u"standard"_s);
    if (parser.isSet(u"tries"_s)) {
        options.maxTries = parser.value(u"tries"_s).toInt(&ok);
        if (!ok)
            return usage(u"--tries must be a number from 1 to %1"_s.arg(JobOptions::MostTries));
    }
    switch (checkJobOptions(options, QDateTime::currentDateTime())) {
    case JobOptionsProblem::None:
        return options;
    case JobOptionsProblem::SendTimePast:
        return usage(u"--at is in the past"_s);
    case JobOptionsProblem::SendTimeTooFar:
        return usage(u"--at is more than a year ahead"_s);
    case JobOptionsProblem::KillBeforeSend:
        return usage(u"--kill-after must be at least 1: the fax would be given up before it is sent"_s);
    case JobOptionsProblem::KillTooLate:
        return usage(u"--kill-after must be at most %1 hours"_s.arg(JobOptions::MostKillAfterHours));
    case JobOptionsProblem::TriesOutOfRange:
        return usage(u"--tries must be a number from 1 to %1"_s.arg(JobOptions::MostTries));
    }
    return options;
}

Status readLogin(const QCommandLineParser& parser, SendRequest& request)
{
    if (parser.isSet(u"user"_s))
        request.user = parser.value(u"user"_s);
    if (parser.isSet(u"password"_s) && parser.isSet(u"password-file"_s))
        return usage(u"--password and --password-file exclude each other"_s);
    if (parser.isSet(u"password"_s))
        request.password = parser.value(u"password"_s);
    if (parser.isSet(u"password-file"_s)) {
        const Expected<QString> secret = readPassword(parser.value(u"password-file"_s));
        if (!secret)
            return usage(secret.error().message);
        request.password = *secret;
    }
    return {};
}

Status readTimeout(const QCommandLineParser& parser, SendOptions& options)
{
    bool ok = false;
    if (parser.isSet(u"timeout"_s)) {
        const qint64 seconds = parser.value(u"timeout"_s).toLongLong(&ok);
        if (!ok || seconds <= 0)
            return usage(u"invalid --timeout"_s);
        // Anything longer than the host's longest wait means that wait.
        options.hostWaitLimitMs = qMin(seconds, CorvanefaxHost::LongestWaitMs / 1000) * 1000;
        options.request.replyLimitMs = static_cast<int>(options.hostWaitLimitMs);
    }
    return {};
}

// --cancel JOB...: the jobs to stop, as the server numbers them.
Expected<SendOptions> cancelOptions(const QCommandLineParser& parser, SendOptions options)
{
    if (parser.isSet(u"capture"_s))
        return usage(u"--cancel and --capture exclude each other"_s);
    if (parser.isSet(u"destination"_s))
        return usage(u"--cancel takes job numbers, not -d"_s);
    options.cancel = true;
    options.jobs = parser.positionalArguments();
    if (options.jobs.isEmpty())
        return usage(u"--cancel needs at least one job number"_s);
    static const QRegularExpression jobNumber(u"^[0-9]{1,9}$"_s);
    for (const QString& job : std::as_const(options.jobs)) {
        if (!jobNumber.match(job).hasMatch())
            return usage(u"invalid job number '%1'"_s.arg(job));
    }
    if (const Status login = readLogin(parser, options.request); !login)
        return login.error();
    if (const Status timeout = readTimeout(parser, options); !timeout)
        return timeout.error();
    return options;
}

} // namespace

void addSendOptions(QCommandLineParser& parser)
{
    parser.setApplicationDescription(
        u"Sends documents as faxes through the appliance: one job per destination number.\n"
        "Prints each job number on its own line; exits 0 only when every job was accepted.\n"
        "With --wait: then waits for each job's outcome, prints it as the job ends, and exits 0\n"
        "only when every fax was sent (1: a fax did not go; 3: the wait ended first).\n"
        "With --cancel JOB...: stops those jobs on the fax server, prints each one's result, and exits 0\n"
        "only when every one was cancelled.\n"
        "With --capture: waits for print jobs on the capture printer and prints the path of each\n"
        "spool file, until interrupted."_s);
    parser.addHelpOption();
    parser.addOptions({
        {u"appliance"_s, u"Appliance host name or address."_s, u"host"_s},
        {u"user"_s,
         u"Login name on the fax server. Without --password or --password-file, the password is the one "
         "the desktop's keyring keeps for this user at the appliance."_s,
         u"name"_s},
        {u"password"_s,
         u"Login password (other users can see it while the program runs; prefer --password-file)."_s,
         u"password"_s},
        {u"password-file"_s,
         u"Read the login password from this file (mode 0600), or from standard input with -."_s, u"file"_s},
        {u"notify"_s, u"E-mail address told when a job is done (default: your user name)."_s, u"address"_s},
        {u"maxdials"_s, u"Dial attempts, 1 to 99 (default 3)."_s, u"n"_s, u"3"_s},
        {u"line"_s, u"Outgoing line identifier (default: any)."_s, u"id"_s},
        {u"at"_s, u"Send at this local time, \"YYYY-MM-DD HH:MM\" (default: at once)."_s, u"time"_s},
        {u"kill-after"_s, u"Give the fax up this many hours after its send time (default 3)."_s, u"hours"_s},
        {u"standard"_s, u"Send in standard resolution (default: fine)."_s},
        {u"tries"_s, u"Tries at most, 1 to 99 (default: the fax server's)."_s, u"n"_s},
        {u"timeout"_s, u"Longest wait for the server at any step (default 60)."_s, u"seconds"_s},
        {u"wait"_s, u"After submitting, wait until every job has ended (Ctrl-C stops waiting)."_s},
        {u"wait-limit"_s, u"With --wait: stop waiting after this long (default: no limit)."_s, u"seconds"_s},
        {u"debug"_s, u"Write the control's debug log to stderr."_s},
        {QStringList{u"d"_s, u"destination"_s}, u"Destination fax number (repeatable)."_s, u"number"_s},
        {u"capture"_s, u"Capture print jobs instead of sending (until interrupted)."_s},
        {u"printer"_s, u"Capture printer name (default kestrel)."_s, u"name"_s, u"kestrel"_s},
        {u"cancel"_s, u"Cancel the jobs given by number instead of sending (as the login's user)."_s},
        {u"tags"_s,
         u"Send the letters of this PostScript or PDF file, each to the number its tag @@FAX:number@@ "
         u"(or @@FAX:number|name@@) names: a tagged page and the pages after it, up to the next tagged page, "
         u"are one letter; pages before the first tag go to every letter."_s,
         u"file"_s},
        {u"drop-common"_s, u"With --tags: pages before the first tag go to no letter."_s},
    });
    parser.addPositionalArgument(u"file"_s, u"Documents to send (PostScript, PDF, TIFF)."_s, u"FILE..."_s);
}

Expected<SendOptions> sendOptions(const QCommandLineParser& parser)
{
    SendOptions options;
    SendRequest& request = options.request;
    request.appliance = parser.value(u"appliance"_s);
    if (request.appliance.isEmpty())
        return usage(u"--appliance is required"_s);
    request.debug = parser.isSet(u"debug"_s);
    if (parser.isSet(u"cancel"_s))
        return cancelOptions(parser, std::move(options));
    if (parser.isSet(u"capture"_s)) {
        options.capture = true;
        options.printer = parser.value(u"printer"_s);
        return options;
    }
    if (parser.isSet(u"tags"_s)) {
        if (parser.isSet(u"destination"_s))
            return usage(u"--tags reads the numbers from the pages: no -d"_s);
        if (!parser.positionalArguments().isEmpty())
            return usage(u"--tags takes one document, the file after it"_s);
        const QFileInfo info(parser.value(u"tags"_s));
        if (!info.isFile() || !info.isReadable())
            return usage(u"cannot read %1"_s.arg(parser.value(u"tags"_s)));
        options.tagsFile = info.absoluteFilePath();
        options.dropCommonPages = parser.isSet(u"drop-common"_s);
    } else {
        if (parser.isSet(u"drop-common"_s))
            return usage(u"--drop-common needs --tags"_s);
        request.numbers = parser.values(u"destination"_s);
        if (request.numbers.isEmpty())
            return usage(u"at least one -d NUMBER is required"_s);
        for (const QString& number : std::as_const(request.numbers)) {
            if (number.contains(u':') || number.trimmed().isEmpty())
                return usage(u"invalid number '%1'"_s.arg(number));
        }
        const QStringList files = parser.positionalArguments();
        if (files.isEmpty())
            return usage(u"no document given"_s);
        for (const QString& file : files) {
            const QFileInfo info(file);
            if (file.contains(u','))
                return usage(u"file names may not contain ',': %1"_s.arg(file));
            if (!info.isFile() || !info.isReadable())
                return usage(u"cannot read %1"_s.arg(file));
            request.files << info.absoluteFilePath();
        }
    }
    bool ok = false;
    const int dials = parser.value(u"maxdials"_s).toInt(&ok);
    if (!ok || dials < 1 || dials > 99)
        return usage(u"--maxdials must be a number from 1 to 99"_s);
    request.maxDials = static_cast<qint16>(dials);
    const Expected<JobOptions> asked = jobOptions(parser);
    if (!asked)
        return asked.error();
    request.options = *asked;
    if (const Status login = readLogin(parser, request); !login)
        return login.error();
    request.notify =
        parser.isSet(u"notify"_s) ? parser.value(u"notify"_s) : qEnvironmentVariable("USER", u"root"_s);
    request.line = parser.value(u"line"_s);
    request.wait = parser.isSet(u"wait"_s);
    if (parser.isSet(u"wait-limit"_s)) {
        const qint64 seconds = parser.value(u"wait-limit"_s).toLongLong(&ok);
        if (!ok || seconds <= 0)
            return usage(u"invalid --wait-limit"_s);
        if (!request.wait)
            return usage(u"--wait-limit needs --wait"_s);
        // The server gives a job up within hours (the kill time the control
        // sets): more than a day means a day.
        request.waitLimitMs = qMin(seconds, CorvanefaxHost::LongestWaitMs / 1000) * 1000;
    }
    if (const Status timeout = readTimeout(parser, options); !timeout)
        return timeout.error();
    return options;
}

QString passwordFromKeyring(SendRequest& request, int limitMs)
{
    if (!request.password.isNull() || request.user.isEmpty())
        return {};
    const keyring::Answer answer =
        keyring::readWaiting(keyring::keyOf(request.user, request.appliance), limitMs);
    switch (answer.kind) {
    case keyring::Answer::Kind::Done:
        request.password = answer.password;
        return {};
    case keyring::Answer::Kind::NotFound:
        return {};
    case keyring::Answer::Kind::Unavailable:
        break;
    }
    return u"no password from the keyring (%1); going on without one: give --password-file"_s.arg(
        answer.reason);
}

} // namespace kestrel
