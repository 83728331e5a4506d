// corvafax-send: sends documents as faxes through the appliance, one job
// per destination number, using the fax control like the desktop client.
// With --capture it waits for print jobs instead and prints the path of
// each spool file.

#include "CaptureHost.h"
#include "ComponentRegistry.h"
#include "Corvanefax.h"
#include "CorvanefaxHost.h"
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

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"corvafax-send"_s);

    QCommandLineParser parser;
    addSendOptions(parser);
    parser.process(app);
    const Expected<SendOptions> options = sendOptions(parser);
    if (!options)
        return usageError(options.error().message);
    const SendRequest& request = options->request;
    if (options->capture)
        return runCapture(request.appliance, options->printer, request.debug);

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
