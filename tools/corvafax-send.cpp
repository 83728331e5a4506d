// corvafax-send: sends documents as faxes through the appliance, one job
// per destination number, using the fax control like the desktop client.
// With --capture it waits for print jobs instead and prints the path of
// each spool file.

#include "CaptureHost.h"
#include "ComponentRegistry.h"
#include "Corvanefax.h"
#include "CorvanefaxHost.h"
#include "SendHost.h"
#include "SignalWatcher.h"
#include "Wait.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <memory>

using namespace Qt::StringLiterals;

using namespace kestrel;

namespace {

int usageError(const QString& text)
{
    std::fprintf(stderr, "corvafax-send: %s\nTry 'corvafax-send --help'.\n", text.toLocal8Bit().constData());
    return 2;
}

int runCapture(const QString& appliance, const QString& printer, bool debug)
{
    CorvanefaxHost host;
    if (const Status created = host.create(); !created) {
        std::fprintf(stderr, "corvafax-send: %s\n", created.error().message.toLocal8Bit().constData());
        return 1;
    }
    SignalWatcher watcher;
    if (!watcher.install())
        return 1;
    QObject::connect(&watcher, &SignalWatcher::terminationRequested, qApp, [] { QCoreApplication::exit(0); });
    CaptureHost capture(host, appliance, printer, debug);
    // A signal that came during activation ended its waits; the quit it
    // asked for reached no event loop, so it is honoured here.
    if (!capture.start())
        return interruptionRequested() ? 0 : 1;
    if (interruptionRequested())
        return 0;
    return QCoreApplication::exec();
}

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
    return QString::fromUtf8(line);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"corvafax-send"_s);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Sends documents as faxes through the appliance: one job per destination number.\n"
        "Prints each job number on its own line; exits 0 only when every job was accepted.\n"
        "With --wait: then waits for each job's outcome, prints it as the job ends, and exits 0\n"
        "only when every fax was sent (1: a fax did not go; 3: the wait ended first).\n"
        "With --capture: waits for print jobs on the capture printer and prints the path of each\n"
        "spool file, until interrupted."_s);
    parser.addHelpOption();
    const QCommandLineOption appliance(u"appliance"_s, u"Appliance host name or address."_s, u"host"_s);
    const QCommandLineOption user(u"user"_s, u"Login name on the fax server."_s, u"name"_s);
    const QCommandLineOption password(
        u"password"_s,
        u"Login password (other users can see it while the program runs; prefer --password-file)."_s,
        u"password"_s);
    const QCommandLineOption passwordFile(
        u"password-file"_s,
        u"Read the login password from this file (mode 0600), or from standard input with -."_s, u"file"_s);
    const QCommandLineOption notify(
        u"notify"_s, u"E-mail address told when a job is done (default: your user name)."_s, u"address"_s);
    const QCommandLineOption maxDials(u"maxdials"_s, u"Dial attempts, 1 to 99 (default 3)."_s, u"n"_s,
                                      u"3"_s);
    const QCommandLineOption line(u"line"_s, u"Outgoing line identifier (default: any)."_s, u"id"_s);
    const QCommandLineOption timeout(u"timeout"_s, u"Longest wait for the server at any step (default 60)."_s,
                                     u"seconds"_s);
    const QCommandLineOption wait(
        u"wait"_s, u"After submitting, wait until every job has ended (Ctrl-C stops waiting)."_s);
    const QCommandLineOption waitLimit(
        u"wait-limit"_s, u"With --wait: stop waiting after this long (default: no limit)."_s, u"seconds"_s);
    const QCommandLineOption debug(u"debug"_s, u"Write the control's debug log to stderr."_s);
    const QCommandLineOption destination(QStringList{u"d"_s, u"destination"_s},
                                         u"Destination fax number (repeatable)."_s, u"number"_s);
    const QCommandLineOption capture(u"capture"_s,
                                     u"Capture print jobs instead of sending (until interrupted)."_s);
    const QCommandLineOption printer(u"printer"_s, u"Capture printer name (default kestrel)."_s, u"name"_s,
                                     u"kestrel"_s);
    parser.addOptions({appliance, user, password, passwordFile, notify, maxDials, line, timeout, wait,
                       waitLimit, debug, destination, capture, printer});
    parser.addPositionalArgument(u"file"_s, u"Documents to send (PostScript, PDF, TIFF)."_s, u"FILE..."_s);
    parser.process(app);

    SendRequest request;
    request.appliance = parser.value(appliance);
    if (request.appliance.isEmpty())
        return usageError(u"--appliance is required"_s);
    if (parser.isSet(capture))
        return runCapture(parser.value(appliance), parser.value(printer), parser.isSet(debug));
    request.numbers = parser.values(destination);
    if (request.numbers.isEmpty())
        return usageError(u"at least one -d NUMBER is required"_s);
    for (const QString& number : std::as_const(request.numbers)) {
        if (number.contains(u':') || number.trimmed().isEmpty())
            return usageError(u"invalid number '%1'"_s.arg(number));
    }
    const QStringList files = parser.positionalArguments();
    if (files.isEmpty())
        return usageError(u"no document given"_s);
    for (const QString& file : files) {
        const QFileInfo info(file);
        if (file.contains(u','))
            return usageError(u"file names may not contain ',': %1"_s.arg(file));
        if (!info.isFile() || !info.isReadable())
            return usageError(u"cannot read %1"_s.arg(file));
        request.files << info.absoluteFilePath();
    }
    bool ok = false;
    const int dials = parser.value(maxDials).toInt(&ok);
    if (!ok || dials < 1 || dials > 99)
        return usageError(u"--maxdials must be a number from 1 to 99"_s);
    request.maxDials = static_cast<qint16>(dials);
    if (parser.isSet(user))
        request.user = parser.value(user);
    if (parser.isSet(password) && parser.isSet(passwordFile))
        return usageError(u"--password and --password-file exclude each other"_s);
    if (parser.isSet(password))
        request.password = parser.value(password);
    if (parser.isSet(passwordFile)) {
        const Expected<QString> secret = readPassword(parser.value(passwordFile));
        if (!secret)
            return usageError(secret.error().message);
        request.password = *secret;
    }
    request.notify = parser.isSet(notify) ? parser.value(notify) : qEnvironmentVariable("USER", u"root"_s);
    request.line = parser.value(line);
    request.debug = parser.isSet(debug);
    request.wait = parser.isSet(wait);
    if (parser.isSet(waitLimit)) {
        const qint64 seconds = parser.value(waitLimit).toLongLong(&ok);
        if (!ok || seconds <= 0)
            return usageError(u"invalid --wait-limit"_s);
        if (!request.wait)
            return usageError(u"--wait-limit needs --wait"_s);
        // The server gives a job up within hours (the kill time the control
        // sets): more than a day means a day.
        request.waitLimitMs = qMin(seconds, CorvanefaxHost::LongestWaitMs / 1000) * 1000;
    }
    CorvanefaxHost host;
    if (parser.isSet(timeout)) {
        const qint64 seconds = parser.value(timeout).toLongLong(&ok);
        if (!ok || seconds <= 0)
            return usageError(u"invalid --timeout"_s);
        // Anything longer than the host's longest wait means that wait.
        const qint64 limitMs = qMin(seconds, CorvanefaxHost::LongestWaitMs / 1000) * 1000;
        host.setWaitLimitMs(limitMs);
        request.replyLimitMs = static_cast<int>(limitMs);
    }
    host.setPrintCapture(false); // sending files needs no capture printer
    if (const Status created = host.create(); !created) {
        std::fprintf(stderr, "corvafax-send: %s\n", created.error().message.toLocal8Bit().constData());
        return 1;
    }

    SendHost sender(host, request);
    int exitCode = 1;
    QObject::connect(&sender, &SendHost::finished, &app, [&exitCode](int code) {
        exitCode = code;
        QCoreApplication::exit(code);
    });
    QMetaObject::invokeMethod(&sender, &SendHost::start, Qt::QueuedConnection);
    app.exec();
    return exitCode;
}
