// corvafax: the desktop fax client. The composition root: the only place
// that picks the real services and wires the windows to each other.

#include "ClientTexts.h"
#include "ContactDatabase.h"
#include "DesktopContactsLoader.h"
#include "DesktopShell.h"
#include "DetachedProcessStarter.h"
#include "DialogFileChooser.h"
#include "FrmMsg.h"
#include "FrmOption.h"
#include "FrmRubrica.h"
#include "FrmSend.h"
#include "OptionsController.h"
#include "ProgramFolder.h"
#include "QtTranslation.h"
#include "SettingsStore.h"
#include "ShippedDatabase.h"
#include "SignalWatcher.h"
#include "SingleInstance.h"
#include "SystemClock.h"
#include "TrayIcon.h"
#include "TrayMenu.h"
#include "UpdateCheck.h"
#include "Wait.h"
#include "WidgetMessageBox.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <memory>

using namespace Qt::StringLiterals;
using namespace kestrel;

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    // Qt's own buttons and dialogs speak the program's Italian.
    QtTranslation::install();
    QApplication::setApplicationName(u"corvafax"_s);
    QApplication::setApplicationVersion(texts::versionText());
    QApplication::setWindowIcon(TrayIcon::programIcon());
    // It lives in the notification area: closing a window never ends it.
    QApplication::setQuitOnLastWindowClosed(false);

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
    watcher.install();
    QObject::connect(&watcher, &SignalWatcher::terminationRequested, &app, [] { QCoreApplication::exit(0); });

    const QString folder = ProgramFolder::resolve();
    SettingsStore settings(folder);
    // A user's first start: the empty contact database that ships with the
    // program goes to the default place.
    const QString defaultDatabase = folder + u"/rubrica.db"_s;
    if (const Status copied = ShippedDatabase::copyOnFirstStart(defaultDatabase, settings.values().rubrica,
                                                                ShippedDatabase::locate());
        !copied) {
        std::fprintf(stderr, "corvafax: %s\n", qPrintable(copied.error().message));
    }
    OptionsController optionsController(settings);
    LineTable lines; // outlives reloads of the send window
    WidgetMessageBox box;
    DesktopShell shell;
    DialogFileChooser chooser;
    TrayIcon tray;
    TrayMenu menu(box, shell);
    SystemClock clock;
    DetachedProcessStarter starter;
    UpdateCheck updates(folder, clock, starter);
    ContactDatabase contacts(settings.values().rubrica, box);
    // Desktop contacts are read once a run, behind a notice that stays
    // until the reading is done, on a thread of their own: the tray icon and
    // the capture port do not wait for them.
    DesktopContacts::Notice notice;
    notice.show = [](const QString& text) {
        FrmMsg::ShowNotice(text);
        FrmMsg::load().setTimerEnabled(false);
    };
    notice.close = [] {
        if (FrmMsg* window = FrmMsg::loaded())
            window->close();
    };
    notice.tell = [](const QString& text) {
        FrmMsg::ShowNotice(text);
    };
    DesktopContactsLoader desktopContacts(notice);

    FrmSend::Services services;
    services.settings = &settings;
    services.lines = &lines;
    services.messageBox = &box;
    services.chooseFile = [&chooser](QWidget* parent, const QString& filter) {
        return chooser.chooseFileToOpen(parent, filter).value_or(QString());
    };
    services.setAlwaysOnTop = [&shell](QWidget* window, bool onTop) {
        shell.SetAlwaysOnTop(window, onTop);
    };
    services.trayAvailable = [&tray] {
        return tray.isAvailable();
    };
    services.addTrayIcon = [&tray] {
        tray.AddTrayIcon();
    };
    services.checkForUpdate = [&updates] {
        updates.CheckForUpdate();
    };
    services.createControl = [](CorvanefaxHost& host) {
        return host.create();
    };
    services.loadDesktopContacts = [&] {
        desktopContacts.start(settings.values().vcard);
    };
    FrmSend send(services);
    // Made when the user first opens it.
    std::unique_ptr<FrmRubrica> addressBook;
    // The options window is made when it is first asked for: most starts
    // never show it.
    std::unique_ptr<FrmOption> optionsWindow;
    const auto options = [&]() -> FrmOption& {
        if (optionsWindow)
            return *optionsWindow;
        optionsWindow = std::make_unique<FrmOption>(optionsController, box, chooser);
        // Put away, not hidden: without a notification area a hidden window
        // could not be reached again.
        QObject::connect(optionsWindow.get(), &FrmOption::sendWindowHideRequested, &send,
                         &FrmSend::hideToTray);
        QObject::connect(optionsWindow.get(), &FrmOption::sendWindowShowRequested, &send,
                         &FrmSend::showInFront);
        // Queued: a modal options window runs inside the send window's handler.
        QObject::connect(optionsWindow.get(), &FrmOption::sendWindowReloadRequested, &send, &FrmSend::reload,
                         Qt::QueuedConnection);
        return *optionsWindow;
    };

    QObject::connect(&send, &FrmSend::noticeRequested, &app,
                     [](const QString& text) { FrmMsg::ShowNotice(text); });
    QObject::connect(&send, &FrmSend::optionsRequested, &app, [&options](bool modal) {
        if (modal)
            options().execModal();
        else
            options().showModeless();
    });
    QObject::connect(&tray, &TrayIcon::menuRequested, &menu, &TrayMenu::open);
    QObject::connect(&menu, &TrayMenu::sendWindowRequested, &send, &FrmSend::showInFront);
    const auto setup = [&send, &options] {
        send.showInFront();
        options().showModeless();
    };
    QObject::connect(&menu, &TrayMenu::setupRequested, &app, setup);
    QObject::connect(&send, &FrmSend::setupRequested, &app, setup);
    // "Esci": at once, as the user asked.
    const auto quit = [] {
        // Waits in progress (a page, a greeting) give up at once too.
        requestInterruption();
        QCoreApplication::exit(0);
    };
    QObject::connect(&menu, &TrayMenu::quitRequested, &app, quit);
    QObject::connect(&send, &FrmSend::quitRequested, &app, quit);
    QObject::connect(&instance, &SingleInstance::activationRequested, &send, &FrmSend::showInFront);
    QObject::connect(&send, &FrmSend::addressBookRequested, &app, [&] {
        if (!addressBook) {
            addressBook = std::make_unique<FrmRubrica>(
                FrmRubrica::Services{&contacts, &desktopContacts.contacts(), &box, services.setAlwaysOnTop},
                send.destinations());
        }
        addressBook->showWindow();
    });
    QObject::connect(&desktopContacts, &DesktopContactsLoader::loaded, &app, [&addressBook] {
        if (addressBook)
            addressBook->desktopContactsArrived();
    });
    QObject::connect(&send, &FrmSend::companionsHidden, &app, [&addressBook] {
        if (addressBook)
            addressBook->hideWithEditor();
    });

    // A settings file that was refused: said once, before the send window's
    // own questions about the settings it lacks.
    if (const Status& read = settings.fileStatus(); !read)
        box.show(texts::settingsNotReadBox(read.error().message));
    send.load();
    // A quit asked for during the start-up (a signal, "Esci" while a page was
    // awaited) found no event loop to end yet: it ends the program here.
    if (interruptionRequested())
        return 0;
    return QApplication::exec();
}
