// corvafax-send: sends documents as faxes through the appliance, one job
// per destination number, using the fax control like the desktop client.
// With --capture it waits for print jobs instead and prints the path of
// each spool file.

#include "CaptureHost.h"
#include "ComponentRegistry.h"
#include "Corvanefax.h"
#include "CorvanefaxHost.h"
#include "FaxStatusHost.h"
#include "SendHost.h"
#include "SendOptions.h"
#include "SignalWatcher.h"
#include "Wait.h"

#include <QCommandLineParser>
#include <QCoreApplication>

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
