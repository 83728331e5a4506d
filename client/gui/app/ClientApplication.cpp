#include "ClientApplication.h"

#include "ClientTexts.h"
#include "ContactDatabase.h"
#include "DesktopContactsLoader.h"
#include "DesktopNotices.h"
#include "DesktopShell.h"
#include "DetachedProcessStarter.h"
#include "DialogFileChooser.h"
#include "DialogLoader.h"
#include "FaxHistory.h"
#include "FaxLog.h"
#include "FaxStatusWindow.h"
#include "FrmMsg.h"
#include "FrmOption.h"
#include "FrmRubrica.h"
#include "FrmSend.h"
#include "JobChanges.h"
#include "LineTable.h"
#include "OneShotTimer.h"
#include "OpenContactStore.h"
#include "OptionsController.h"
#include "Outbox.h"
#include "PasswordKeeper.h"
#include "QtTranslation.h"
#include "SettingsStore.h"
#include "ShippedDatabase.h"
#include "StatusTracker.h"
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
          starter(replacements.starter ? *replacements.starter : ownStarter),
          tray(nullptr, replacements.trayAvailable), menu(dialogLoader(box, shell)),
          updates(folder, clock, starter), outbox(lines, box), contacts(settings.values().rubrica, box),
          ownContactStore(openContactStore(settings.values().rubrica)), contactStore(*ownContactStore),
          desktopContacts(desktopContactsNotice()),
          statusTimer(replacements.statusTimer ? *replacements.statusTimer : ownStatusTimer),
          history(folder + u'/' + QString::fromLatin1(FaxHistory::FileName), clock),
          tracker(history, statusHost, statusTimer),
          notices(
              replacements.notificationBus.value_or(QDBusConnection::sessionBus()),
              [this](int fax, const QString& text, bool resend) { noticeWithoutService(fax, text, resend); }),
          log(history, tracker, logServices())
    {}

    // Where the history's notices go, whom it asks for names, and where
    // "Reinvia" puts a fax back.
    FaxLog::Services logServices()
    {
        FaxLog::Services s;
        s.notify = [this](int handle, const QString& text, bool resend) {
            notices.show(handle, text, resend);
        };
        s.tell = [this](const QString& text) {
            notice(text);
        };
        // From the store's last listing: the history never waits on it.
        s.databaseName = [this](const QString& number) {
            return contactStore.nameOfNumber(number);
        };
        s.desktopContacts = [this] {
            return desktopContacts.isLoaded() ? desktopContacts.contacts().listed() : QList<DesktopContact>();
        };
        s.putBack = [this](const QString& number, const QString& name, const QStringList& documents) {
            return send->putBack(number, name, documents);
        };
        s.messageBox = &box;
        return s;
    }

    void notice(const QString& text) const
    {
        if (replacements.showNotice)
            replacements.showNotice(text);
        else
            FrmMsg::ShowNotice(text);
    }

    // No notification service: the tray icon's message (each in its turn),
    // whose click leads to its fax in the status window; without a tray,
    // the notice window.
    void noticeWithoutService(int fax, const QString& text, bool resend)
    {
        if (!tray.showMessage(texts::ProductName, text, resend, fax))
            notice(text);
    }

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
    Outbox outbox; // outlives the send window
    ContactDatabase contacts;
    // The file, or the office's server when RUBRICA holds its address.
    std::unique_ptr<ContactStore> ownContactStore;
    ContactStore& contactStore;
    DesktopContactsLoader desktopContacts;
    QtOneShotTimer ownStatusTimer;
    OneShotTimer& statusTimer;
    FaxHistory history;
    FaxStatusHost statusHost;
    StatusTracker tracker;
    JobChanges jobChanges{history, statusHost, tracker};
    DesktopNotices notices;
    FaxLog log;

    std::unique_ptr<PasswordKeeper> passwords; // with the keyring

    std::unique_ptr<FrmSend> send;
    // Made when the user first opens them: most starts never show them.
    std::unique_ptr<FrmRubrica> addressBook;
    std::unique_ptr<FrmOption> optionsWindow;
    std::unique_ptr<FaxStatusWindow> statusWindow;
};

ClientApplication::ClientApplication(const QString& programFolder)
    : ClientApplication(programFolder, [] {
          Replacements own;
          own.keyring = true;
          return own;
      }())
{}

ClientApplication::ClientApplication(const QString& programFolder, Replacements replacements)
    : m(std::make_unique<Parts>(programFolder, std::move(replacements)))
{
    Parts& p = *m;
    if (p.replacements.keyring) {
        p.passwords = std::make_unique<PasswordKeeper>(p.settings);
        // The password the keyring gives may mend a login the fax server
        // refused meanwhile.
        connect(p.passwords.get(), &PasswordKeeper::placeChanged, &p.tracker, &StatusTracker::settingsChanged,
                Qt::QueuedConnection);
    }
    if (p.replacements.makeTagReader)
        p.outbox.intake().setReader(p.replacements.makeTagReader());
    FrmSend::Services services;
    services.settings = &p.settings;
    services.lines = &p.lines;
    services.messageBox = &p.box;
    services.outbox = &p.outbox;
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
    connectHistory();
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
    connect(&send, &FrmSend::noticeRequested, this, &ClientApplication::showNotice);
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
    connect(&p.contactStore, &ContactStore::contactsChanged, &p.contactStore,
            [&p] { p.contactStore.list(); });
    connect(&p.desktopContacts, &DesktopContactsLoader::loaded, this, [&p] {
        if (p.addressBook)
            p.addressBook->desktopContactsArrived();
    });
    connect(&send, &FrmSend::companionsHidden, this, [&p] {
        if (p.addressBook)
            p.addressBook->hideWithEditor();
    });
}

void ClientApplication::showNotice(const QString& text)
{
    m->notice(text);
}

void ClientApplication::sentUnattended(const QList<SubmittedJob>& jobs, const QList<SubmittedJob>& uncertain)
{
    Parts& p = *m;
    QStringList destinations;
    QString jobList;
    for (const SubmittedJob& job : jobs) {
        destinations << texts::letters::destination(job.description, job.number);
        jobList += u' ' + job.job;
    }
    QString unconfirmed;
    for (const SubmittedJob& job : uncertain)
        unconfirmed += u' ' + job.job;
    const QString text = texts::letters::sentNotice(destinations, jobList, unconfirmed);
    // A click leads to the print's first fax in the status window.
    const SubmittedJob* first = !jobs.isEmpty()       ? &jobs.constFirst()
                                : uncertain.isEmpty() ? nullptr
                                                      : &uncertain.constFirst();
    const int index = first ? p.history.indexOf(first->appliance, first->job) : -1;
    if (index >= 0)
        p.notices.show(p.history.handleOf(index), text, false);
    else
        p.notice(text);
}

void ClientApplication::connectHistory()
{
    Parts& p = *m;
    connect(&p.outbox.flow(), &SubmissionFlow::jobSubmitted, &p.log,
            [&p](const SubmittedJob& job) { p.log.record(job, false); });
    connect(&p.outbox.flow(), &SubmissionFlow::jobOutcomeUnknown, &p.log,
            [&p](const SubmittedJob& job) { p.log.record(job, true); });
    // A print sent without the window: one notice says what went.
    connect(&p.outbox.flow(), &SubmissionFlow::sentUnattended, this, &ClientApplication::sentUnattended);
    connect(&p.outbox.host(), &CorvanefaxHost::xmlFaxOutStatus, &p.tracker, &StatusTracker::takePendingPage);
    connect(&p.outbox.host(), &CorvanefaxHost::xmlFaxDoneStatus, &p.tracker,
            &StatusTracker::takeFinishedPage);
    p.tracker.setServer([&p] {
        const SettingsValues& values = p.settings.values();
        return StatusTracker::Server{values.ip, values.user, values.pass};
    });
    // A fax stopped from the status window ends as the tracker's do.
    connect(&p.jobChanges, &JobChanges::faxEnded, &p.log, &FaxLog::faxEnded);
    // Notices name a fax by its handle: its index moves when the file's
    // faxes are read late.
    connect(&p.notices, &DesktopNotices::resendRequested, &p.log,
            [&p](int handle) { p.log.resend(p.history.indexOfHandle(handle)); });
    connect(&p.notices, &DesktopNotices::openRequested, this,
            [this, &p](int handle) { statusWindow().showFax(p.history.indexOfHandle(handle)); });
    // The tray's messages carry the handle of their fax.
    connect(&p.tray, &TrayIcon::messageClicked, this, [this, &p](int handle) {
        if (handle >= 0)
            statusWindow().showFax(p.history.indexOfHandle(handle));
    });
    const auto showStatus = [this] {
        statusWindow().showInFront();
    };
    connect(p.send.get(), &FrmSend::statusWindowRequested, this, showStatus);
    connect(&p.menu, &TrayMenu::statusWindowRequested, this, showStatus);
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
    // The names the history gives typed numbers come from the store's last
    // listing: read now, and again whenever the contacts change.
    p.contactStore.list();
    // A settings file that was refused: said once, before the send window's
    // own questions about the settings it lacks.
    if (const Status& read = p.settings.fileStatus(); !read)
        p.box.show(texts::settingsNotReadBox(read.error().message));
    if (p.passwords)
        p.passwords->settle();
    p.send->load();
    // The faxes of earlier runs that had not ended yet are asked about now.
    // A file that cannot be read is shown as such by the history window and
    // read again later.
    (void)p.history.open();
    const Status query =
        p.replacements.createFaxStatus ? p.replacements.createFaxStatus(p.statusHost) : p.statusHost.create();
    if (!query) // the appliance's pages still tell how the faxes end
        std::fprintf(stderr, "corvafax: %s\n", qPrintable(query.error().message));
    p.tracker.wake();
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
    p.optionsWindow =
        std::make_unique<FrmOption>(p.options, p.box, p.files, &p.contactStore, nullptr, p.passwords.get());
    FrmSend& send = *p.send;
    // Put away, not hidden: without a notification area a hidden window
    // could not be reached again.
    connect(p.optionsWindow.get(), &FrmOption::sendWindowHideRequested, &send, &FrmSend::hideToTray);
    connect(p.optionsWindow.get(), &FrmOption::sendWindowShowRequested, &send, &FrmSend::showInFront);
    // Queued: a modal options window runs inside the send window's handler.
    connect(p.optionsWindow.get(), &FrmOption::sendWindowReloadRequested, &send, &FrmSend::reload,
            Qt::QueuedConnection);
    // Saved: a login the fax server refused may have been mended.
    connect(p.optionsWindow.get(), &QDialog::accepted, &p.tracker, &StatusTracker::settingsChanged,
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
            FrmRubrica::Services{&p.contactStore, &p.desktopContacts.contacts(), &p.box,
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

ContactStore& ClientApplication::contactStore()
{
    return m->contactStore;
}

TrayIcon& ClientApplication::tray()
{
    return m->tray;
}

TrayMenu& ClientApplication::trayMenu()
{
    return m->menu;
}

FaxHistory& ClientApplication::history()
{
    return m->history;
}

FaxLog& ClientApplication::faxLog()
{
    return m->log;
}

Outbox& ClientApplication::outbox()
{
    return m->outbox;
}

StatusTracker& ClientApplication::statusTracker()
{
    return m->tracker;
}

DesktopNotices& ClientApplication::notices()
{
    return m->notices;
}

FaxStatusWindow& ClientApplication::statusWindow()
{
    Parts& p = *m;
    if (!p.statusWindow) {
        p.statusWindow = std::make_unique<FaxStatusWindow>(p.history);
        connect(p.statusWindow.get(), &FaxStatusWindow::resendRequested, &p.log, &FaxLog::resend);
        p.statusWindow->setJobChanges(&p.jobChanges, &p.box);
        p.statusWindow->setServerNote(p.tracker.serverNote());
        connect(&p.tracker, &StatusTracker::serverNoteChanged, p.statusWindow.get(),
                &FaxStatusWindow::setServerNote);
    }
    return *p.statusWindow;
}

} // namespace kestrel
