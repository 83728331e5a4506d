#include "ClientApplication.h"

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
#include "LineTable.h"
#include "OptionsController.h"
#include "QtTranslation.h"
#include "SettingsStore.h"
#include "ShippedDatabase.h"
#include "SystemClock.h"
#include "TrayIcon.h"
#include "TrayMenu.h"
#include "UpdateCheck.h"
#include "Wait.h"
#include "WidgetMessageBox.h"

#include <QApplication>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace kestrel {

// The services, in the order they are made; the windows after them.
struct ClientApplication::Parts
{
    Parts(const QString& programFolder, Replacements r)
        : folder(programFolder), replacements(std::move(r)), settings(folder), options(settings),
          box(replacements.messageBox ? *replacements.messageBox : ownBox),
          shell(replacements.shell ? *replacements.shell : ownShell),
          files(replacements.files ? *replacements.files : ownFiles),
          clock(replacements.clock ? *replacements.clock : ownClock),
          starter(replacements.starter ? *replacements.starter : ownStarter), menu(box, shell),
          updates(folder, clock, starter), contacts(settings.values().rubrica, box),
          desktopContacts(desktopContactsNotice())
    {}

    // Desktop contacts are read once a run, behind a notice that stays until
    // the reading is done, on a thread of their own: the tray icon and the
    // capture port do not wait for them.
    static DesktopContacts::Notice desktopContactsNotice()
    {
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
        return notice;
    }

    QString folder;
    Replacements replacements;
    SettingsStore settings;
    OptionsController options;
    LineTable lines; // outlives reloads of the send window
    WidgetMessageBox ownBox;
    DesktopShell ownShell;
    DialogFileChooser ownFiles;
    SystemClock ownClock;
    DetachedProcessStarter ownStarter;
    IMessageBox& box;
    Shell& shell;
    FileChooser& files;
    Clock& clock;
    ProcessStarter& starter;
    TrayIcon tray;
    TrayMenu menu;
    UpdateCheck updates;
    ContactDatabase contacts;
    DesktopContactsLoader desktopContacts;

    std::unique_ptr<FrmSend> send;
    // Made when the user first opens them: most starts never show them.
    std::unique_ptr<FrmRubrica> addressBook;
    std::unique_ptr<FrmOption> optionsWindow;
};

ClientApplication::ClientApplication(const QString& programFolder)
    : ClientApplication(programFolder, Replacements())
{}

ClientApplication::ClientApplication(const QString& programFolder, Replacements replacements)
    : m(std::make_unique<Parts>(programFolder, std::move(replacements)))
{
    Parts& p = *m;
    FrmSend::Services services;
    services.settings = &p.settings;
    services.lines = &p.lines;
    services.messageBox = &p.box;
    services.chooseFile = [&p](QWidget* parent, const QString& filter) {
        return p.files.chooseFileToOpen(parent, filter).value_or(QString());
    };
    services.setAlwaysOnTop = [&p](QWidget* window, bool onTop) {
        p.shell.SetAlwaysOnTop(window, onTop);
    };
    services.trayAvailable = p.replacements.trayAvailable;
    if (!services.trayAvailable) {
        services.trayAvailable = [&p] {
            return p.tray.isAvailable();
        };
    }
    services.addTrayIcon = [&p] {
        p.tray.AddTrayIcon();
    };
    services.checkForUpdate = [&p] {
        p.updates.CheckForUpdate();
    };
    services.createControl = p.replacements.createControl;
    if (!services.createControl) {
        services.createControl = [](CorvanefaxHost& host) {
            return host.create();
        };
    }
    services.fetchPage = p.replacements.fetchPage;
    services.loadDesktopContacts = [&p] {
        p.desktopContacts.start(p.settings.values().vcard);
    };
    p.send = std::make_unique<FrmSend>(services);
    connectWindows();
}

ClientApplication::~ClientApplication() = default;

void ClientApplication::setUpApplication()
{
    // Qt's own buttons and dialogs speak the program's Italian.
    QtTranslation::install();
    QApplication::setApplicationName(u"corvafax"_s);
    QApplication::setApplicationVersion(texts::versionText());
    QApplication::setWindowIcon(TrayIcon::programIcon());
    // It lives in the notification area: closing a window never ends it.
    QApplication::setQuitOnLastWindowClosed(false);
}

void ClientApplication::quit()
{
    // Waits in progress (a page, a greeting) give up at once too.
    requestInterruption();
    QCoreApplication::exit(0);
}

void ClientApplication::connectWindows()
{
    Parts& p = *m;
    FrmSend& send = *p.send;
    connect(&send, &FrmSend::noticeRequested, this, [&p](const QString& text) {
        if (p.replacements.showNotice)
            p.replacements.showNotice(text);
        else
            FrmMsg::ShowNotice(text);
    });
    connect(&send, &FrmSend::optionsRequested, this, &ClientApplication::showOptions);
    connect(&p.tray, &TrayIcon::menuRequested, &p.menu, &TrayMenu::open);
    connect(&p.menu, &TrayMenu::sendWindowRequested, &send, &FrmSend::showInFront);
    const auto setup = [this] {
        sendWindow().showInFront();
        showOptions(false);
    };
    connect(&p.menu, &TrayMenu::setupRequested, this, setup);
    connect(&send, &FrmSend::setupRequested, this, setup);
    // "Esci": at once, as the user asked.
    connect(&p.menu, &TrayMenu::quitRequested, this, &ClientApplication::quit);
    connect(&send, &FrmSend::quitRequested, this, &ClientApplication::quit);
    connect(&send, &FrmSend::addressBookRequested, this, [this] { addressBook().showWindow(); });
    connect(&p.desktopContacts, &DesktopContactsLoader::loaded, this, [&p] {
        if (p.addressBook)
            p.addressBook->desktopContactsArrived();
    });
    connect(&send, &FrmSend::companionsHidden, this, [&p] {
        if (p.addressBook)
            p.addressBook->hideWithEditor();
    });
}

bool ClientApplication::start()
{
    Parts& p = *m;
    // A user's first start: the empty contact database that ships with the
    // program goes to the default place.
    const QString defaultDatabase = p.folder + u"/rubrica.db"_s;
    if (const Status copied = ShippedDatabase::copyOnFirstStart(defaultDatabase, p.settings.values().rubrica,
                                                                ShippedDatabase::locate());
        !copied) {
        std::fprintf(stderr, "corvafax: %s\n", qPrintable(copied.error().message));
    }
    // A settings file that was refused: said once, before the send window's
    // own questions about the settings it lacks.
    if (const Status& read = p.settings.fileStatus(); !read)
        p.box.show(texts::settingsNotReadBox(read.error().message));
    p.send->load();
    // A quit asked for during the start-up (a signal, "Esci" while a page was
    // awaited) found no event loop to end yet.
    return !interruptionRequested();
}

FrmSend& ClientApplication::sendWindow()
{
    return *m->send;
}

FrmOption& ClientApplication::optionsWindow()
{
    Parts& p = *m;
    if (p.optionsWindow)
        return *p.optionsWindow;
    p.optionsWindow = std::make_unique<FrmOption>(p.options, p.box, p.files);
    FrmSend& send = *p.send;
    // Put away, not hidden: without a notification area a hidden window
    // could not be reached again.
    connect(p.optionsWindow.get(), &FrmOption::sendWindowHideRequested, &send, &FrmSend::hideToTray);
    connect(p.optionsWindow.get(), &FrmOption::sendWindowShowRequested, &send, &FrmSend::showInFront);
    // Queued: a modal options window runs inside the send window's handler.
    connect(p.optionsWindow.get(), &FrmOption::sendWindowReloadRequested, &send, &FrmSend::reload,
            Qt::QueuedConnection);
    return *p.optionsWindow;
}

void ClientApplication::showOptions(bool modal)
{
    if (modal)
        optionsWindow().execModal();
    else
        optionsWindow().showModeless();
}

FrmRubrica& ClientApplication::addressBook()
{
    Parts& p = *m;
    if (!p.addressBook) {
        p.addressBook = std::make_unique<FrmRubrica>(
            FrmRubrica::Services{&p.contacts, &p.desktopContacts.contacts(), &p.box,
                                 [&p](QWidget* window, bool onTop) {
                                     p.shell.SetAlwaysOnTop(window, onTop);
                                 }},
            p.send->destinations());
    }
    return *p.addressBook;
}

SettingsStore& ClientApplication::settings()
{
    return m->settings;
}

ContactDatabase& ClientApplication::contacts()
{
    return m->contacts;
}

TrayIcon& ClientApplication::tray()
{
    return m->tray;
}

TrayMenu& ClientApplication::trayMenu()
{
    return m->menu;
}

} // namespace kestrel
