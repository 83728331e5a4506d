// corvafax: the desktop fax client. Picks the real services: the client is
// made, with its windows and their wiring, by ClientApplication.

#include "ClientApplication.h"
#include "FrmSend.h"
#include "ProgramFolder.h"
#include "SignalWatcher.h"
#include "SingleInstance.h"

#include <QApplication>
#include <QCommandLineParser>

using namespace Qt::StringLiterals;
using namespace kestrel;

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    ClientApplication::setUpApplication();
    QCommandLineParser parser;
    parser.setApplicationDescription(u"Desktop fax client: print to the capture printer, then send."_s);
    parser.addHelpOption();
    parser.addVersionOption();
    parser.process(app);

    // Two instances would fight over the capture port: a second start
    // brings the first one forward instead.
    SingleInstance instance(u"corvafax"_s);
    if (!instance.claim())
        return 0;
    SignalWatcher watcher;
    // Without it the window still works; a signal then ends it at once,
    // without the orderly quit.
    (void)watcher.install();
    QObject::connect(&watcher, &SignalWatcher::terminationRequested, &app, [] { QCoreApplication::exit(0); });

    ClientApplication client(ProgramFolder::resolve());
    QObject::connect(&instance, &SingleInstance::activationRequested, &client.sendWindow(),
                     &FrmSend::showInFront);
    if (!client.start())
        return 0;
    return QApplication::exec();
}
