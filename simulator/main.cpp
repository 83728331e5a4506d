// kestrel-appliance-sim: a stand-in for the fax appliance, for the demo and
// the tests. See README.md beside this file.
#include "ActivityLog.h"
#include "FaxServer.h"
#include "HttpPages.h"
#include "HttpServer.h"
#include "JobStore.h"
#include "SignalWatcher.h"
#include "SimulatorOptions.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

using namespace kestrel::simulator;
using kestrel::SignalWatcher;
using namespace Qt::StringLiterals;

namespace {

void printLine(FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"kestrel-appliance-sim"_s);

    ParsedOptions parsed = parseOptions(QCoreApplication::arguments());
    if (parsed.help) {
        printLine(stdout, parsed.helpText);
        return 0;
    }
    if (!parsed.error.isEmpty()) {
        printLine(stderr, u"kestrel-appliance-sim: "_s + parsed.error);
        return 2;
    }
    SimulatorOptions& options = parsed.options;
    activity::setQuiet(options.quiet);

    // The default store is a new folder that outlives the run, so what was
    // received can be inspected afterwards.
    QString storeDir = options.storeDir;
    if (storeDir.isEmpty()) {
        QTemporaryDir temporary(QDir::tempPath() + u"/kestrel-appliance-sim-XXXXXX"_s);
        temporary.setAutoRemove(false);
        if (!temporary.isValid()) {
            printLine(stderr,
                      u"kestrel-appliance-sim: cannot create a store folder: "_s + temporary.errorString());
            return 1;
        }
        storeDir = temporary.path();
    }
    JobStore store;
    store.setDoneAfterMs(options.doneAfterMs);
    QString error;
    if (!store.open(storeDir, &error)) {
        printLine(stderr, u"kestrel-appliance-sim: store: "_s + error);
        return 1;
    }

    SignalWatcher signalWatcher;
    if (!signalWatcher.install()) {
        printLine(stderr, u"kestrel-appliance-sim: cannot watch SIGTERM/SIGINT"_s);
        return 1;
    }
    QObject::connect(&signalWatcher, &SignalWatcher::terminationRequested, &app, [](int number) {
        activity::log(u"signal %1: stopping"_s.arg(number));
        QCoreApplication::quit();
    });

    FaxServer fax(store, options.faults, options.login);
    if (!fax.listen(options.listen, options.faxPort, &error)) {
        printLine(stderr, u"kestrel-appliance-sim: fax port %1: %2"_s.arg(options.faxPort).arg(error));
        return 1;
    }
    HttpPages pages(options.lines, store, options.faults);
    std::unique_ptr<HttpServer> http;
    if (!options.faults.has(HttpFault::HttpRefuse)) {
        http = std::make_unique<HttpServer>(pages, options.faults);
        if (!http->listen(options.listen, options.httpPort, &error)) {
            printLine(stderr, u"kestrel-appliance-sim: HTTP port %1: %2"_s.arg(options.httpPort).arg(error));
            return 1;
        }
    }

    printLine(stdout, u"kestrel-appliance-sim ready http=%1 fax=%2 store=%3"_s.arg(http ? http->port() : 0)
                          .arg(fax.port())
                          .arg(store.root()));
    return QCoreApplication::exec();
}
