#pragma once

#include "CorvanefaxHost.h"
#include "FaxStatusHost.h"
#include "ModemList.h"
#include "PrintTags.h"

#include <QDBusConnection>
#include <QObject>

#include <functional>
#include <memory>
#include <optional>

namespace kestrel {

class Clock;
class ContactDatabase;
class ContactStore;
class DesktopNotices;
class FaxHistory;
class FaxLog;
class FaxStatusWindow;
class FileChooser;
class FrmOption;
class FrmRubrica;
class FrmSend;
class IMessageBox;
class ProcessStarter;
class SettingsStore;
class OneShotTimer;
class Outbox;
class Shell;
struct SubmittedJob;
class StatusTracker;
class TrayIcon;
class TrayMenu;

// The desktop client as one object: the services it runs on, its windows
// (each made when first needed) and the connections between them. main()
// makes it with the real services; tests, benchmarks and tools make the same
// object with replacements, never a copy of the wiring.
class ClientApplication : public QObject
{
    Q_OBJECT
public:
    // What an embedding program may replace; whatever is left empty is the
    // real thing.
    struct Replacements
    {
        IMessageBox* messageBox = nullptr;
        FileChooser* files = nullptr;
        Shell* shell = nullptr;
        Clock* clock = nullptr;
        ProcessStarter* starter = nullptr;
        std::function<bool()> trayAvailable;
        std::function<Status(CorvanefaxHost& host)> createControl;
        ModemList::PageFetcher fetchPage;
        // Where the notices go (the notice window by default).
        std::function<void(const QString& text)> showNotice;
        // Makes the job status query on its host (production: by its ProgID).
        std::function<Status(FaxStatusHost& host)> createFaxStatus;
        // Spaces the questions about unfinished faxes.
        OneShotTimer* statusTimer = nullptr;
        // Where the desktop's notification service is (the session bus).
        std::optional<QDBusConnection> notificationBus;
        // The appliance password kept in the desktop's keyring (the
        // program's own start); off, the settings file keeps it, so that a
        // test never touches the keyring of the desktop it runs on.
        bool keyring = false;
        // Reads the destinations a print's pages name (production:
        // makePrintTagReader()).
        std::function<std::unique_ptr<PrintTagReader>()> makeTagReader;
    };

    explicit ClientApplication(const QString& programFolder);
    ClientApplication(const QString& programFolder, Replacements replacements);
    ~ClientApplication() override;

    // The application-wide settings every client process makes before its
    // first window: names, icon, Qt's own words in Italian, and a life in
    // the notification area (closing a window never ends it).
    static void setUpApplication();

    // The start-up: the empty contact database for a user's first start, a
    // refused settings file said once, then the send window's load. False
    // when the program was asked to quit meanwhile.
    bool start();

    FrmSend& sendWindow();
    FrmOption& optionsWindow();
    FrmRubrica& addressBook();
    SettingsStore& settings();
    // The contact file itself (for setting up contacts), and the store the
    // windows and the history use.
    ContactDatabase& contacts();
    ContactStore& contactStore();
    TrayIcon& tray();
    TrayMenu& trayMenu();
    FaxHistory& history();
    FaxLog& faxLog();
    Outbox& outbox();
    StatusTracker& statusTracker();
    DesktopNotices& notices();
    FaxStatusWindow& statusWindow();

    // "Esci": waits in progress give up and the event loop ends.
    static void quit();

private:
    struct Parts;
    void connectWindows();
    void connectHistory();
    void showOptions(bool modal);
    void showNotice(const QString& text);
    void sentUnattended(const QList<SubmittedJob>& jobs, const QList<SubmittedJob>& uncertain);

    std::unique_ptr<Parts> m;
};

} // namespace kestrel
