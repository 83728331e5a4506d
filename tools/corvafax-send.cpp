// corvafax-send: sends documents as faxes through the appliance, one job
// per destination number, using the fax control like the desktop client.
// With --capture it waits for print jobs instead and prints the path of
// each spool file.

#include "CaptureHost.h"
#include "ComponentRegistry.h"
#include "Corvanefax.h"
#include "CorvanefaxHost.h"
#include "FaxStatusHost.h"
#include "OutcomeWaiter.h"
#include "PrintTags.h"
#include "SendHost.h"
#include "SendOptions.h"
#include "SignalWatcher.h"
#include "Wait.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>
#include <optional>

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

void printLine(std::FILE* stream, const QString& text)
{
    std::fprintf(stream, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stream);
}

// --cancel: stops the jobs in one session through the control's status
// class; prints "<job> annullato" or "<job> non annullato: <reason>" for
// each. 0 only when every one was cancelled.
int runCancel(const SendOptions& options)
{
    const SendRequest& request = options.request;
    FaxStatusHost host;
    if (const Status created = host.create(); !created) {
        printLine(stderr, u"corvafax-send: "_s + created.error().message);
        return 1;
    }
    if (!host.canChangeJobs()) {
        printLine(stderr, u"corvafax-send: the installed control library cannot cancel jobs"_s);
        return 1;
    }
    host.setServer(request.appliance, request.user, request.password);
    if (options.hostWaitLimitMs > 0)
        host.setWaitLimitMs(static_cast<int>(options.hostWaitLimitMs));
    QStringList unanswered = options.jobs;
    bool allCancelled = true;
    QObject::connect(&host, &FaxStatusHost::jobActed, &host, [&](const JobActionReport& report) {
        unanswered.removeOne(report.job);
        if (report.outcome == JobActionReport::Outcome::Done) {
            printLine(stdout, u"%1 annullato"_s.arg(report.job));
            return;
        }
        allCancelled = false;
        printLine(stdout, u"%1 non annullato: %2"_s.arg(report.job, report.reason));
    });
    QObject::connect(&host, &FaxStatusHost::actionsEnded, &host, [&](const QString& error) {
        if (!unanswered.isEmpty()) {
            allCancelled = false;
            for (const QString& job : std::as_const(unanswered))
                printLine(stdout, u"%1 non annullato: %2"_s.arg(job, error));
        }
        QCoreApplication::exit(0);
    });
    if (!host.cancelJobs(options.jobs))
        return 1;
    QCoreApplication::exec();
    return allCancelled ? 0 : 1;
}

int sendRequest(CorvanefaxHost& host, const SendRequest& request)
{
    SendHost sender(host, request);
    int exitCode = 1;
    QObject::connect(&sender, &SendHost::finished, &sender, [&exitCode](int code) {
        exitCode = code;
        QCoreApplication::exit(code);
    });
    QMetaObject::invokeMethod(&sender, &SendHost::start, Qt::QueuedConnection);
    QCoreApplication::exec();
    return exitCode;
}

// --tags: reads the letters of the document, then sends each with a SendFax
// of its own (one call sends one document list to all its numbers). Prints
// each letter, then its job number; nothing goes when the reading is
// refused. 0 only when every letter's job was accepted (with --wait: sent).
int runTags(CorvanefaxHost& host, const SendOptions& options)
{
    QTemporaryDir letters;
    if (!letters.isValid()) {
        printLine(stderr, u"corvafax-send: cannot make a temporary folder: "_s + letters.errorString());
        return 1;
    }
    const std::unique_ptr<PrintTagReader> reader = makePrintTagReader();
    std::optional<TagReading> reading;
    QObject::connect(reader.get(), &PrintTagReader::finished, reader.get(),
                     [&reading](const QString&, const TagReading& found) {
                         reading = found;
                         QCoreApplication::exit(0);
                     });
    TagReadOptions readOptions;
    readOptions.outputFolder = letters.path();
    readOptions.dropCommonPages = options.dropCommonPages;
    reader->read(options.tagsFile, readOptions);
    QCoreApplication::exec();
    if (!reading)
        return 1;
    if (reading->outcome == TagReading::Outcome::Refused) {
        printLine(stderr, u"corvafax-send: "_s + reading->problem);
        return 1;
    }
    if (reading->outcome == TagReading::Outcome::Untagged) {
        printLine(
            stderr,
            u"corvafax-send: nessuna etichetta @@FAX:numero@@ nelle pagine di %1: nessun fax inviato"_s.arg(
                options.tagsFile));
        return 1;
    }
    // With --wait, every letter is submitted first, then all are waited for.
    QStringList jobs;
    QObject::connect(&host, &CorvanefaxHost::faxSubmitted, reader.get(),
                     [&jobs](const QString& job) { jobs << job; });
    QObject::connect(&host, &CorvanefaxHost::outcomeUnknown, reader.get(),
                     [&jobs](const QString& job) { jobs << job; });
    int exitCode = 0;
    for (qsizetype index = 0; index < reading->letters.size(); ++index) {
        const TaggedLetter& letter = reading->letters.at(index);
        QString line = u"lettera %1, pagine %2-%3, al numero %4"_s.arg(
            QString::number(index + 1), QString::number(letter.firstPage), QString::number(letter.lastPage),
            letter.number);
        if (!letter.name.isEmpty())
            line += u" ("_s + letter.name + u')';
        printLine(stdout, line);
        SendRequest request = options.request;
        request.wait = false;
        request.numbers = {letter.number};
        request.files = {letter.documentPath};
        exitCode = qMax(exitCode, sendRequest(host, request));
        if (interruptionRequested())
            return exitCode == 0 ? 1 : exitCode;
    }
    if (!options.request.wait || jobs.isEmpty())
        return exitCode;
    SignalWatcher watcher;
    OutcomeWaiter waiter;
    if (watcher.install())
        QObject::connect(&watcher, &SignalWatcher::terminationRequested, &waiter, &OutcomeWaiter::stop);
    if (const Status created = waiter.create(); !created) {
        printLine(stderr, u"corvafax-send: "_s + created.error().message);
        return 1;
    }
    const ICorvanefax& control = *host.control();
    waiter.setServer(options.request.appliance, control.NomeUtente(), control.PasswordUtente());
    waiter.setReplyLimitMs(options.request.replyLimitMs);
    waiter.setOverallLimitMs(options.request.waitLimitMs);
    int verdict = 1;
    QObject::connect(&waiter, &OutcomeWaiter::finished, &waiter, [&verdict](int found) {
        verdict = found;
        QCoreApplication::exit(0);
    });
    QMetaObject::invokeMethod(
        &waiter, [&waiter, &jobs] { waiter.start(jobs); }, Qt::QueuedConnection);
    QCoreApplication::exec();
    // A letter that got no job makes the run fail, whatever became of the others.
    return exitCode != 0 ? 1 : verdict;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"corvafax-send"_s);

    QCommandLineParser parser;
    addSendOptions(parser);
    parser.process(app);
    Expected<SendOptions> options = sendOptions(parser);
    if (!options)
        return usageError(options.error().message);
    if (!options->capture) {
        const int limit = options->hostWaitLimitMs > 0 ? int(options->hostWaitLimitMs) : KeyringLimitMs;
        if (const QString told = passwordFromKeyring(options->request, limit); !told.isEmpty())
            std::fprintf(stderr, "corvafax-send: %s\n", told.toLocal8Bit().constData());
    }
    const SendRequest& request = options->request;
    if (options->capture)
        return runCapture(request.appliance, options->printer, request.debug);
    if (options->cancel)
        return runCancel(*options);

    CorvanefaxHost host;
    if (options->hostWaitLimitMs > 0)
        host.setWaitLimitMs(options->hostWaitLimitMs);
    host.setPrintCapture(false); // sending files needs no capture printer
    if (const Status created = host.create(); !created) {
        std::fprintf(stderr, "corvafax-send: %s\n", created.error().message.toLocal8Bit().constData());
        return 1;
    }

    if (!options->tagsFile.isEmpty())
        return runTags(host, *options);
    return sendRequest(host, request);
}
