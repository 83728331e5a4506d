#pragma once

#include "HttpGet.h"
#include "LineTable.h"
#include "ModemList.h"
#include "Outbox.h"
#include "SettingsStore.h"

#include <QWidget>

#include <functional>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kestrel {

class ListGrid;
class SendOptionsRow;

// The send window frmSend: the program's main window and the site of the
// fax control. It shows the destination and document lists of the outbox
// it is handed, makes the control on the outbox's host at its load, starts
// the submission, and lives in the notification area: hidden after
// start-up, shown when a print job arrives or the user asks for it. A
// print whose pages name their destinations lists one destination per
// letter, with its pages; sent at once (the settings), it shows the window
// only when something is left to do by hand.
class FrmSend : public QWidget
{
    Q_OBJECT
public:
    // What the window needs from the rest of the program, chosen by the
    // composition root (tests give stand-ins).
    struct Services
    {
        SettingsStore* settings = nullptr;
        LineTable* lines = nullptr; // program-wide: it outlives a reload
        IMessageBox* messageBox = nullptr;
        // The lists, the control's host and the submission (made with the
        // same lines and message box); it outlives the window.
        Outbox* outbox = nullptr;
        // The file dialog: the chosen path, or empty when cancelled.
        std::function<QString(QWidget* parent, const QString& filter)> chooseFile;
        std::function<void(QWidget* window, bool onTop)> setAlwaysOnTop;
        std::function<bool()> trayAvailable;
        std::function<void()> addTrayIcon;
        std::function<void()> checkForUpdate;
        std::function<void()> loadDesktopContacts;
        // Makes the fax control on the host (production: by its ProgID).
        std::function<Status(CorvanefaxHost& host)> createControl;
        ModemList::PageFetcher fetchPage;
    };

    explicit FrmSend(Services services, QWidget* parent = nullptr);
    ~FrmSend() override;

    // The window's load: the start-up sequence.
    void load();
    // Loads again with a new fax control and the settings as they are now
    // (after the options window changed the address or the chop setting).
    // The lists are kept: they hold what the user printed and chose. Asked
    // for while a fax is on its way, it waits until that submission ends
    // (the user is told).
    void reload();

    // Bottom-right corner of the screen's available area.
    void posiziona();
    // Fills the line selector from the appliance's line page.
    void Listamodem();
    // Hidden in the notification area; minimised where there is none.
    void hideToTray();
    // Visible, in front of every other window.
    void showInFront();

    CorvanefaxHost& host() { return m_host; }
    SubmissionFlow& flow() { return m_flow; }
    GridRows& destinations() { return m_destRows; }
    GridRows& documents() { return m_docRows; }
    // The controls are made when the window is first shown (most starts
    // never show it); this makes them now. The accessors below make them too.
    void ensureControls();
    void setVisible(bool visible) override;
    ListGrid* msfgDest() { return ensureControls(), m_msfgDest; }
    ListGrid* msfgDocument() { return ensureControls(), m_msfgDocument; }
    QLineEdit* txtFaxNumber() { return ensureControls(), m_txtFaxNumber; }
    QComboBox* ComboOut() { return ensureControls(), m_comboOut; }
    QLabel* lblModem() { return ensureControls(), m_lblModem; }
    SendOptionsRow* sendOptions() { return ensureControls(), m_sendOptions; }

    // The button handlers, as the window's controls run them.
    // Whether a number was added.
    bool cmdpiunumClick();
    void cmdpiudocClick();
    void cmdsendClick();
    void cmdDelClick();
    // "Esci" on the window (no notification area): asks, as the tray menu does.
    void quitClick();
    void addDroppedDocuments(const QStringList& paths);
    // "Reinvia": a destination and its documents in the lists, the window
    // in front. A send of its own: never mixed with what the lists hold
    // (the user is asked whether to replace it), never while a submission
    // runs. False when nothing was put back.
    bool putBack(const QString& number, const QString& description, const QStringList& documents);
    void removeRow(ListGrid* grid, int row);

Q_SIGNALS:
    // A notice to show (FrmMsg): the control's messages.
    void noticeRequested(const QString& text);
    // The options window, modeless at start-up, modal for a wrong cover.
    void optionsRequested(bool modal);
    void addressBookRequested();
    // The address book and the contact editor hide with the window.
    void companionsHidden();
    // Without a notification area the window offers the tray menu's
    // "Setup" and "Esci" itself; "Esci" was confirmed already.
    void setupRequested();
    void quitRequested();
    // "Stato dei fax".
    void statusWindowRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void setUpGrids();
    void applyColumnWidths();
    void applyLineSelector();
    void onPrintedDoc(const QString& spoolFile);
    void onPrintRefused(const QString& problem);
    void appendDocument(const QString& path);
    void hideWithCompanions();
    void onApplianceMessage(const QString& message);
    void reloadIfPending();
    // The send button as the flow stands: disabled while a fax is on its
    // way or the press waits for the appliance, and saying which.
    void showSendState();
    // "Opzioni di invio": made with the controls, the window as tall as the
    // row is open.
    void buildSendOptions();
    void fitSendOptions();

    Services m_services;
    // The outbox's parts, under the names the window has always used.
    CorvanefaxHost& m_host;
    ApplianceWatch& m_watch;
    GridRows& m_destRows;
    GridRows& m_docRows;
    SubmissionFlow& m_flow;
    PrintIntake& m_intake;
    bool m_reloadPending = false;
    // The line selector as the last Listamodem left it (none before one ran).
    LineSelector m_lineSelector;
    bool m_lineSelectorShown = false;

    QGroupBox* m_frame1 = nullptr;
    QLineEdit* m_txtFaxNumber = nullptr;
    QPushButton* m_cmdpiunum = nullptr;
    QGroupBox* m_frame2 = nullptr;
    ListGrid* m_msfgDest = nullptr;
    QPushButton* m_cmdrubrica = nullptr;
    QLabel* m_lblDocument = nullptr;
    ListGrid* m_msfgDocument = nullptr;
    QPushButton* m_cmdpiudoc = nullptr;
    QLabel* m_lblModem = nullptr;
    QComboBox* m_comboOut = nullptr;
    QPushButton* m_cmdsend = nullptr;
    QPushButton* m_cmdDel = nullptr;
    QPushButton* m_statusButton = nullptr;
    QPushButton* m_setupButton = nullptr; // only without a notification area
    QPushButton* m_quitButton = nullptr;
    SendOptionsRow* m_sendOptions = nullptr;
};

} // namespace kestrel
